// What the dialogue must show, built from its rules: prompts, the report for
// the built-in first values, page control of the log, the diagnostic lines,
// and the checks of the end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run.hpp"

namespace zefrin::test {

inline constexpr char p1[] = "Enter: mass (GeV/c2), siga (mb), sige (mb) ";
inline constexpr char p2[] = "Enter: p0 (GeV/c), rho (g/cm3), frac ( <=1 ) ";
inline constexpr char p3[] = "Enter: length (m), Z1, prop1, Z2, prop2, Z3, prop3 ";
inline constexpr char p4[] = " continue [Y/N] ? ";
// The line of two blanks that opens every cycle on the terminal.
inline const std::string blank = "  \n";
// The answers of one cycle up to the question, all three empty.
inline const std::string empty_answers = "\n\n\n";

// The report for the built-in first values (a proton of 1.206 GeV/c through
// 1 cm of copper), as the worked example gives it: 17 lines.
const std::string& copper();

// One whole cycle with empty answers on the terminal: the blank line, the
// three prompts, the copper report, the question.
std::string copper_cycle();

// n such cycles.
std::string copper_cycles(int n);

// The log after n copper reports: each opened by its page-control line, "1"
// before reports 4, 7, 10, ... and "0" before the others.
std::string copper_log(int n);

// The answers of n cycles with empty answers, each continued with "y".
std::string empty_cycles(int n);

// s n times.
std::string repeat(const std::string& s, int n);

// An answer line of ten-column fields, each right-justified.
std::string answer(const std::vector<std::string>& fields);

// The four-line diagnostic of the keyboard (unit 5).
std::string keyboard_diagnostic(const std::string& context, const std::string& message,
                                const std::string& format);
// Its three forms: the input ended at a line end, the input ended inside an
// answer, a bad entry; format is the prompt's, e.g. "(3F10.1)".
std::string fmt_eof(const std::string& format);
std::string start_eof(const std::string& format);
std::string unexpected(const std::string& format);

// An older log of the given size at least: lines of '~', which no report holds.
std::string older_log(std::size_t at_least);

// True when part is full's beginning and ends at a line end (or is empty).
bool line_prefix(const std::string& part, const std::string& full);

// Compares two texts that may be megabytes long: on a difference, says the
// sizes and shows where they part, not the whole texts.
::testing::AssertionResult same_text(const std::string& got, const std::string& want);

// The report lines of a terminal text, each with its line end: without the
// prompts and the lines of two blanks (a last line without its end is one).
std::string terminal_lines(const std::string& out);

// The lines of a log without its page-control lines "0" and "1".
std::string log_lines(const std::string& log);

// Checks the shape of a log with gtest: complete lines only, each 80
// characters or a page-control line "0"/"1"; nothing of an older log; no
// "nan" or "inf".
void expect_log_shape(const std::string& log);

// Checks the shape of a terminal text with gtest: with the prompts taken
// out, complete lines of 80 characters or the line of two blanks; no "nan"
// or "inf". Returns its report lines.
std::string expect_terminal_shape(const std::string& out);

// Both shapes, and the log holds the report lines shown on the terminal.
void expect_log_mirrors_terminal(const Result& r);

// The run ended by exit with this status / by this signal, in time.
void expect_exit(const Result& r, int status);
void expect_killed(const Result& r, int sig);

// How a run must end and what the log must be afterwards.
struct Ending {
    bool aborts;      // ends by SIGABRT, else by exit with the status
    std::string err;  // all of standard error
    int reports;      // copper reports in the log; 0: the older log is kept
    int status = 0;
};

// Checks a run that began with the older log in place.
void expect_run(const Result& r, const std::string& older, const std::string& out, const Ending& e);

// A session typed at once, with the whole terminal text it must show.
struct Case {
    const char* name;
    std::string input;
    std::string out;
    Ending end;
};

// Runs each case in a directory holding an older log, and checks it.
void run_cases(const std::vector<Case>& cases);

}  // namespace zefrin::test
