// The last steps shared by every ending.
#include "session/endings/ending.hpp"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zefrin::endings {

namespace {

void nothing() {}
void nothing(Moment) noexcept {}
void release_nothing() noexcept {}

Units units{nothing, nothing, release_nothing};
std::atomic<bool> failed{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void on_ending(Units u) noexcept {
    units = u;
    failed.store(false);
}

void show_units() { units.show(); }

void close_units(Moment moment) noexcept { units.close(moment); }

void release_units() noexcept { units.release(); }

void note_failure() noexcept { failed.store(true); }

int normal_status(int status) noexcept { return status == 0 && failed.load() ? 1 : status; }

void say(const char* text) noexcept {
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t r = ::write(2, text, left);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return;
        text += r;
        left -= static_cast<std::size_t>(r);
    }
}

void abort_now() noexcept {
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGABRT, &sa, nullptr);
    std::abort();
}

}  // namespace zefrin::endings
