// gnuplot, run as a child with its script on standard input.
#include "table/plot.hpp"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

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
    FILE* g = ::popen("gnuplot 1>&2", "w");
    if (!g)
        return "cannot start gnuplot";
    std::fwrite(s.data(), 1, s.size(), g);
    const int st = ::pclose(g);
    if (st != 0)
        return "gnuplot failed (status " + std::to_string(WEXITSTATUS(st)) + ")";
    struct stat info;
    if (::stat(file.c_str(), &info) != 0 || info.st_size == 0)
        return "gnuplot wrote no " + file;
    return {};
}

}  // namespace zefrin::table
