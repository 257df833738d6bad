// gnuplot, run as a child with its script on standard input.
#include "table/plot.hpp"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
    FILE* g = ::popen("gnuplot >/dev/null 2>&1", "w");
    if (!g)
        return "cannot start gnuplot";
    std::fwrite(s.data(), 1, s.size(), g);
    const int st = ::pclose(g);
    struct stat info;
    std::string why;
    if (st != 0)
        why = "gnuplot failed (status " + std::to_string(WEXITSTATUS(st)) + ")";
    else if (::stat(file.c_str(), &info) != 0 || info.st_size == 0)
        why = "gnuplot wrote no image";
    if (!why.empty())
        ::unlink(file.c_str());
    return why;
}

namespace {

// The data file of the plot being made, and the image while gnuplot draws
// it, for a signal that ends the run before they can be removed.
char pending[32];
char drawing[PATH_MAX];
constexpr int fatal[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
struct sigaction saved[std::size(fatal)];

void remove_pending(int sig) {
    if (pending[0] != '\0')
        (void)::unlink(pending);
    if (drawing[0] != '\0')
        (void)::unlink(drawing);
    for (std::size_t i = 0; i < std::size(fatal); ++i)
        if (fatal[i] == sig)
            (void)::sigaction(sig, &saved[i], nullptr);
    (void)::raise(sig);
}

void watch(const char* name) {
    std::memcpy(pending, name, std::strlen(name) + 1);
    struct sigaction sa {};
    sa.sa_handler = remove_pending;
    ::sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    for (std::size_t i = 0; i < std::size(fatal); ++i) {
        (void)::sigaction(fatal[i], nullptr, &saved[i]);
        // A signal ignored at start stays ignored.
        if (saved[i].sa_handler != SIG_IGN)
            (void)::sigaction(fatal[i], &sa, nullptr);
    }
}

void unwatch() {
    for (std::size_t i = 0; i < std::size(fatal); ++i)
        (void)::sigaction(fatal[i], &saved[i], nullptr);
    pending[0] = '\0';
}

}  // namespace

PlotData::PlotData() {
    char tmpl[] = "/tmp/zefrin-table-plot-XXXXXX";
    static_assert(sizeof tmpl <= sizeof pending);
    // Watched before it exists, so that no signal leaves it behind.
    watch(tmpl);
    const int fd = ::mkstemp(tmpl);
    if (fd < 0) {
        unwatch();
        throw std::runtime_error("--plot: cannot make a file for the plot's data");
    }
    std::memcpy(pending, tmpl, sizeof tmpl);
    name_ = tmpl;
    f_ = ::fdopen(fd, "w");
    if (!f_) {
        ::close(fd);
        ::unlink(name_.c_str());
        unwatch();
        throw std::runtime_error("--plot: cannot make a file for the plot's data");
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
        if (tmpl.size() >= sizeof drawing)
            throw std::runtime_error("--plot \"" + printable(image) + "\": the name is too long");
        std::memcpy(drawing, tmpl.c_str(), tmpl.size() + 1);
        const int fd = ::mkstemps(drawing, 4);  // the type stays: .svg or .png
        if (fd < 0) {
            err = std::string("cannot make a file beside the image: ") + std::strerror(errno);
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            (void)::fchmod(fd, 0666 & ~mask);
            ::close(fd);
            err = plot(name_, drawing, xlabel, ys, logx);
            if (err.empty() && ::rename(drawing, image.c_str()) != 0)
                err = std::string("cannot name the image: ") + std::strerror(errno);
            (void)::unlink(drawing);
        }
        drawing[0] = '\0';
    }
    if (!err.empty())
        throw std::runtime_error("--plot \"" + printable(image) + "\": " + err);
}

}  // namespace zefrin::table
