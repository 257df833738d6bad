// The lines of standard input, read ahead in blocks.
#include "session/streams/keyboard.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "session/streams/editor.hpp"

namespace zefrin::streams::keyboard {

namespace {

struct Input {
    char buf[1 << 16];
    std::size_t pos = 0, end = 0;
    bool ended = false;
    int error = 0;  // the errno of a failed read
};
Input in;

// Reads the next block. False at the end of input or after a failed read.
bool fill() {
    if (in.ended) return false;
    for (;;) {
        const ssize_t r = ::read(0, in.buf, sizeof in.buf);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A keyboard left non-blocking by someone else: wait for the line.
            pollfd p{0, POLLIN, 0};
            ::poll(&p, 1, -1);
            continue;
        }
        if (r <= 0) {
            in.ended = true;
            in.error = r < 0 ? errno : 0;
            return false;
        }
        in.pos = 0;
        in.end = static_cast<std::size_t>(r);
        return true;
    }
}

}  // namespace

void reset() {
    in.pos = 0;
    in.end = 0;
    in.ended = false;
    in.error = 0;
}

int error() { return in.error; }

Got read_line(char (&head)[kept], std::size_t& n) {
    if (editor::active()) return editor::read_line(head, n, in.error);
    n = 0;
    bool any = false;
    for (;;) {
        if (in.pos == in.end && !fill()) {
            if (in.error != 0) return Got::failed;
            return any ? Got::partial : Got::end;
        }
        any = true;
        const char* from = in.buf + in.pos;
        const std::size_t avail = in.end - in.pos;
        const void* nl = std::memchr(from, '\n', avail);
        const std::size_t take =
            nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - from) : avail;
        const std::size_t room = kept - n;
        const std::size_t copy = take < room ? take : room;
        std::memcpy(head + n, from, copy);
        n += copy;
        in.pos += take;
        if (nl) {
            ++in.pos;
            return Got::line;
        }
    }
}

}  // namespace zefrin::streams::keyboard
