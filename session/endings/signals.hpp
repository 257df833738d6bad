// The signals the program catches for the whole run, and the holding back of
// their endings around writes whose progress a handler could not know.
#pragma once

#include "session/endings/ending.hpp"

namespace zefrin::endings {

// Installs the handlers. Interrupt and termination end with their line and
// status 1; quit, floating-point exception, trace trap and abort with their
// line and the abort signal; hang-up, the user signals, the timers, the CPU
// limit, power failure, pollable input, the stack fault, the bad system call
// and every real-time signal close the units and take their default action
// again, without a line. A signal that was ignored when the program started
// stays ignored (termination and the traps excepted). The faults of the
// program itself (SIGSEGV, SIGBUS, SIGILL) are left to their default: its
// state is not to be trusted then.
void catch_signals();

// Blocks the caught signals for the rest of the run, so an ending is not cut
// short by another (abort() still delivers its own signal).
void hold_signals() noexcept;

// The ending of a signal without a line of its own: the units closed, the
// default action restored and the signal raised again (status 1 if it does
// not end the process).
[[noreturn]] void reraise(int sig, Moment moment) noexcept;

// Holds the endings of caught signals back while it lives, and carries out
// one that came meanwhile when it goes: for a write whose progress a handler
// could not know (it would write again what a returning write had written).
// A write waiting for room is interrupted all the same (no handler restarts
// it), so holding back never makes an ending wait. Costs no system call.
class Deferred {
   public:
    Deferred() noexcept;
    ~Deferred();
    Deferred(const Deferred&) = delete;
    Deferred& operator=(const Deferred&) = delete;
};

}  // namespace zefrin::endings
