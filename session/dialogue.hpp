// The session: prompts, answers, remembered values, one report per cycle.
#pragma once

namespace zefrin {

// Runs the whole program: opens the log, then prompts and reports until the
// answer N or n, a bad first answer, or an error of the input/output layer.
// Returns only by ending the process.
[[noreturn]] void session();

}  // namespace zefrin
