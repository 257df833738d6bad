// Fork, exec and a script of steps: the harness of the end-to-end tests.
#include "run.hpp"

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
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zefrin::test {

Scratch::Scratch() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zefrin-test-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
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
        if (exists)
            *exists = std::filesystem::exists(file(name), ec);
        return {};
    }
    std::ifstream f(file(name), std::ios::binary);
    if (exists)
        *exists = static_cast<bool>(f);
    if (!f)
        return {};
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

const char* exe() {
    return ZEFRIN_EXE;
}

std::size_t count(const std::string& hay, const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
}

namespace {

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

// The system call a process sleeps in (state S) and its first argument, from
// /proc; nr -1 when it runs or is gone.
struct Sleep {
    long nr = -1;
    long fd = -1;
};

Sleep sleep_of(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'S')
        return {};
    std::ifstream sys("/proc/" + std::to_string(pid) + "/syscall");
    Sleep s;
    std::string arg;
    sys >> s.nr >> arg;
    if (!sys)
        return {};
    s.fd = std::stol(arg, nullptr, 16);
    return s;
}

bool is_poll(long nr) {
#ifdef SYS_poll
    if (nr == SYS_poll)
        return true;
#endif
    return nr == SYS_ppoll;
}

// True when the process sleeps in write(2) to a file other than the standard
// streams.
bool in_write(pid_t pid) {
    const Sleep s = sleep_of(pid);
    return s.nr == SYS_write && s.fd > 2;
}

// True when no signal waits to be delivered to the process.
bool none_pending(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    int zero = 0;
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigPnd:", 0) == 0 || line.rfind("ShdPnd:", 0) == 0)
            zero += std::stoull(line.substr(7), nullptr, 16) == 0;
    return zero == 2;
}

bool waiting_for_input(pid_t pid) {
    const Sleep s = sleep_of(pid);
    return ((s.nr == SYS_read && s.fd == 0) || is_poll(s.nr)) && none_pending(pid);
}

bool output_stalled(pid_t pid) {
    const Sleep s = sleep_of(pid);
    return (s.nr == SYS_write && s.fd == 1) || is_poll(s.nr);
}

