// Signal handlers: the ending of the signal's row, with only
// async-signal-safe calls.
#include "session/endings/signals.hpp"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace zefrin::endings {

namespace {

struct Row {
    int sig;
    const char* text;    // the line written to standard error, or nullptr
    Ending ending;       // line_exit, line_abort or reraised
    bool keeps_ignored;  // ignored when the program started: stays ignored
};

constexpr Row rows[] = {
    {SIGINT, "Interrupt\n", Ending::line_exit, true},
    {SIGTERM, "Killed\n", Ending::line_exit, false},
    {SIGQUIT, "Quit signal\n", Ending::line_abort, true},
    {SIGFPE, "Floating Exception\n", Ending::line_abort, false},
    {SIGTRAP, "Trace trap\n", Ending::line_abort, false},
    {SIGABRT, "IOT Trap\n", Ending::line_abort, false},
    {SIGHUP, nullptr, Ending::reraised, true},
    {SIGUSR1, nullptr, Ending::reraised, true},
    {SIGUSR2, nullptr, Ending::reraised, true},
    {SIGALRM, nullptr, Ending::reraised, true},
    {SIGVTALRM, nullptr, Ending::reraised, true},
    {SIGPROF, nullptr, Ending::reraised, true},
    {SIGXCPU, nullptr, Ending::reraised, true},
#ifdef SIGPWR
    {SIGPWR, nullptr, Ending::reraised, true},
#endif
#ifdef SIGIO
    {SIGIO, nullptr, Ending::reraised, true},
#elif defined(SIGPOLL)
    {SIGPOLL, nullptr, Ending::reraised, true},
#endif
#ifdef SIGSTKFLT
    {SIGSTKFLT, nullptr, Ending::reraised, true},
#endif
    {SIGSYS, nullptr, Ending::reraised, true},
};

// The real-time signals end as the re-raised ones. Their range is known at
// run time only (the C library keeps some for itself): taken once at start,
// so that a handler reads plain numbers. An empty range where there is none.
constexpr Row realtime{0, nullptr, Ending::reraised, true};
int rt_first = 1, rt_last = 0;

const Row* row_of(int sig) noexcept {
    for (const Row& r : rows)
        if (r.sig == sig)
            return &r;
    return sig >= rt_first && sig <= rt_last ? &realtime : nullptr;
}

// While the main path holds signals back (see Deferred), a caught signal
// only leaves its number here; the path ends the run when it lets go.
std::atomic<int> deferring{0};
std::atomic<int> pending{0};
static_assert(std::atomic<int>::is_always_lock_free);

// The ending of a caught signal.
[[noreturn]] void end_by(int sig) {
    // One ending only: a handler has the others blocked already, a held-back
    // ending taken up on the main path blocks them here.
    hold_signals();
    release_units();
    const Row* r = row_of(sig);
    if (r == nullptr)
        ::_exit(1);
    if (r->ending == Ending::reraised)
        reraise(sig, Moment::in_handler);
    say(r->text);
    close_units(Moment::in_handler);
    if (r->ending == Ending::line_exit)
        ::_exit(1);
    abort_now();
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
    for (int sig = rt_first; sig <= rt_last; ++sig) sigaddset(&set, sig);
    return set;
}

void install(const Row& r, int sig, const struct sigaction& sa) {
    if (r.keeps_ignored) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            return;
    }
    ::sigaction(sig, &sa, nullptr);
}

}  // namespace

void catch_signals() {
#ifdef SIGRTMIN
    rt_first = SIGRTMIN;
    rt_last = SIGRTMAX;
#endif
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sa.sa_mask = caught();  // one handler at a time
    // No SA_RESTART: a write waiting for room gives up with EINTR, so a held
    // signal is taken without waiting for a stalled reader.
    sa.sa_flags = 0;
    for (const Row& r : rows) install(r, r.sig, sa);
    for (int sig = rt_first; sig <= rt_last; ++sig) install(realtime, sig, sa);
}

void hold_signals() noexcept {
    // The abort signal too: abort() itself lets it through when it is due.
    const sigset_t set = caught();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
}

void reraise(int sig, Moment moment) noexcept {
    // On the program's path (a broken pipe) another signal may still end the
    // run while the log waits; in a handler the others are blocked already.
    release_units();
    close_units(moment);
    hold_signals();
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    ::sigaction(sig, &sa, nullptr);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    ::sigprocmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(sig);
    ::_exit(1);
}

Deferred::Deferred() noexcept { deferring.fetch_add(1); }

Deferred::~Deferred() {
    if (deferring.fetch_sub(1) != 1) return;
    if (const int sig = pending.exchange(0)) end_by(sig);
}

}  // namespace zefrin::endings
