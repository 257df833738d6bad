// Opening and closing the units of a run.
#include "session/streams/units.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "session/streams/editor.hpp"
#include "session/streams/terminal.hpp"

namespace zefrin::streams {

namespace {

void show() { terminal::flush(); }

}  // namespace

void guard_standard_streams() {
    for (int fd = 0; fd < 3; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // Standard output and error take /dev/null for reading only: a
        // write to them still fails with EBADF, as on the closed descriptor,
        // and a closed standard output is said like any other failure.
        const int n = ::open("/dev/null", O_RDONLY);
        if (n >= 0 && n != fd) {
            ::dup2(n, fd);
            ::close(n);
        }
    }
    ::signal(SIGXFSZ, SIG_IGN);
}

log::Opened open_units(int& err) {
    terminal::open();
    const log::Opened opened = log::open(err);
    if (opened == log::Opened::yes) endings::on_ending({show, close_units, editor::restore_terminal});
    return opened;
}

void close_units(endings::Moment moment) noexcept {
    log::close(moment);
    terminal::close(moment);
}

}  // namespace zefrin::streams
