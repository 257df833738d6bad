// Plots of a scan or a stack through gnuplot.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace zefrin::table {

// True when gnuplot is on the PATH.
bool have_gnuplot();

// Checks, before anything is computed, that file is FILE.svg or FILE.png
// (else throws Bad), that gnuplot is on the PATH and that file's directory
// can be written (else throws std::runtime_error, "--plot ...: why").
void check_plot(const std::string& file);

// Draws the curves ys (their titles) of the data file (whitespace-separated,
// first column the scanned quantity, "?" for a missing value) against x into
// file (.svg or .png), logarithmic axes when logx. gnuplot's own messages
// are not shown. Returns an error message, or empty; on error file is gone.
std::string plot(const std::string& data, const std::string& file, const std::string& xlabel,
                 const std::vector<std::string>& ys, bool logx);

// The points of a plot in a temporary file, removed when done, and when
// SIGINT, SIGTERM, SIGHUP, SIGQUIT or SIGPIPE ends the run (the signal then
// takes its former action). One at a time.
class PlotData {
   public:
    PlotData();  // throws std::runtime_error when no file can be made
    ~PlotData();
    PlotData(const PlotData&) = delete;
    PlotData& operator=(const PlotData&) = delete;
    std::FILE* file() { return f_; }
    // Closes the points and draws them (see plot); throws std::runtime_error
    // "--plot \"FILE\": why" on failure.
    void draw(const std::string& image, const std::string& xlabel,
              const std::vector<std::string>& ys, bool logx);

   private:
    std::FILE* f_ = nullptr;
    std::string name_;
};

}  // namespace zefrin::table
