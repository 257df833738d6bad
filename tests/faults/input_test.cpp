// Hostile input: the end of input at every prompt, lines of a megabyte, NUL
// bytes, tabs and bytes beyond ASCII, lines that cross the reader's buffer,
// and values at the edges of single precision.
#include <gtest/gtest.h>
#include <signal.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "expect.hpp"
#include "launch.hpp"
#include "run.hpp"
#include "session/reader.hpp"

namespace zefrin::faults {
namespace {

const std::string blank = "  \n";

// How a run must end and what the log must be afterwards.
struct Ending {
    bool aborts;      // else status 0
    std::string err;  // all of standard error
    int reports;      // copper reports in the log; 0: the older log is kept
};

void expect_run(const test::Result& r, const std::string& older, const std::string& out,
                const Ending& e) {
    EXPECT_FALSE(r.timed_out);
    if (e.aborts) {
        EXPECT_FALSE(r.exited);
        EXPECT_EQ(r.term_signal, SIGABRT);
    } else {
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, 0);
    }
    EXPECT_EQ(r.err, e.err);
    EXPECT_TRUE(same_text(r.out, out));
    if (e.reports == 0)
        EXPECT_TRUE(same_text(r.log, older));
    else
        EXPECT_TRUE(same_text(r.log, copper_log(e.reports)));
}

struct Case {
    const char* name;
    std::string input;
    std::string out;
    Ending end;
};

void run_cases(const std::vector<Case>& cases) {
    const std::string older = older_log(30000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        const test::Result r = test::run(dir, c.input);
        expect_run(r, older, c.out, c.end);
    }
}

std::string fmt_eof(const char* format) {
    return keyboard_diagnostic("fmt", "end of file", format);
}
std::string start_eof(const char* format) {
    return keyboard_diagnostic("read start", "end of file", format);
}
std::string unexpected(const char* format) {
    return keyboard_diagnostic("fmt", "read unexpected character", format);
}

// The end of input at each prompt, after a last line with and without its
// line end: "fmt" when the input ended at a line end, "read start" when the
// previous answer was cut short by it.
TEST(InputEnds, AtEveryPromptWithAndWithoutALastLineEnd) {
    const std::string s1 = blank + p1, s2 = s1 + p2, s3 = s2 + p3;
    run_cases({
        {"nothing at all", "", s1, {true, fmt_eof("(3F10.1)"), 0}},
        {"after answer 1", "\n", s2, {true, fmt_eof("(3F10.1)"), 0}},
        {"inside answer 1", "       1.0", s2, {true, start_eof("(3F10.1)"), 0}},
        {"after answer 2", "\n\n", s3, {true, fmt_eof("(7F10.1)"), 0}},
        {"inside answer 2", "\n ", s3, {true, start_eof("(7F10.1)"), 0}},
        {"after answer 3", "\n\n\n", copper_cycle(), {true, fmt_eof("(A1)"), 1}},
        {"inside answer 3", "\n\n ", copper_cycle(), {true, start_eof("(A1)"), 1}},
        {"after the answer y", "\n\n\ny\n", copper_cycle() + s1, {true, fmt_eof("(3F10.1)"), 1}},
        {"inside the answer y", "\n\n\ny", copper_cycle() + s1, {true, start_eof("(3F10.1)"), 1}},
        {"inside answer 2 of the second cycle",
         "\n\n\ny\n\n ",
         copper_cycle() + s3,
         {true, start_eof("(7F10.1)"), 1}},
        {"the answer N without its line end ends normally",
         "\n\n\nN",
         copper_cycle(),
         {false, "", 1}},
        {"a bad answer 1 without its line end ends normally", "q", s1, {false, "", 0}},
        {"a bad answer 2 without its line end is a bad entry",
         "\nq",
         s2,
         {true, unexpected("(3F10.1)"), 0}},
    });
}

std::string spaces(std::size_t n) {
    return std::string(n, ' ');
}

// A megabyte of bytes that are never part of a number.
std::string junk(std::size_t n) {
    const char bytes[] = {'\0', '\t', 'x', '\xff', '\xc3', '\xa9', ',', '\r', 'E', '.'};
    std::string s(n, ' ');
    for (std::size_t i = 0; i < n; ++i) s[i] = bytes[i % sizeof bytes];
    return s;
}

constexpr std::size_t megabyte = 1 << 20;

// Bytes that are no part of a number: inside a field they make a bad entry,
// after the last field of the prompt they are read and thrown away.
TEST(InputBytes, InsideAFieldBadAfterTheLastFieldIgnored) {
    const std::string s1 = blank + p1, s2 = s1 + p2, s3 = s2 + p3;
    const std::string copper_fields = "      0.01      29.0       1.0";
    using namespace std::string_literals;
    run_cases({
        {"NUL in field 1 at prompt 1", "  \0 1.0\n"s, s1, {false, "", 0}},
        {"NUL after the three fields of prompt 1",
         spaces(30) + "\0\n\n\nn\n"s,
         copper_cycle(),
         {false, "", 1}},
        {"tab in field 1 at prompt 2", "\n\t\n", s2, {true, unexpected("(3F10.1)"), 0}},
        {"tab after the three fields of prompt 2",
         "\n" + spaces(30) + "\t\n\nn\n",
         copper_cycle(),
         {false, "", 1}},
        {"non-ASCII in field 7 at prompt 3",
         "\n\n" + spaces(64) + "\xc3\xa9\n",
         s3,
         {true, unexpected("(7F10.1)"), 0}},
        {"non-ASCII from column 71 at prompt 3",
         "\n\n" + spaces(70) + "\xc3\xa9\xff\nn\n",
         copper_cycle(),
         {false, "", 1}},
        {"a carriage return in column 1 at prompt 1", "\r\n\n\nn\n", s1, {false, "", 0}},
        {"a carriage return after the answer n", "\n\n\nn\r\n", copper_cycle(), {false, "", 1}},
        {"an answer that begins with NUL continues",
         "\n\n\n\0n\n\n\n\nn\n"s,
         copper_cycle() + copper_cycle(),
         {false, "", 2}},
        {"a megabyte of blanks at prompt 1",
         spaces(megabyte) + "\n\n\nn\n",
         copper_cycle(),
         {false, "", 1}},
        {"a megabyte of junk after the seven fields of prompt 3",
         "\n\n" + copper_fields + spaces(40) + junk(megabyte) + "\nn\n",
         copper_cycle(),
         {false, "", 1}},
        {"a megabyte answer to the question",
         "\n\n\ny" + junk(megabyte) + "\n\n\n\nn\n",
         copper_cycle() + copper_cycle(),
         {false, "", 2}},
        {"a megabyte line with a bad byte in field 1 at prompt 2",
         "\nx" + spaces(megabyte) + "\n",
         s2,
         {true, unexpected("(3F10.1)"), 0}},
        {"a megabyte of blanks without a line end at prompt 3",
         "\n\n" + spaces(megabyte),
         copper_cycle(),
         {true, start_eof("(A1)"), 1}},
        {"a 12-character number at prompt 1 is cut into two fields",
         "3.4028235E38\n",
         s1,
         {false, "", 0}},
        {"a 12-character number in field 2 at prompt 2",
         "\n" + spaces(10) + "3.4028236E38\n",
         s2,
         {true, unexpected("(3F10.1)"), 0}},
    });
}

// Lines whose end, or whose fields, fall on the boundary of the reader's
// 64 KiB reads: standard input is a file, so every read but the last is full.
TEST(InputBytes, LinesAcrossTheReadBuffer) {
    const std::string density_2 =
        " 100.00 % of length =  1.0000 cm covered by material with density =  2.000 g/cm3\n";
    struct Row {
        const char* name;
        std::size_t first;   // blanks of answer 1
        std::size_t second;  // length of answer 2, whose field 2 reads 2.0
    };
    const Row rows[] = {
        {"line end of answer 2 at the last byte of the first read", 0, 65534},
        {"line end of answer 2 at the first byte of the second read", 0, 65535},
        {"line end of answer 2 at the second byte of the second read", 0, 65536},
        {"line end of answer 1 at the last byte of the first read", 65535, 20},
        {"field 2 of answer 2 across the two reads", 65520, 20},
        {"answer 2 beginning the second read", 65535, 20},
        {"answer 1 two reads long", 2 * 65536 + 3, 20},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::Scratch dir;
        std::string second = spaces(10) + "       2.0";
        second += spaces(row.second - second.size());
        dir.write("answers", spaces(row.first) + "\n" + second + "\n\nn\n");
        Launch how;
        how.stdin_file = dir.file("answers");
        const test::Result r = launch(dir, how);
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(count(r.out, p4), 1u);
        EXPECT_NE(r.out.find(density_2), std::string::npos) << "answer 2 was not read as typed";
        const std::string lines = expect_terminal_shape(r.out);
        EXPECT_TRUE(same_text(r.log, "0\n" + lines));
    }
}

// Numbers right-justified in fields of ten columns.
std::string answer(std::initializer_list<const char*> fields) {
    std::string s;
    for (const char* f : fields) s += spaces(10 - std::strlen(f)) + f;
    return s + "\n";
}

// Values at the edges of single precision, from the reader's point of view:
// the float stored for a field (bits compared; either zero is zero).
TEST(InputExtremes, FieldsAtTheEdgesOfSinglePrecision) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    struct Row {
        const char* text;
        float want;
    };
    // Without a typed point the last digit is the first decimal, so "E33"
    // after seven digits scales 340282.3 to 3.402823e38. Halfway between the
    // largest float and 2^128 is 3.40282357e38: beyond it the value is inf.
    const Row rows[] = {
        {"3402823E33", 0x1.fffffap127f},   // 3.402823e38, below the largest float
        {"3402824E33", inf},               // 3.402824e38, past the halfway point
        {"-3402824E33", -inf},             // the same, negative: eleven characters
        {"3.40282E38", 0x1.ffffdcp127f},   // 3.40282e38
        {"3.40283E38", inf},               // 3.40283e38 rounds up beyond the largest float
        {"1.4E-45", 0x1p-149f},            // the smallest subnormal, 1.401298e-45
        {"7.006E-46", 0.0f},               // below half the smallest subnormal: zero
        {"7.007E-46", 0x1p-149f},          // above it: the smallest subnormal
        {"1.1755E-38", 0x1.00005p-126f},   // just above the smallest normal
        {"1.1754E-38", 0x1.fff57cp-127f},  // just below it: subnormal
        {"1E99", inf},                     // 0.1e99
        {"1E-99", 0.0f},                   // 0.1e-99
        {"-1E-99", -0.0f},
        {"1E38", 0x1.e17b84p122f},   // 0.1e38 = 1e37
        {"1.E38", 0x1.2ced32p126f},  // 1e38
        {"1E99999999", inf},
        {"1E-99999999", 0.0f},
        {"99999999E9", 0x1.1c3794p53f},  // 9999999.9e9
        {"1D5", 10000.0f},               // 0.1e5
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const std::size_t n = std::strlen(row.text);
        float got = 12345.0f;
        const bool ok = reader::field(row.text, n, got);
        if (n > 10) {
            EXPECT_FALSE(ok) << "a field has ten characters at most";
            continue;
        }
        ASSERT_TRUE(ok);
        if (row.want == 0.0f) {
            EXPECT_EQ(got, 0.0f);
        } else {
            std::uint32_t a, b;
            std::memcpy(&a, &got, 4);
            std::memcpy(&b, &row.want, 4);
            EXPECT_EQ(a, b) << got << " instead of " << row.want;
        }
    }
}

