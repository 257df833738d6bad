// The dialogue's own 80-column report for a case of at most three elements.
#pragma once

#include <string>

#include "table/evaluate.hpp"

namespace zefrin::table {

// Appends to out the report lines that the dialogue writes to the terminal
// for the inputs of c (no prompts). c has 1 to 3 elements.
void report(const Case& c, std::string& out);

}  // namespace zefrin::table
