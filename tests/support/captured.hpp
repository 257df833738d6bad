// The lines that a piece of code sends to the terminal and to the log, taken
// in the test process instead of written to the files.
#pragma once

#include <string>

#include "session/units.hpp"

namespace zefrin::test {

template <class Write>
units::Capture captured(Write write) {
    units::Capture text;
    units::capture(&text);
    write();
    units::capture(nullptr);
    return text;
}

// A report line set apart between two lines of asterisks, as warnings are.
inline std::string starred(const std::string& line) {
    const std::string stars = " " + std::string(79, '*') + "\n";
    return stars + line + "\n" + stars;
}

}  // namespace zefrin::test
