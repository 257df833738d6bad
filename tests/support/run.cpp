// Fork, exec and collect: the harness of the end-to-end tests.
#include "run.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zefrin::test {

Scratch::Scratch() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zefrin-test-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

Scratch::~Scratch() {
    std::error_code ec;
    // Give back write permission first, so a read-only directory goes too.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void Scratch::write(const std::string& name, const std::string& bytes) const {
    std::ofstream f(file(name), std::ios::binary | std::ios::trunc);
    f << bytes;
}

std::string Scratch::read(const std::string& name, bool* exists) const {
    // Only a regular file is read back: a log linked to /dev/full or
    // /dev/zero would never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file(name), ec)) {
        if (exists) *exists = std::filesystem::exists(file(name), ec);
        return {};
    }
    std::ifstream f(file(name), std::ios::binary);
    if (exists) *exists = static_cast<bool>(f);
    if (!f) return {};
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

const char* exe() { return ZEFRIN_EXE; }

namespace {

std::size_t occurrences(const std::string& hay, const std::string& needle) {
    if (needle.empty()) return 0;
    std::size_t n = 0;
    for (std::size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
}

void nonblock(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

Result run(const Scratch& dir, const std::string& input) {
    Options o;
    o.input = input;
    return run(dir, o);
}

Result run(const Scratch& dir, const Options& opt) {
    int in[2], out[2], err[2];
    if (::pipe(in) || ::pipe(out) || ::pipe(err)) throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
        if (opt.stdout_broken) {
            int p[2];
            if (::pipe(p) == 0) {
                ::dup2(p[1], 1);
                ::close(p[0]);
                ::close(p[1]);
            }
        }
        if (opt.close_stdout) ::close(1);
        ::signal(SIGINT, opt.ignore_sigint ? SIG_IGN : SIG_DFL);
        ::signal(SIGQUIT, opt.ignore_sigquit ? SIG_IGN : SIG_DFL);
        ::signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::chdir(dir.path().c_str()) != 0) ::_exit(126);
        ::execl(exe(), "zefrin", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    nonblock(in[1]);
    nonblock(out[0]);
    nonblock(err[0]);

    Result r;
    std::size_t sent = 0;
    bool in_open = true, out_open = true, err_open = true, signalled = false;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(opt.timeout_seconds);
    auto close_in = [&] {
        if (in_open) ::close(in[1]);
        in_open = false;
    };
    if (opt.input.empty() && !opt.keep_input_open) close_in();
    while (out_open || err_open) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            r.timed_out = true;
            break;
        }
        pollfd fds[3];
        int n = 0;
        int iout = -1, ierr = -1, iin = -1;
        if (out_open) fds[iout = n++] = {out[0], POLLIN, 0};
        if (err_open) fds[ierr = n++] = {err[0], POLLIN, 0};
        if (in_open && sent < opt.input.size()) fds[iin = n++] = {in[1], POLLOUT, 0};
        ::poll(fds, static_cast<nfds_t>(n), 100);
        char buf[65536];
        if (iout >= 0 && fds[iout].revents) {
            const ssize_t k = ::read(out[0], buf, sizeof buf);
            if (k > 0) r.out.append(buf, static_cast<std::size_t>(k));
            else if (k == 0 || errno != EAGAIN) out_open = false;
        }
        if (ierr >= 0 && fds[ierr].revents) {
            const ssize_t k = ::read(err[0], buf, sizeof buf);
            if (k > 0) r.err.append(buf, static_cast<std::size_t>(k));
            else if (k == 0 || errno != EAGAIN) err_open = false;
        }
        if (iin >= 0 && fds[iin].revents) {
            const ssize_t k = ::write(in[1], opt.input.data() + sent, opt.input.size() - sent);
            if (k > 0) sent += static_cast<std::size_t>(k);
            else if (errno != EAGAIN) close_in();
        }
        if (in_open && sent == opt.input.size() && !opt.keep_input_open) close_in();
        if (opt.signal != 0 && !signalled &&
            occurrences(r.out, opt.after) >= static_cast<std::size_t>(opt.count)) {
            ::kill(pid, opt.signal);
            signalled = true;
        }
    }
    close_in();
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
    r.log = dir.read("ZEFRIN.LOG", &r.log_exists);
    return r;
}

}  // namespace zefrin::test
