// What the dialogue must show, built from its rules: prompts, the report for
// the built-in first values, page control of the log, the diagnostic lines.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace zefrin::faults {

inline constexpr char p1[] = "Enter: mass (GeV/c2), siga (mb), sige (mb) ";
inline constexpr char p2[] = "Enter: p0 (GeV/c), rho (g/cm3), frac ( <=1 ) ";
inline constexpr char p3[] = "Enter: length (m), Z1, prop1, Z2, prop2, Z3, prop3 ";
inline constexpr char p4[] = " continue [Y/N] ? ";

// The report for the built-in first values (a proton of 1.206 GeV/c through
// 1 cm of copper), as the worked example gives it: 17 lines.
const std::string& copper();

// One whole cycle with empty answers on the terminal: the blank line, the
// three prompts, the copper report, the question.
std::string copper_cycle();

// The log after n copper reports: each opened by its page-control line, "1"
// before reports 4, 7, 10, ... and "0" before the others.
std::string copper_log(int n);

// The answers of n cycles with empty answers, each continued with "y".
std::string empty_cycles(int n);

// The four-line diagnostic of the keyboard (unit 5).
std::string keyboard_diagnostic(const std::string& context, const std::string& message,
                                const std::string& format);

// An older log of the given size at least: lines of '~', which no report holds.
std::string older_log(std::size_t at_least);

// Number of times needle stands in hay.
std::size_t count(const std::string& hay, const std::string& needle);

// True when part is full's beginning and ends at a line end (or is empty).
bool line_prefix(const std::string& part, const std::string& full);

// Compares two texts that may be megabytes long: on a difference, says the
// sizes and shows where they part, not the whole texts.
::testing::AssertionResult same_text(const std::string& got, const std::string& want);

// Checks the shape of a log with gtest: complete lines only, each 80
// characters or a page-control line "0"/"1"; nothing of an older log; no
// "nan" or "inf".
void expect_log_shape(const std::string& log);

// Checks the shape of a terminal text with gtest: with the prompts taken
// out, complete lines of 80 characters or the line of two blanks; no "nan"
// or "inf". Returns the report lines (without the blank lines).
std::string expect_terminal_shape(const std::string& out);

}  // namespace zefrin::faults
