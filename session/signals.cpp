// Signal handlers: one line on standard error, the units closed, then the
// status or the abort of the signal's row. Only async-signal-safe calls.
#include "session/signals.hpp"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "session/diagnostic.hpp"
#include "session/streams/editor.hpp"
#include "session/units.hpp"

namespace zefrin {

namespace {

struct Row {
    int sig;
    const char* text;  // the line written to standard error
    bool aborts;       // abort after closing, else exit status 1
};

constexpr Row rows[] = {
    {SIGINT, "Interrupt\n", false},        {SIGTERM, "Killed\n", false},
    {SIGQUIT, "Quit signal\n", true},      {SIGFPE, "Floating Exception\n", true},
    {SIGTRAP, "Trace trap\n", true},       {SIGABRT, "IOT Trap\n", true},
};

// While the main path holds signals back (see Deferred), a caught signal
// only leaves its number here; the path ends the run when it lets go.
std::atomic<int> deferring{0};
std::atomic<int> pending{0};
static_assert(std::atomic<int>::is_always_lock_free);

// The ending of a caught signal: its line, the units closed, its outcome.
[[noreturn]] void end_by(int sig) {
    // One ending only: a handler has the others blocked already, a held-back
    // ending taken up on the main path blocks them here.
    hold_signals();
    for (const Row& r : rows) {
        if (r.sig != sig) continue;
        editor::restore_terminal();
        (void)!::write(2, r.text, std::strlen(r.text));
        units::close_all(true);
        if (!r.aborts) ::_exit(1);
        abort_now();
    }
    ::_exit(1);
}

void on_signal(int sig) {
    if (deferring.load() != 0) {
        pending.store(sig);
        return;
    }
    end_by(sig);
}

sigset_t caught() {
    sigset_t set;
    sigemptyset(&set);
    for (const Row& r : rows) sigaddset(&set, r.sig);
    return set;
}

}  // namespace

void catch_signals() {
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sa.sa_mask = caught();  // one handler at a time
    // No SA_RESTART: a write waiting for room gives up with EINTR, so a held
    // signal is taken without waiting for a stalled reader.
    sa.sa_flags = 0;
    for (const Row& r : rows) {
        if (r.sig == SIGINT || r.sig == SIGQUIT) {
            struct sigaction old {};
            if (::sigaction(r.sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        }
        ::sigaction(r.sig, &sa, nullptr);
    }
}

Deferred::Deferred() noexcept { deferring.fetch_add(1); }

Deferred::~Deferred() {
    if (deferring.fetch_sub(1) != 1) return;
    if (const int sig = pending.exchange(0)) end_by(sig);
}

void hold_signals() noexcept {
    // The abort signal too: abort() itself lets it through when it is due.
    const sigset_t set = caught();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace zefrin
