// The terminal: its buffer, its pieces, and the failures of standard output.
#include "session/streams/terminal.hpp"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include "session/endings/orderly.hpp"
#include "session/endings/signals.hpp"

namespace zefrin::streams::terminal {

namespace {

// The buffer's state is one word, so that a signal handler always reads a
// consistent pair: bytes [sent, held) are still to be written.
using Word = std::uint64_t;
static_assert(std::atomic<Word>::is_always_lock_free);

struct Terminal {
    // A report is written out at the latest at the next prompt, so it fits.
    static constexpr std::size_t size = 1 << 15;
    // Written a piece at a time: a pipe takes a piece this size whole or not
    // at all, so a handler never has to guess how much of it went out.
    static constexpr std::size_t piece = PIPE_BUF;
    char buf[size];
    std::atomic<Word> state{0};     // sent << 32 | held
    std::atomic<bool> dead{false};  // nothing more is written: broken pipe or failure
};

Terminal term;
bool sigpipe_default = true;

// Waits until fd can take bytes; false when it cannot within the time (ms;
// -1 for as long as it takes).
bool writable(int fd, int ms) noexcept {
    for (;;) {
        pollfd p{fd, POLLOUT, 0};
        const int r = ::poll(&p, 1, ms);
        if (r < 0 && errno == EINTR) continue;
        return r > 0;
    }
}

// Writes the pending bytes: all of them when patient, else what the terminal
// takes at once. Returns 0, or the errno of a failure.
int drain(bool patient) noexcept {
    Word st = term.state.load();
    std::size_t sent = st >> 32, held = st & 0xffffffffu;
    int err = 0;
    while (sent < held && !term.dead.load()) {
        if (!patient && !writable(1, 0)) break;
        const std::size_t n = held - sent < Terminal::piece ? held - sent : Terminal::piece;
        ssize_t r;
        {
            // From the write to the record of what it wrote, a signal waits:
            // a handler would write the same bytes again. A write still
            // waiting for room is interrupted, having written nothing.
            const endings::Deferred hold;
            r = ::write(1, term.buf + sent, n);
            if (r > 0) {
                sent += static_cast<std::size_t>(r);
                term.state.store(Word{sent} << 32 | held);
            }
        }
        if (r > 0 || (r < 0 && errno == EINTR)) continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A terminal left non-blocking by someone else: wait for room.
            if (patient && writable(1, -1)) continue;
            break;
        }
        err = r < 0 ? errno : EIO;
        term.dead.store(true);
        break;
    }
    term.state.store(0);
    return err;
}

// The first failure of standard output, said once (not from a handler:
// strerror is not async-signal-safe).
void report(int err) noexcept {
    endings::note_failure();
    endings::say("zefrin: standard output: ");
    endings::say(std::strerror(err));
    endings::say("\n");
}

[[noreturn]] void broken_pipe() {
    if (sigpipe_default) endings::reraise(SIGPIPE, endings::Moment::orderly);
    endings::finish(1);
}

}  // namespace

void open() {
    term.state.store(0);
    term.dead.store(false);
    // The action the program was started with, seen once: a second run in
    // the same process finds it ignored by the first.
    static const bool seen = [] {
        struct sigaction old {};
        if (::sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            sigpipe_default = false;
        return true;
    }();
    (void)seen;
    ::signal(SIGPIPE, SIG_IGN);
}

void put(const char* bytes, std::size_t n) {
    if (term.dead.load()) return;
    std::size_t held = term.state.load() & 0xffffffffu;
    if (held + n > Terminal::size) {
        flush();
        held = 0;
    }
    std::memcpy(term.buf + held, bytes, n);
    term.state.store(held + n);
}

void flush() {
    if (term.dead.load()) return;
    const int err = drain(true);
    if (err == 0) return;
    if (err == EPIPE) broken_pipe();
    report(err);
}

void close(endings::Moment moment) noexcept {
    if (moment == endings::Moment::in_handler) {
        // strerror is not for a signal handler: there a failure goes unsaid.
        (void)drain(false);
        return;
    }
    // A broken pipe here only loses what was still held: the run is ending.
    if (!term.dead.load() && term.state.load() != 0) {
        const int err = drain(true);
        if (err != 0 && err != EPIPE) report(err);
    }
}

}  // namespace zefrin::streams::terminal