// The same values through a whole session: asterisks where a value does not
// fit its field, never "inf" or "nan"; a value that rounds to zero takes the
// remembered one; the log holds the terminal's report lines.
TEST(InputExtremes, ReportsShowAsterisksNeverInfOrNan) {
    const std::string pct = " 100.00 % of length =  1.0000 cm covered by material with density =";
    const std::string energy = " Entr. energy =  589.7 MeV, Composition of material:  Z1 =";
    struct Row {
        const char* name;
        std::string input;               // answers, ending with n
        std::vector<std::string> lines;  // report lines that must be there
        int reports;
    };
    const std::string empty = "\n";
    const std::string next = "y\n";
    const Row rows[] = {
        {"density 1E99 is inf",
         empty + answer({"", "1E99"}) + empty + "n\n",
         {pct + "******* g/cm3\n"},
         1},
        {"density 3402824E33 is inf",
         empty + answer({"", "3402824E33"}) + empty + "n\n",
         {pct + "******* g/cm3\n"},
         1},
        {"density 1.4E-45 is not zero",
         empty + answer({"", "1.4E-45"}) + empty + "n\n",
         {pct + "  0.000 g/cm3\n"},
         1},
        {"density 7.007E-46 rounds to the smallest subnormal",
         empty + answer({"", "7.007E-46"}) + empty + "n\n",
         {pct + "  0.000 g/cm3\n"},
         1},
        {"a subnormal density is remembered",
         empty + answer({"", "1.4E-45"}) + empty + next + "\n\n\nn\n",
         {pct + "  0.000 g/cm3\n"},
         2},
        {"momentum 1E99: entrance energy inf",
         empty + answer({"1E99"}) + empty + "n\n",
         {" Entr. energy =******* MeV, Composition of material:  Z1 = 29.0,  prop1 = 1.0000\n"},
         1},
        {"momentum 3402823E33: finite, still too wide",
         empty + answer({"3402823E33"}) + empty + "n\n",
         {" Entr. energy =******* MeV, Composition of material:  Z1 = 29.0,  prop1 = 1.0000\n"},
         1},
        {"length 1E99, and remembered in the next report",
         empty + empty + answer({"1E99"}) + next + "\n\n\nn\n",
         {" 100.00 % of length =******** cm covered by material with density =  8.960 g/cm3\n"},
         2},
        {"fraction 3402823E33: finite, a hundred times it is inf",
         empty + answer({"", "", "3402823E33"}) + empty + "n\n",
         {"******* % of length =  1.0000 cm covered by material with density =  8.960 g/cm3\n"},
         1},
        {"Z1 1E99 has no row in the tables",
         empty + empty + answer({"", "1E99"}) + "n\n",
         {energy + "*****,  prop1 = 1.0000\n",
          " Z1 =***** has no row in the element tables (Z from 1 to 92): left out .........\n"},
         1},
        {"mass 1.4E-45: the electron's radiative loss overflows",
         answer({"1.4E-45"}) + empty + empty + "n\n",
         {" Entr. energy = 1206.0 MeV, Composition of material:  Z1 = 29.0,  prop1 = 1.0000\n",
          " Radiative energy loss =******* MeV ............................................\n"},
         1},
        {"cross sections at both infinities",
         answer({"", "1E99", "-1E99"}) + empty + empty + "n\n",
         {},
         1},
        {"a negative infinite mass and momentum",
         answer({"-1E99"}) + answer({"-1E99"}) + empty + "n\n",
         {},
         1},
        {"proportion 1.4E-45 takes part",
         empty + empty + answer({"", "", "1.4E-45"}) + "n\n",
         {energy + " 29.0,  prop1 = 0.0000\n"},
         1},
        {"every value inf",
         answer({"1E99", "1E99", "1E99"}) + answer({"1E99", "1E99", "1E99"}) +
             answer({"1E99", "1E99", "1E99", "1E99", "1E99", "1E99", "1E99"}) + next + "\n\n\nn\n",
         {},
         2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::Scratch dir;
        const test::Result r = test::run(dir, row.input);
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(count(r.out, p4), static_cast<std::size_t>(row.reports));
        // A remembered value shows in every report.
        for (const std::string& line : row.lines)
            EXPECT_EQ(count(r.out, line), static_cast<std::size_t>(row.reports)) << line;
        const std::string lines = expect_terminal_shape(r.out);
        expect_log_shape(r.log);
        // The log: each report's page-control line, then the lines shown.
        std::string log_lines;
        for (std::size_t q = 0; q < r.log.size();) {
            const std::size_t nl = r.log.find('\n', q);
            const std::string line = r.log.substr(q, nl - q);
            if (line != "0" && line != "1")
                log_lines += line + "\n";
            q = nl + 1;
        }
        EXPECT_EQ(log_lines, lines) << "the log does not hold the terminal's lines";
        EXPECT_EQ(count("\n" + r.log, "\n0\n"), static_cast<std::size_t>(row.reports));
    }
}

// Values that read as zero, of either sign, take the remembered (here the
// built-in) values: the report is the copper report, byte for byte.
TEST(InputExtremes, ValuesThatRoundToZeroAreRemembered) {
    const std::vector<Case> cases = {
        {"density 7.006E-46",
         "\n" + answer({"", "7.006E-46"}) + "\nn\n",
         copper_cycle(),
         {false, "", 1}},
        {"every field 1E-99",
         answer({"1E-99", "1E-99", "1E-99"}) + answer({"1E-99", "1E-99", "1E-99"}) +
             answer({"1E-99", "1E-99", "1E-99", "1E-99", "1E-99", "1E-99", "1E-99"}) + "n\n",
         copper_cycle(),
         {false, "", 1}},
        {"every field -1E-99",
         answer({"-1E-99", "-1E-99", "-1E-99"}) + answer({"-1E-99", "-1E-99", "-1E-99"}) +
             answer({"-1E-99", "-1E-99", "-1E-99", "-1E-99", "-1E-99", "-1E-99", "-1E-99"}) + "n\n",
         copper_cycle(),
         {false, "", 1}},
        {"every field a zero of some form",
         answer({"-0.0", "1E-9999999", "-."}) + answer({"+", ".", "-0E5"}) +
             answer({"0", "-0", "+0.", "0D9", "1E-9999999", "-1E-999999", "0.0E-0"}) + "n\n",
         copper_cycle(),
         {false, "", 1}},
    };
    run_cases(cases);
}

}  // namespace
}  // namespace zefrin::faults
