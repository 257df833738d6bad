// The signals the program catches for the whole run.
#pragma once

namespace zefrin {

// Installs the handlers of interrupt, termination, quit, floating-point
// exception, trace trap and abort. An interrupt or quit that was ignored
// when the program started stays ignored.
void catch_signals();

// Blocks the caught signals (abort excepted) for the rest of the run, so an
// orderly ending is not cut short by a handler.
void hold_signals() noexcept;

}  // namespace zefrin
