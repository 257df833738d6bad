// The signals the program catches for the whole run.
#pragma once

namespace zefrin {

// Installs the handlers of interrupt, termination, quit, floating-point
// exception, trace trap and abort. An interrupt or quit that was ignored
// when the program started stays ignored.
void catch_signals();

// Blocks the caught signals for the rest of the run, so an orderly ending is
// not cut short by a handler (abort() still delivers its own signal).
void hold_signals() noexcept;

// Holds the endings of caught signals back while it lives, and carries out
// one that came meanwhile when it goes: for a write whose progress a handler
// could not know (it would write again what a returning write had written).
// Costs no system call.
class Deferred {
public:
    Deferred() noexcept;
    ~Deferred();
    Deferred(const Deferred&) = delete;
    Deferred& operator=(const Deferred&) = delete;
};

}  // namespace zefrin
