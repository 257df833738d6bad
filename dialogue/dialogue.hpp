// The session: prompts, answers, remembered values, one report per cycle.
#pragma once

namespace zefrin {

// Opens the units for a run: standard streams guarded, signals caught, the
// log opened and locked (or the run stopped: with the "open" diagnostic, or
// with status 1 and one line when another session holds the log), and the
// closing of the units tied to exit(), so every exit(n) closes them as at a
// normal end.
void start();

// The dialogue loop on units already opened, from the first values: prompts
// and reports until the answer N or n, a bad first answer, or an error of the
// input/output layer. Returns only by ending the run (finish or fail).
[[noreturn]] void dialogue();

// Runs the whole program: opens the log, then prompts and reports until the
// answer N or n, a bad first answer, or an error of the input/output layer.
// Returns only by ending the process.
[[noreturn]] void session();

}  // namespace zefrin
