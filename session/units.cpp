// The terminal and the log: own buffers, write(2), and a closing that a
// signal handler may run at any moment without leaving a partial line.
#include "session/units.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "session/diagnostic.hpp"
#include "session/signals.hpp"
#include "session/streams/editor.hpp"

namespace zefrin::units {

namespace {

// A buffer's state is one word, so that a signal handler always reads a
// consistent pair: the high bits a position, the low bits the bytes held.
using Word = std::uint64_t;
static_assert(std::atomic<Word>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

// The terminal: bytes [sent, held) of the buffer are still to be written.
// A report is written out at the latest at the next prompt, so it fits.
struct Terminal {
    static constexpr std::size_t size = 1 << 15;
    // Written a piece at a time: a pipe takes a piece this size whole or not
    // at all, so a handler never has to guess how much of it went out.
    static constexpr std::size_t piece = PIPE_BUF;
    char buf[size];
    std::atomic<Word> state{0};     // sent << 32 | held
    std::atomic<bool> dead{false};  // the reader went away (broken pipe)
};

// The log: the buffer holds complete lines only, to be written at file
// offset base. Rewriting the same bytes at the same offset is harmless, so a
// handler that interrupts a flush can simply flush again.
struct Log {
    static constexpr std::size_t size = 1 << 16;
    static constexpr int held_bits = 20;
    char buf[size];
    std::atomic<Word> state{0};  // base << held_bits | held
    int fd = -1;
    bool readonly = false;
    bool regular = false;
    bool seekable = false;
    std::atomic<bool> wrote{false};   // this session has written a line to the log
    std::atomic<bool> failed{false};  // a write failed: the log keeps what it had
    std::atomic<bool> closed{false};
};

Terminal term;
Log logf;
Capture* cap = nullptr;
bool sigpipe_default = true;

constexpr Word held_mask = (Word{1} << Log::held_bits) - 1;

void put(int fd, const char* s) noexcept {
    std::size_t n = std::strlen(s);
    while (n > 0) {
        const ssize_t r = ::write(fd, s, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return;
        s += r;
        n -= static_cast<std::size_t>(r);
    }
}

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

// Writes the terminal's pending bytes. A handler (patient false) writes only
// what the terminal takes at once: a stalled reader must not keep it from
// ending the run. Returns false on a broken pipe.
bool drain_terminal(bool patient) noexcept {
    Word st = term.state.load();
    std::size_t sent = st >> 32, held = st & 0xffffffffu;
    bool ok = true;
    while (sent < held && !term.dead.load()) {
        if (!patient && !writable(1, 0)) break;
        const std::size_t n = held - sent < Terminal::piece ? held - sent : Terminal::piece;
        ssize_t r;
        {
            // From the write to the record of what it wrote, a signal waits:
            // a handler would write the same bytes again. A write still
            // waiting for room is interrupted, having written nothing.
            const Deferred hold;
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
        if (r < 0 && errno == EPIPE) ok = false;
        break;  // other failures of the terminal are not reported
    }
    term.state.store(0);
    return ok;
}

void close_log(bool from_handler) noexcept;

[[noreturn]] void broken_pipe() {
    hold_signals();
    editor::restore_terminal();
    term.dead.store(true);
    close_log(false);
    if (sigpipe_default) {
        ::signal(SIGPIPE, SIG_DFL);
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        ::sigprocmask(SIG_UNBLOCK, &pipe, nullptr);
        ::raise(SIGPIPE);
    }
    ::_exit(1);
}

// Writes the log's buffer at its offset. Returns the errno of a failure, 0.
int drain_log() noexcept {
    const Word st = logf.state.load();
    const Word base = st >> Log::held_bits;
    const std::size_t held = st & held_mask;
    std::size_t done = 0;
    while (done < held) {
        const ssize_t r =
            logf.seekable ? ::pwrite(logf.fd, logf.buf + done, held - done,
                                     static_cast<off_t>(base + done))
                          : ::write(logf.fd, logf.buf + done, held - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            const int err = r < 0 ? errno : ENOSPC;
            // Keep only the complete lines that reached the file.
            std::size_t keep = done;
            while (keep > 0 && logf.buf[keep - 1] != '\n') --keep;
            logf.failed.store(true);
            logf.state.store((base + keep) << Log::held_bits);
            return err;
        }
        done += static_cast<std::size_t>(r);
    }
    logf.state.store((base + held) << Log::held_bits);
    return 0;
}

// A log that is not seekable (a pipe) cannot be written twice harmlessly:
// there a flush is not interrupted.
int flush_log() noexcept {
    if (logf.seekable) return drain_log();
    const Deferred hold;
    return drain_log();
}

void report_log_failure(int err) noexcept {
    static bool reported = false;
    if (reported) return;
    reported = true;
    put(2, "zefrin: ");
    put(2, log_name);
    put(2, ": ");
    put(2, std::strerror(err));
    put(2, "\n");
}

// Writes what the log holds and cuts the file after it. Safe to run again
// if it was interrupted: writing and cutting are both idempotent.
void close_log(bool from_handler) noexcept {
    if (logf.closed.load() || logf.fd < 0) return;
    if (!logf.failed.load()) {
        const int err = flush_log();
        // strerror is not for a signal handler: there the failure goes unsaid.
        if (err != 0 && !from_handler) report_log_failure(err);
    }
    const Word st = logf.state.load();
    if ((logf.wrote.load() || st != 0) && logf.regular)
        (void)::ftruncate(logf.fd, static_cast<off_t>(st >> Log::held_bits));
    if (!logf.closed.exchange(true)) ::close(logf.fd);
}

}  // namespace

void guard_standard_streams() {
    for (int fd = 0; fd < 3; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int n = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (n >= 0 && n != fd) {
            ::dup2(n, fd);
            ::close(n);
        }
    }
    // A vanished reader of the terminal shows as EPIPE; see broken_pipe.
    struct sigaction old {};
    if (::sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) sigpipe_default = false;
    ::signal(SIGPIPE, SIG_IGN);
    // A log beyond the file-size limit fails with EFBIG, reported like any
    // failing write, instead of killing the run in the middle of a line.
    ::signal(SIGXFSZ, SIG_IGN);
}

int open_log() {
    int fd = ::open(log_name, O_RDWR | O_CLOEXEC);
    bool readonly = false;
    if (fd < 0) {
        fd = ::open(log_name, O_RDONLY | O_CLOEXEC);
        readonly = fd >= 0;
    }
    if (fd < 0) fd = ::open(log_name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    struct stat sb {};
    term.state.store(0);
    term.dead.store(false);
    logf.fd = fd;
    logf.wrote.store(false);
    logf.failed.store(false);
    logf.closed.store(false);
    logf.readonly = readonly;
    logf.regular = ::fstat(fd, &sb) == 0 && S_ISREG(sb.st_mode);
    // Rewound: the session writes the file from its first byte.
    logf.seekable = ::lseek(fd, 0, SEEK_SET) == 0;
    logf.state.store(0);
    return 0;
}

void capture(Capture* c) { cap = c; }

void terminal(const char* line, std::size_t n) {
    if (cap) {
        cap->terminal.append(line, n);
        return;
    }
    if (term.dead.load()) return;
    std::size_t held = term.state.load() & 0xffffffffu;
    if (held + n > Terminal::size) {
        flush_terminal();
        held = 0;
    }
    std::memcpy(term.buf + held, line, n);
    term.state.store(held + n);
}

void log_only(const char* format, const char* line, std::size_t n) {
    if (cap) {
        cap->log.append(line, n);
        return;
    }
    if (logf.fd < 0 || logf.closed.load()) return;
    if (logf.readonly) fail("write start", "can't write file", Unit::log, format, true);
    if (logf.failed.load()) return;
    const Word st = logf.state.load();
    std::size_t held = st & held_mask;
    Word base = st >> Log::held_bits;
    if (held + n > Log::size) {
        if (const int err = flush_log()) {
            flush_terminal();  // the message follows what the terminal shows
            report_log_failure(err);
            return;
        }
        held = 0;
        base = logf.state.load() >> Log::held_bits;
    }
    std::memcpy(logf.buf + held, line, n);
    logf.state.store(base << Log::held_bits | (held + n));
    if (!logf.wrote.load()) {
        // The first line of this session, now held: an older log goes at
        // once, so the file never holds lines of two sessions. (A handler
        // before this point leaves the older log whole; after it, it cuts
        // the file after this line.)
        logf.wrote.store(true);
        if (logf.regular) (void)::ftruncate(logf.fd, 0);
    }
}

void both(const char* format, const char* line, std::size_t n) {
    terminal(line, n);
    log_only(format, line, n);
}

void prompt(const char* text, std::size_t n) {
    if (!cap && editor::active()) {
        // At a terminal the line editor draws the prompt with the answer.
        flush_terminal();
        editor::prompt(text, n);
        return;
    }
    terminal(text, n);
    flush_terminal();
}

void flush_terminal() {
    if (cap || term.dead.load()) return;
    if (!drain_terminal(true)) broken_pipe();
}

void close_all(bool from_handler) noexcept {
    if (cap) return;
    editor::restore_terminal();
    // The log first: a terminal that takes nothing must not cost its lines.
    close_log(from_handler);
    (void)drain_terminal(!from_handler);
}

}  // namespace zefrin::units
