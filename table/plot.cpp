// gnuplot, run as a child with its script on standard input.
#include "table/plot.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <stdexcept>

#include "table/input.hpp"

namespace zefrin::table {

bool have_gnuplot() {
    const char* path = std::getenv("PATH");
    std::string p = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= p.size()) {
        const std::size_t end = p.find(':', start);
        const std::string dir = p.substr(start, end == std::string::npos ? end : end - start);
        const std::string exe = (dir.empty() ? "." : dir) + "/gnuplot";
        if (::access(exe.c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

void check_plot(const std::string& file) {
    if (!(file.ends_with(".svg") || file.ends_with(".png")))
        bad("--plot", file, "unknown image type (use FILE.svg or FILE.png)");
    // gnuplot reads the name inside its script: a line break there would
    // end the string and run the rest as commands.
    for (const char c : file)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            bad("--plot", file, "a file name with a control character (line break, tab, ...)");
    if (!have_gnuplot())
        throw std::runtime_error("--plot: gnuplot not found on the PATH (install gnuplot-nox)");
    const std::size_t slash = file.rfind('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : file.substr(0, slash));
    struct stat info;
    errno = 0;
    if (::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        ::access(dir.c_str(), W_OK) != 0)
        throw std::runtime_error("--plot \"" + printable(file) + "\": directory " + printable(dir) +
                                 " cannot be written (" +
                                 std::strerror(errno == 0 ? ENOTDIR : errno) + ")");
    // The image replaces a file or a symbolic link, never a directory.
    if (::lstat(file.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw std::runtime_error("--plot \"" + printable(file) + "\": " + std::strerror(EISDIR));
}

namespace {

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (const char c : s) {
        if (c == '\'')
            q += "''";
        else
            q += c;
    }
    return q + "'";
}

// What a signal that ends the run must clean up: the plot's data file, the
// image while gnuplot draws it, and gnuplot itself, which would otherwise go
// on and write the image again.
char pending[PATH_MAX];
char drawing[PATH_MAX];
volatile sig_atomic_t child = 0;
constexpr int fatal[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
struct sigaction saved[std::size(fatal)];

void remove_pending(int sig) {
    // The child is still a zombie at worst (the run reaps it only with the
    // signals held), so its pid names no other process.
    const pid_t pid = child;
    if (pid > 0) {
        child = 0;
        (void)::kill(pid, SIGKILL);
        (void)::waitpid(pid, nullptr, 0);
    }
    if (pending[0] != '\0')
        (void)::unlink(pending);
    if (drawing[0] != '\0')
        (void)::unlink(drawing);
    for (std::size_t i = 0; i < std::size(fatal); ++i)
        if (fatal[i] == sig)
            (void)::sigaction(sig, &saved[i], nullptr);
    (void)::raise(sig);
}

// Holds the fatal signals back while a name or the child is being
// recorded, so that the handler never sees half of it.
class Held {
   public:
    Held() {
        sigset_t set;
        ::sigemptyset(&set);
        for (const int sig : fatal) ::sigaddset(&set, sig);
        ::pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~Held() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

   private:
    sigset_t old_;
};

// A new file from the template into buf (the last suffix bytes kept),
// known to the handler from the moment it exists. -1 and errno on failure.
int make_temp(char* buf, std::size_t size, const std::string& tmpl, int suffix) {
    const Held held;
    if (tmpl.size() >= size) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(buf, tmpl.c_str(), tmpl.size() + 1);
    const int fd = ::mkstemps(buf, suffix);
    if (fd < 0)
        buf[0] = '\0';
    return fd;
}

void forget(char* buf) {
    const Held held;
    buf[0] = '\0';
}

void watch() {
    struct sigaction sa {};
    sa.sa_handler = remove_pending;
    // One cleaning at a time: the others wait until the first has ended the run.
    ::sigemptyset(&sa.sa_mask);
    for (const int sig : fatal) ::sigaddset(&sa.sa_mask, sig);
    sa.sa_flags = 0;
    for (std::size_t i = 0; i < std::size(fatal); ++i) {
        (void)::sigaction(fatal[i], nullptr, &saved[i]);
        // A signal ignored at start stays ignored.
        if (saved[i].sa_handler != SIG_IGN)
            (void)::sigaction(fatal[i], &sa, nullptr);
    }
}

void unwatch() {
    forget(pending);
    for (std::size_t i = 0; i < std::size(fatal); ++i)
        (void)::sigaction(fatal[i], &saved[i], nullptr);
}

// Runs gnuplot on the script, its output and messages to /dev/null. Empty
// when it drew, else why not.
std::string run_gnuplot(const std::string& script) {
    // A SIGCHLD ignored by the caller would let the system reap gnuplot
    // before its status is read: it is the default while gnuplot runs.
    struct sigaction chld {};
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigemptyset(&dfl.sa_mask);
    (void)::sigaction(SIGCHLD, &dfl, &chld);
    struct Restore {
        const struct sigaction& old;
        ~Restore() { (void)::sigaction(SIGCHLD, &old, nullptr); }
    } restore{chld};

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::string("cannot start gnuplot: ") + std::strerror(errno);
    posix_spawn_file_actions_t fa;
    ::posix_spawn_file_actions_init(&fa);
    ::posix_spawn_file_actions_adddup2(&fa, fds[0], 0);
    ::posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&fa, 1, 2);
    // gnuplot starts with no signal held back.
    posix_spawnattr_t attr;
    ::posix_spawnattr_init(&attr);
    sigset_t none;
    ::sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attr, &none);
    ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    char name[] = "gnuplot";
    char* argv[] = {name, nullptr};
    pid_t pid = 0;
    int rc;
    {
        const Held held;
        rc = ::posix_spawnp(&pid, name, &fa, &attr, argv, environ);
        if (rc == 0)
            child = pid;
    }
    ::posix_spawnattr_destroy(&attr);
    ::posix_spawn_file_actions_destroy(&fa);
    ::close(fds[0]);
    if (rc != 0) {
        ::close(fds[1]);
        return std::string("cannot start gnuplot: ") + std::strerror(rc);
    }
    {
        // A gnuplot that has already quit must not end the run by SIGPIPE:
        // the write fails with EPIPE instead, and its signal is taken back.
        sigset_t pipe, old;
        ::sigemptyset(&pipe);
        ::sigaddset(&pipe, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &pipe, &old);
        const char* at = script.data();
        std::size_t left = script.size();
        while (left > 0) {
            const ssize_t r = ::write(fds[1], at, left);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            at += r;
            left -= static_cast<std::size_t>(r);
        }
        const timespec now{0, 0};
        while (::sigtimedwait(&pipe, nullptr, &now) == SIGPIPE) {
        }
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
    ::close(fds[1]);
    // Waits without reaping; the child is reaped, and forgotten, with the
    // signals held, so the handler never kills a pid that is no longer it.
    siginfo_t si{};
    int waited;
    while ((waited = ::waitid(P_PID, static_cast<id_t>(pid), &si, WEXITED | WNOWAIT)) < 0 &&
           errno == EINTR) {
    }
    const int wait_error = waited < 0 ? errno : 0;
    {
        const Held held;
        child = 0;
        (void)::waitpid(pid, nullptr, WNOHANG);
    }
    if (wait_error != 0)
        return std::string("cannot wait for gnuplot: ") + std::strerror(wait_error);
    if (si.si_code == CLD_EXITED)
        return si.si_status == 0 ? std::string()
                                 : "gnuplot failed (status " + std::to_string(si.si_status) + ")";
    return "gnuplot was ended by signal " + std::to_string(si.si_status);
}

}  // namespace

std::string plot(const std::string& data, const std::string& file, const std::string& xlabel,
                 const std::vector<std::string>& ys, bool logx) {
    const bool svg = file.size() >= 4 && file.compare(file.size() - 4, 4, ".svg") == 0;
    std::string s;
    s += svg ? "set terminal svg size 800,500 dynamic noenhanced font 'sans,12'\n"
             : "set terminal pngcairo size 800,500 noenhanced font 'sans,11'\n";
    s += "set output " + quoted(file) + "\n";
    s += "set datafile missing '?'\n";
    s += "set key top right\nset grid\n";
    s += "set xlabel " + quoted(xlabel) + "\n";
    if (logx)
        s += "set logscale x\n";
    // The first curve on the left axis, a second on the right one.
    s += "set ylabel " + quoted(ys[0]) + "\n";
    if (ys.size() > 1) {
        s += "set y2label " + quoted(ys[1]) + "\nset y2tics\nset ytics nomirror\n";
        if (logx)
            s += "set logscale y2\n";
    }
    if (logx)
        s += "set logscale y\n";
    s += "plot ";
    for (std::size_t i = 0; i < ys.size(); ++i) {
        if (i > 0)
            s += ", ";
        s += quoted(data) + " using 1:" + std::to_string(i + 2) + " with lines lw 2 title " +
             quoted(ys[i]) + (i == 1 ? " axes x1y2" : "");
    }
    s += "\n";
    std::string why = run_gnuplot(s);
    struct stat info;
    if (why.empty() && (::stat(file.c_str(), &info) != 0 || info.st_size == 0))
        why = "gnuplot wrote no image";
    if (!why.empty())
        ::unlink(file.c_str());
    return why;
}

PlotData::PlotData() {
    watch();
    // In $TMPDIR when it names a directory by its whole path, else /tmp.
    // The name goes into gnuplot's script: no control character.
    const char* tmp = std::getenv("TMPDIR");
    bool usable = tmp && tmp[0] == '/';
    for (const char* c = tmp; usable && *c; ++c)
        usable = static_cast<unsigned char>(*c) >= 0x20 && *c != 0x7f;
    const std::string dir = usable ? tmp : "/tmp";
    const int fd = make_temp(pending, sizeof pending,
                             dir + (dir.ends_with('/') ? "" : "/") + "zefrin-table-plot-XXXXXX", 0);
    if (fd < 0) {
        const int e = errno;
        unwatch();
        throw std::runtime_error("--plot: cannot make a file for the plot's data in " +
                                 printable(dir) + ": " + std::strerror(e));
    }
    name_ = pending;
    f_ = ::fdopen(fd, "w");
    if (!f_) {
        const int e = errno;
        ::close(fd);
        ::unlink(name_.c_str());
        unwatch();
        throw std::runtime_error("--plot: cannot write the plot's data in " + printable(dir) +
                                 ": " + std::strerror(e));
    }
}

PlotData::~PlotData() {
    if (f_)
        std::fclose(f_);
    ::unlink(name_.c_str());
    unwatch();
}

void PlotData::draw(const std::string& image, const std::string& xlabel,
                    const std::vector<std::string>& ys, bool logx) {
    const bool written = std::fclose(f_) == 0;
    f_ = nullptr;
    std::string err = written ? "" : "cannot write the plot's data";
    if (err.empty()) {
        // gnuplot draws into a file of its own beside the image, which
        // takes the image's name only once it is whole: a run that ends
        // early leaves no image, or the one that was there.
        const std::size_t slash = image.rfind('/');
        const std::string tmpl =
            (slash == std::string::npos ? std::string() : image.substr(0, slash + 1)) +
            ".zefrin-table-image-XXXXXX" + image.substr(image.size() - 4);
        // The type stays in the name: .svg or .png.
        const int fd = make_temp(drawing, sizeof drawing, tmpl, 4);
        if (fd < 0) {
            err = std::string("cannot make a file beside the image: ") + std::strerror(errno);
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            (void)::fchmod(fd, 0666 & ~mask);
            ::close(fd);
            err = plot(name_, drawing, xlabel, ys, logx);
            if (err.empty()) {
                // Named and forgotten at once: the handler never removes
                // the name after it has become the image's.
                const Held held;
                if (::rename(drawing, image.c_str()) == 0)
                    drawing[0] = '\0';
                else
                    err = std::string("cannot name the image: ") + std::strerror(errno);
            }
            if (drawing[0] != '\0')
                (void)::unlink(drawing);
            forget(drawing);
        }
    }
    if (!err.empty())
        throw std::runtime_error("--plot \"" + printable(image) + "\": " + err);
}

}  // namespace zefrin::table
