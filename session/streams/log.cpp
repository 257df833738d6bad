// The log: complete lines at their file offset, written again harmlessly by
// a handler that interrupts a flush; pieces held against the signals where
// the file cannot be written twice.
#include "session/streams/log.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include "session/endings/orderly.hpp"
#include "session/endings/signals.hpp"

namespace zefrin::streams::log {

namespace {

using Word = std::uint64_t;
static_assert(std::atomic<Word>::is_always_lock_free);
static_assert(std::atomic<std::size_t>::is_always_lock_free);

// The buffer holds complete lines only, to be written at file offset base;
// its first `sent` bytes have been written already.
struct Log {
    static constexpr std::size_t size = 1 << 16;
    static constexpr int held_bits = 20;
    // A file that cannot be written twice (a pipe) is written a piece at a
    // time, each taken whole or not at all.
    static constexpr std::size_t piece = PIPE_BUF;
    char buf[size];
    std::atomic<Word> state{0};  // base << held_bits | held
    std::atomic<std::size_t> sent{0};
    int fd = -1;
    bool readonly = false;
    bool regular = false;
    bool seekable = false;
    std::atomic<bool> wrote{false};   // this session has written a line to the log
    std::atomic<bool> failed{false};  // a write failed: the log keeps what it had
    std::atomic<bool> closed{false};
    bool reported = false;  // a failure has been said
};

Log logf;

constexpr Word held_mask = (Word{1} << Log::held_bits) - 1;

// Writes bytes [from, from + n) of the buffer at file offset `at`: the whole
// block on a seekable file, one piece on any other. Returns what write gives.
ssize_t write_some(std::size_t from, std::size_t n, Word at) noexcept {
    if (logf.seekable) return ::pwrite(logf.fd, logf.buf + from, n, static_cast<off_t>(at));
    // From the write to the record of what it wrote, a signal waits.
    const endings::Deferred hold;
    const ssize_t r = ::write(logf.fd, logf.buf + from, n < Log::piece ? n : Log::piece);
    if (r > 0) logf.sent.store(from + static_cast<std::size_t>(r));
    return r;
}

// Writes the buffer. patient: waits for a file that takes nothing at the
// moment; else what is not taken at once is given up. Returns the errno of a
// failure, or 0.
int drain(bool patient) noexcept {
    const Word st = logf.state.load();
    const Word base = st >> Log::held_bits;
    const std::size_t held = st & held_mask;
    std::size_t done = logf.seekable ? 0 : logf.sent.load();
    while (done < held) {
        const ssize_t r = write_some(done, held - done, base + done);
        if (r > 0) {
            done += static_cast<std::size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{logf.fd, POLLOUT, 0};
            if (patient && (::poll(&p, 1, -1) >= 0 || errno == EINTR)) continue;
            return 0;  // given up: the run is ending
        }
        const int err = r < 0 ? errno : ENOSPC;
        // Keep only the complete lines that reached the file.
        std::size_t keep = done;
        while (keep > 0 && logf.buf[keep - 1] != '\n') --keep;
        logf.failed.store(true);
        logf.state.store((base + keep) << Log::held_bits);
        logf.sent.store(0);
        return err;
    }
    // The buffer emptied before its progress is forgotten: a handler in
    // between finds nothing to write again.
    logf.state.store((base + held) << Log::held_bits);
    logf.sent.store(0);
    return 0;
}

void report(int err) noexcept {
    if (logf.reported) return;
    logf.reported = true;
    endings::note_failure();
    endings::say("zefrin: ");
    endings::say(name);
    endings::say(": ");
    endings::say(std::strerror(err));
    endings::say("\n");
}

}  // namespace

Opened open(int& err) {
    int fd = ::open(name, O_RDWR | O_CLOEXEC);
    bool readonly = false;
    if (fd < 0) {
        fd = ::open(name, O_RDONLY | O_CLOEXEC);
        readonly = fd >= 0;
    }
    if (fd < 0) fd = ::open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        err = errno;
        return Opened::refused;
    }
    struct stat sb {};
    const bool regular = ::fstat(fd, &sb) == 0 && S_ISREG(sb.st_mode);
    if (regular && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return Opened::in_use;
    }
    logf.fd = fd;
    logf.wrote.store(false);
    logf.failed.store(false);
    logf.closed.store(false);
    logf.reported = false;
    logf.readonly = readonly;
    logf.regular = regular;
    // Rewound: the session writes the file from its first byte.
    logf.seekable = ::lseek(fd, 0, SEEK_SET) == 0;
    logf.sent.store(0);
    logf.state.store(0);
    err = 0;
    return Opened::yes;
}

void put(const char* format, const char* line, std::size_t n) {
    if (logf.fd < 0 || logf.closed.load()) return;
    if (logf.readonly)
        endings::fail({"write start", "can't write file", endings::Unit::log, name, format,
                       endings::Lately::writing});
    if (logf.failed.load()) return;
    const Word st = logf.state.load();
    std::size_t held = st & held_mask;
    Word base = st >> Log::held_bits;
    if (held + n > Log::size) {
        if (const int err = drain(true)) {
            endings::show_units();  // the message follows what the terminal shows
            report(err);
            return;
        }
        held = 0;
        base = logf.state.load() >> Log::held_bits;
    }
    std::memcpy(logf.buf + held, line, n);
    logf.state.store(base << Log::held_bits | (held + n));
    if (!logf.wrote.load()) {
        // The first line of this session, now held: an older log goes at
        // once, so the file never holds lines of two sessions. (An ending
        // before this point leaves the older log whole; after it, it cuts
        // the file after this line.)
        logf.wrote.store(true);
        if (logf.regular) (void)::ftruncate(logf.fd, 0);
    }
}

void close(endings::Moment moment) noexcept {
    if (logf.closed.load() || logf.fd < 0) return;
    const bool patient = moment == endings::Moment::orderly;
    // An ending never waits for the log: a pipe nobody reads gets what it
    // takes at once.
    if (!patient && !logf.regular)
        (void)::fcntl(logf.fd, F_SETFL, ::fcntl(logf.fd, F_GETFL) | O_NONBLOCK);
    if (!logf.failed.load()) {
        const int err = drain(patient);
        if (err != 0 && patient) report(err);
    }
    const Word st = logf.state.load();
    if ((logf.wrote.load() || st != 0) && logf.regular)
        (void)::ftruncate(logf.fd, static_cast<off_t>(st >> Log::held_bits));
    if (!logf.closed.exchange(true)) ::close(logf.fd);
}

}  // namespace zefrin::streams::log
