// Fork, exec and a script of steps: staged input, signals, a vanishing reader.
#include "launch.hpp"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "expect.hpp"

namespace zefrin::faults {

namespace {

// The test itself must outlive a program that stops reading its input.
[[maybe_unused]] const auto pipe_ignored = ::signal(SIGPIPE, SIG_IGN);

// Takes the override of file permissions (and of read and search
// permissions) from this process and from every program it executes: out of
// the bounding set, so that a root's exec does not give them back.
bool drop_override() {
    const int caps[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH};
    for (int cap : caps)
        if (::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0)
            return false;
    __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &head, data) != 0)
        return false;
    for (int cap : caps) {
        const auto bit = ~(1u << (cap % 32));
        data[cap / 32].effective &= bit;
        data[cap / 32].permitted &= bit;
        data[cap / 32].inheritable &= bit;
    }
    return ::syscall(SYS_capset, &head, data) == 0;
}

void nonblock(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

[[noreturn]] void child(const test::Scratch& dir, const Launch& how, int in[2], int out[2],
                        int err[2]) {
    if (!how.stdin_file.empty()) {
        const int fd = ::open(how.stdin_file.c_str(), O_RDONLY);
        if (fd < 0)
            ::_exit(124);
        ::dup2(fd, 0);
        ::close(fd);
    } else {
        ::dup2(in[0], 0);
    }
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
    if (how.stdin_nonblocking)
        nonblock(0);
    if (how.stdout_nonblocking)
        nonblock(1);
    if (how.close_stdin)
        ::close(0);
    if (how.close_stdout)
        ::close(1);
    if (how.close_stderr)
        ::close(2);
    for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGTRAP, SIGFPE, SIGABRT}) ::signal(sig, SIG_DFL);
    ::signal(SIGINT, how.ignore_sigint ? SIG_IGN : SIG_DFL);
    ::signal(SIGQUIT, how.ignore_sigquit ? SIG_IGN : SIG_DFL);
    ::signal(SIGPIPE, how.ignore_sigpipe ? SIG_IGN : SIG_DFL);
    ::signal(SIGXFSZ, how.ignore_sigxfsz ? SIG_IGN : SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (how.file_size_limit >= 0) {
        rlimit lim{};
        ::getrlimit(RLIMIT_FSIZE, &lim);
        lim.rlim_cur = static_cast<rlim_t>(how.file_size_limit);
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0)
            ::_exit(123);
    }
    if (how.bind_root && ::geteuid() == 0 && !drop_override())
        ::_exit(125);
    if (::chdir(dir.path().c_str()) != 0)
        ::_exit(126);
    ::execl(test::exe(), "zefrin", static_cast<char*>(nullptr));
    ::_exit(127);
}

}  // namespace

test::Result launch(const test::Scratch& dir, const Launch& how) {
    int in[2], out[2], err[2];
    if (::pipe(in) || ::pipe(out) || ::pipe(err))
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0)
        child(dir, how, in, out, err);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    nonblock(in[1]);
    nonblock(out[0]);
    nonblock(err[0]);

    test::Result r;
    bool in_open = true, out_open = true, err_open = true, out_read = true;
    auto close_in = [&] {
        if (in_open)
            ::close(in[1]);
        in_open = false;
    };
    if (!how.stdin_file.empty())
        close_in();
    std::size_t step = 0, sent = 0;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(how.timeout_seconds);
    while (out_open || err_open) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            r.timed_out = true;
            break;
        }
        // Carry out the steps that can be done now.
        bool feeding = false;
        while (step < how.steps.size()) {
            const Step& s = how.steps[step];
            if (s.kind == Step::feed) {
                if (!in_open) {
                    ++step;
                    continue;
                }
                while (sent < s.text.size()) {
                    const ssize_t k = ::write(in[1], s.text.data() + sent, s.text.size() - sent);
                    if (k <= 0)
                        break;
                    sent += static_cast<std::size_t>(k);
                }
                if (sent < s.text.size()) {
                    if (errno != EAGAIN)
                        close_in();
                    feeding = in_open;
                    break;
                }
                sent = 0;
            } else if (s.kind == Step::await) {
                if (count(r.out, s.text) < static_cast<std::size_t>(s.number) && out_read)
                    break;
            } else if (s.kind == Step::signal) {
                ::kill(pid, s.number);
            } else if (s.kind == Step::close_input) {
                close_in();
            } else if (s.kind == Step::close_output) {
                if (out_open)
                    ::close(out[0]);
                out_open = out_read = false;
            } else if (s.kind == Step::pause) {
                std::this_thread::sleep_for(std::chrono::milliseconds(s.number));
            }
            ++step;
        }
        if (step == how.steps.size())
            close_in();

        pollfd fds[3];
        int n = 0;
        int iout = -1, ierr = -1, iin = -1;
        if (out_open)
            fds[iout = n++] = {out[0], POLLIN, 0};
        if (err_open)
            fds[ierr = n++] = {err[0], POLLIN, 0};
        if (feeding)
            fds[iin = n++] = {in[1], POLLOUT, 0};
        ::poll(fds, static_cast<nfds_t>(n), 50);
        char buf[65536];
        if (iout >= 0 && fds[iout].revents) {
            const ssize_t k = ::read(out[0], buf, sizeof buf);
            if (k > 0)
                r.out.append(buf, static_cast<std::size_t>(k));
            else if (k == 0 || errno != EAGAIN) {
                ::close(out[0]);
                out_open = out_read = false;
            }
        }
        if (ierr >= 0 && fds[ierr].revents) {
            const ssize_t k = ::read(err[0], buf, sizeof buf);
            if (k > 0)
                r.err.append(buf, static_cast<std::size_t>(k));
            else if (k == 0 || errno != EAGAIN)
                err_open = false;
        }
        if (iin >= 0 && (fds[iin].revents & (POLLERR | POLLHUP)))
            close_in();
    }
    close_in();
    if (out_open)
        ::close(out[0]);
    ::close(err[0]);
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(st)) {
        r.exited = true;
        r.status = WEXITSTATUS(st);
    } else if (WIFSIGNALED(st)) {
        r.term_signal = WTERMSIG(st);
    }
    // Only a regular file is read back: a log that is a link to /dev/full
    // would read as zeros without end.
    struct stat sb {};
    if (::stat(dir.file("ZEFRIN.LOG").c_str(), &sb) == 0 && S_ISREG(sb.st_mode))
        r.log = dir.read("ZEFRIN.LOG", &r.log_exists);
    return r;
}

bool permissions_bind() {
    if (::geteuid() != 0)
        return true;
    // Try it: a child without the override must be refused a read-only file.
    char path[] = "/tmp/zefrin-bind-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0)
        return false;
    ::fchmod(fd, 0444);
    ::close(fd);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!drop_override())
            ::_exit(2);
        const int w = ::open(path, O_WRONLY);
        ::_exit(w < 0 && errno == EACCES ? 0 : 1);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    ::unlink(path);
    return pid > 0 && WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

}  // namespace zefrin::faults
