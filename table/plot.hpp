// Plots of a scan through gnuplot.
#pragma once

#include <string>
#include <vector>

namespace zefrin::table {

// True when gnuplot is on the PATH.
bool have_gnuplot();

// Draws the curves ys (their titles) of the data file (whitespace-separated, first column the
// scanned quantity, "?" for a missing value) against x into file (.svg or
// .png), logarithmic axes when logx. Returns an error message, or empty.
std::string plot(const std::string& data, const std::string& file, const std::string& xlabel,
                 const std::vector<std::string>& ys, bool logx);

}  // namespace zefrin::table