void nonblock(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

[[noreturn]] void child(const Scratch& dir, const Options& o, int in[2], int out[2], int err[2]) {
    int fd[3] = {in[0], out[1], err[1]};
    if (!o.stdin_file.empty())
        fd[0] = ::open(o.stdin_file.c_str(), O_RDONLY);
    if (!o.stdout_file.empty())
        fd[1] = ::open(o.stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (o.streams_to_files) {
        const int mode = O_WRONLY | O_CREAT | O_TRUNC;
        fd[1] = ::open(dir.file(".stdout").c_str(), mode, 0600);
        fd[2] = ::open(dir.file(".stderr").c_str(), mode, 0600);
    }
    if (fd[0] < 0 || fd[1] < 0 || fd[2] < 0)
        ::_exit(124);
    for (int k = 0; k < 3; ++k) ::dup2(fd[k], k);
    for (int d : {in[0], in[1], out[0], out[1], err[0], err[1], fd[0], fd[1], fd[2]})
        if (d > 2)
            ::close(d);
    if (o.stdout_broken) {
        int p[2];
        if (::pipe(p) == 0) {
            ::dup2(p[1], 1);
            ::close(p[0]);
            ::close(p[1]);
        }
    }
    if (o.stdin_nonblocking)
        nonblock(0);
    if (o.stdout_nonblocking)
        nonblock(1);
    if (o.close_stdin)
        ::close(0);
    if (o.close_stdout)
        ::close(1);
    if (o.close_stderr)
        ::close(2);
    // Every signal in its default action (some cannot be set: no matter).
    for (int sig = 1; sig < NSIG; ++sig) ::signal(sig, SIG_DFL);
    // Signals that dump core by default leave no file behind.
    const rlimit no_core{0, 0};
    ::setrlimit(RLIMIT_CORE, &no_core);
    ::signal(SIGINT, o.ignore_sigint ? SIG_IGN : SIG_DFL);
    ::signal(SIGQUIT, o.ignore_sigquit ? SIG_IGN : SIG_DFL);
    ::signal(SIGPIPE, o.ignore_sigpipe ? SIG_IGN : SIG_DFL);
    ::signal(SIGXFSZ, o.ignore_sigxfsz ? SIG_IGN : SIG_DFL);
    for (int sig : o.ignore_signals) ::signal(sig, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (o.file_size_limit >= 0) {
        rlimit lim{};
        ::getrlimit(RLIMIT_FSIZE, &lim);
        lim.rlim_cur = static_cast<rlim_t>(o.file_size_limit);
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0)
            ::_exit(123);
    }
    if (o.bind_root && ::geteuid() == 0 && !drop_override())
        ::_exit(125);
    if (::chdir(dir.path().c_str()) != 0)
        ::_exit(126);
    for (const Env& e : o.env) e.value ? ::setenv(e.name, e.value, 1) : ::unsetenv(e.name);
    if (o.argv.empty()) {
        ::execl(exe(), "zefrin", static_cast<char*>(nullptr));
    } else {
        std::vector<char*> args;
        for (const std::string& a : o.argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
    }
    ::_exit(127);
}

}  // namespace

Result run(const Scratch& dir, const std::string& input) {
    Options o;
    o.input = input;
    return run(dir, o);
}

Result run(const Scratch& dir, const Options& opt) {
    // The test itself must outlive a program that stops reading its input.
    static const auto pipe_ignored = ::signal(SIGPIPE, SIG_IGN);
    (void)pipe_ignored;
    int in[2], out[2], err[2];
    if (::pipe(in) || ::pipe(out) || ::pipe(err))
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0)
        child(dir, opt, in, out, err);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    nonblock(in[1]);
    nonblock(out[0]);
    nonblock(err[0]);

    std::vector<Step> steps;
    if (!opt.input.empty())
        steps.push_back(feed(opt.input));
    steps.insert(steps.end(), opt.steps.begin(), opt.steps.end());

    Result r;
    bool in_open = true, out_open = true, err_open = true, out_read = true, ended = false;
    int st = 0;
    auto close_in = [&] {
        if (in_open)
            ::close(in[1]);
        in_open = false;
    };
    auto close_out = [&] {
        if (out_open)
            ::close(out[0]);
        out_open = out_read = false;
    };
    if (!opt.stdin_file.empty())
        close_in();
    std::size_t step = 0, sent = 0;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(opt.timeout_seconds);
    for (;;) {
        if (!ended && ::waitpid(pid, &st, WNOHANG) == pid)
            ended = true;
        if (ended && !out_open && !err_open)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            r.timed_out = true;
            break;
        }
        // Carry out the steps that can be done now.
        bool feeding = false;
        while (step < steps.size()) {
            const Step& s = steps[step];
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
                if (!ended)  // a process reaped: its number may be another's
                    ::kill(pid, s.number);
            } else if (s.kind == Step::close_input) {
                close_in();
            } else if (s.kind == Step::close_output) {
                close_out();
            } else if (s.kind == Step::blocked_in_write) {
                if (!ended && !in_write(pid))
                    break;  // looked at again after the next poll (50 ms at most)
            } else if (s.kind == Step::waiting_for_input) {
                if (!ended && !waiting_for_input(pid))
                    break;
            } else if (s.kind == Step::output_stalled) {
                if (!ended && !output_stalled(pid))
                    break;
            } else if (s.kind == Step::call) {
                s.action();
            }
            ++step;
        }
        if (step == steps.size() && !opt.keep_input_open)
            close_in();
        const bool hold_output = step < steps.size() && steps[step].kind == Step::output_stalled;

        pollfd fds[3];
        int n = 0;
        int iout = -1, ierr = -1, iin = -1;
        if (out_open && !hold_output)
            fds[iout = n++] = {out[0], POLLIN, 0};
        if (err_open)
            fds[ierr = n++] = {err[0], POLLIN, 0};
        if (feeding)
            fds[iin = n++] = {in[1], POLLOUT, 0};
        // With nothing to watch, only the end of the program is awaited.
        ::poll(fds, static_cast<nfds_t>(n), n == 0 ? 5 : 50);
        char buf[65536];
        if (iout >= 0 && fds[iout].revents) {
            const ssize_t k = ::read(out[0], buf, sizeof buf);
            if (k > 0)
                r.out.append(buf, static_cast<std::size_t>(k));
            else if (k == 0 || errno != EAGAIN)
                close_out();
        }
        if (ierr >= 0 && fds[ierr].revents) {
            const ssize_t k = ::read(err[0], buf, sizeof buf);
            if (k > 0)
                r.err.append(buf, static_cast<std::size_t>(k));
            else if (k == 0 || errno != EAGAIN) {
                ::close(err[0]);
                err_open = false;
            }
        }
        if (iin >= 0 && (fds[iin].revents & (POLLERR | POLLHUP)))
            close_in();
    }
    close_in();
    close_out();
    if (err_open)
        ::close(err[0]);
    while (!ended && ::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(st)) {
        r.exited = true;
        r.status = WEXITSTATUS(st);
    } else if (WIFSIGNALED(st)) {
        r.term_signal = WTERMSIG(st);
    }
    if (opt.streams_to_files) {
        r.out = dir.read(".stdout");
        r.err = dir.read(".stderr");
    }
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

}  // namespace zefrin::test
