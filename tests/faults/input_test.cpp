// Hostile input: the end of input at every prompt, lines of a megabyte, NUL
// bytes, tabs and bytes beyond ASCII, lines that cross the reader's buffer,
// and values at the edges of single precision.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expect.hpp"
#include "run.hpp"

namespace zefrin::test {
namespace {

using namespace std::string_literals;

const std::string s1 = blank + p1, s2 = s1 + p2, s3 = s2 + p3;

// The end of input at each prompt, after a last line with and without its
// line end: "fmt" when the input ended at a line end, "read start" when the
// previous answer was cut short by it.
TEST(InputEnds, AtEveryPromptWithAndWithoutALastLineEnd) {
    // clang-format off
    run_cases({
        {"nothing at all",                                     "",             s1,                  {true, fmt_eof("(3F10.1)"), 0}},
        {"after answer 1",                                     "\n",           s2,                  {true, fmt_eof("(3F10.1)"), 0}},
        {"inside answer 1",                                    "       1.0",   s2,                  {true, start_eof("(3F10.1)"), 0}},
        {"inside answer 1, a typed point last",                "1.",           s2,                  {true, start_eof("(3F10.1)"), 0}},
        {"after answer 2",                                     "\n\n",         s3,                  {true, fmt_eof("(7F10.1)"), 0}},
        {"inside answer 2",                                    "\n ",          s3,                  {true, start_eof("(7F10.1)"), 0}},
        {"inside answer 2, a typed point last",                "\n1.",         s3,                  {true, start_eof("(7F10.1)"), 0}},
        {"after answer 3",                                     "\n\n\n",       copper_cycle(),      {true, fmt_eof("(A1)"), 1}},
        {"inside answer 3",                                    "\n\n ",        copper_cycle(),      {true, start_eof("(A1)"), 1}},
        {"after the answer y",                                 "\n\n\ny\n",    copper_cycle() + s1, {true, fmt_eof("(3F10.1)"), 1}},
        {"inside the answer y",                                "\n\n\ny",      copper_cycle() + s1, {true, start_eof("(3F10.1)"), 1}},
        {"inside answer 2 of the second cycle",                "\n\n\ny\n\n ", copper_cycle() + s3, {true, start_eof("(7F10.1)"), 1}},
        {"the answer N without its line end ends normally",    "\n\n\nN",      copper_cycle(),      {false, "", 1}},
        {"a bad answer 1 without its line end ends normally",  "q",            s1,                  {false, "", 0}},
        {"a bad answer 2 without its line end is a bad entry", "\nq",          s2,                  {true, unexpected("(3F10.1)"), 0}},
    });
    // clang-format on
}

// A read that fails is no end of input. Regression: standard input that is
// a directory read as an empty input. Now the diagnostic says "fmt" and the
// system's message, also at the first prompt (a failed read is no bad
// entry), and the run stops through the abort.
TEST(InputFails, TheDiagnosticNamesTheSystemsMessage) {
    const std::string older = older_log(3000);
    Scratch dir;
    dir.write("ZEFRIN.LOG", older);
    Options o;
    o.stdin_file = dir.path();
    expect_run(run(dir, o), older, s1,
               {true, keyboard_diagnostic("fmt", "Is a directory", "(3F10.1)"), 0});
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
    const std::string copper_fields = "      0.01      29.0       1.0";
    const std::string two = copper_cycles(2);
    // clang-format off
    run_cases({
        {"NUL in field 1 at prompt 1",                  "  \0 1.0\n"s,                          s1,             {false, "", 0}},
        {"NUL after the three fields of prompt 1",      spaces(30) + "\0\n\n\nn\n"s,            copper_cycle(), {false, "", 1}},
        {"tab in field 1 at prompt 2",                  "\n\t\n",                               s2,             {true, unexpected("(3F10.1)"), 0}},
        {"tab after the three fields of prompt 2",      "\n" + spaces(30) + "\t\n\nn\n",        copper_cycle(), {false, "", 1}},
        {"non-ASCII in field 7 at prompt 3",            "\n\n" + spaces(64) + "\xc3\xa9\n",     s3,             {true, unexpected("(7F10.1)"), 0}},
        {"non-ASCII from column 71 at prompt 3",        "\n\n" + spaces(70) + "\xc3\xa9\xff\nn\n",
                                                                                                copper_cycle(), {false, "", 1}},
        {"a carriage return in column 1 at prompt 1",   "\r\n\n\nn\n",                          s1,             {false, "", 0}},
        {"a carriage return after the answer n",        "\n\n\nn\r\n",                          copper_cycle(), {false, "", 1}},
        {"an answer that begins with NUL continues",    "\n\n\n\0n\n\n\n\nn\n"s,                two,            {false, "", 2}},
        {"a megabyte of blanks at prompt 1",            spaces(megabyte) + "\n\n\nn\n",         copper_cycle(), {false, "", 1}},
        {"a megabyte of junk after the seven fields of prompt 3",
                                                        "\n\n" + copper_fields + spaces(40) + junk(megabyte) + "\nn\n",
                                                                                                copper_cycle(), {false, "", 1}},
        {"a megabyte answer to the question",           "\n\n\ny" + junk(megabyte) + "\n\n\n\nn\n",
                                                                                                two,            {false, "", 2}},
        {"a megabyte line with a bad byte in field 1 at prompt 2",
                                                        "\nx" + spaces(megabyte) + "\n",        s2,             {true, unexpected("(3F10.1)"), 0}},
        {"a megabyte of blanks without a line end at prompt 3",
                                                        "\n\n" + spaces(megabyte),              copper_cycle(), {true, start_eof("(A1)"), 1}},
        {"a 12-character number at prompt 1 is cut into two fields",
                                                        "3.4028235E38\n",                       s1,             {false, "", 0}},
        {"a 12-character number in field 2 at prompt 2",
                                                        "\n" + spaces(10) + "3.4028236E38\n",   s2,             {true, unexpected("(3F10.1)"), 0}},
    });
    // clang-format on
}

// Tails of any bytes after the last field of prompts 1 and 3, after fields
// ended by commas, and after the answer n: the session is the one without.
TEST(InputBytes, TailsAfterTheLastFieldChangeNothing) {
    const std::string tail = "\t\r\xff\x01"s + "\0"s + std::string(100000, 'z');
    Scratch a, b;
    const Result r = run(a, "0.000511,-5.,1." + spaces(20) + tail + "\n\n" + spaces(70) + tail +
                                "\nn" + tail + "\n");
    const Result want = run(b, "0.000511,-5.,1.\n\n\nn\n");
    expect_exit(r, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, want.out);
    EXPECT_EQ(r.log, want.log);
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
    // clang-format off
    const Row rows[] = {
        {"line end of answer 2 at the last byte of the first read",    0,             65534},
        {"line end of answer 2 at the first byte of the second read",  0,             65535},
        {"line end of answer 2 at the second byte of the second read", 0,             65536},
        {"line end of answer 1 at the last byte of the first read",    65535,         20},
        {"field 2 of answer 2 across the two reads",                   65520,         20},
        {"answer 2 beginning the second read",                         65535,         20},
        {"answer 1 two reads long",                                    2 * 65536 + 3, 20},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scratch dir;
        std::string second = spaces(10) + "       2.0";
        second += spaces(row.second - second.size());
        dir.write("answers", spaces(row.first) + "\n" + second + "\n\nn\n");
        Options o;
        o.stdin_file = dir.file("answers");
        const Result r = run(dir, o);
        expect_exit(r, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(count(r.out, p4), 1u);
        EXPECT_NE(r.out.find(density_2), std::string::npos) << "answer 2 was not read as typed";
        const std::string lines = expect_terminal_shape(r.out);
        EXPECT_TRUE(same_text(r.log, "0\n" + lines));
    }
}

// Values at the edges of single precision through a whole session (the
// reader alone: tests/session/reader_test.cpp): asterisks where a value does
// not fit its field, never "inf" or "nan"; a value that rounds to zero takes
// the remembered one; the log holds the terminal's report lines.
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
    // clang-format off
    const Row rows[] = {
        {"density 1E99 is inf",
         empty + answer({"", "1E99"}) + empty + "n\n",                 {pct + "******* g/cm3\n"}, 1},
        {"density 3402824E33 is inf",
         empty + answer({"", "3402824E33"}) + empty + "n\n",           {pct + "******* g/cm3\n"}, 1},
        {"density 1.4E-45 is not zero",
         empty + answer({"", "1.4E-45"}) + empty + "n\n",              {pct + "  0.000 g/cm3\n"}, 1},
        {"density 7.007E-46 rounds to the smallest subnormal",
         empty + answer({"", "7.007E-46"}) + empty + "n\n",            {pct + "  0.000 g/cm3\n"}, 1},
        {"a subnormal density is remembered",
         empty + answer({"", "1.4E-45"}) + empty + next + "\n\n\nn\n", {pct + "  0.000 g/cm3\n"}, 2},
        {"momentum 1E99: entrance energy inf",
         empty + answer({"1E99"}) + empty + "n\n",
         {" Entr. energy =******* MeV, Composition of material:  Z1 = 29.0,  prop1 = 1.0000\n"}, 1},
        {"momentum 3402823E33: finite, still too wide",
         empty + answer({"3402823E33"}) + empty + "n\n",
         {" Entr. energy =******* MeV, Composition of material:  Z1 = 29.0,  prop1 = 1.0000\n"}, 1},
        {"length 1E99, and remembered in the next report",
         empty + empty + answer({"1E99"}) + next + "\n\n\nn\n",
         {" 100.00 % of length =******** cm covered by material with density =  8.960 g/cm3\n"}, 2},
        {"fraction 3402823E33: finite, a hundred times it is inf",
         empty + answer({"", "", "3402823E33"}) + empty + "n\n",
         {"******* % of length =  1.0000 cm covered by material with density =  8.960 g/cm3\n"}, 1},
        {"Z1 1E99 has no row in the tables",
         empty + empty + answer({"", "1E99"}) + "n\n",
         {energy + "*****,  prop1 = 1.0000\n",
          " Z1 =***** has no row in the element tables (Z from 1 to 92): left out .........\n"}, 1},
        {"mass 1.4E-45: the electron's radiative loss overflows",
         answer({"1.4E-45"}) + empty + empty + "n\n",
         {" Entr. energy = 1206.0 MeV, Composition of material:  Z1 = 29.0,  prop1 = 1.0000\n",
          " Radiative energy loss =******* MeV ............................................\n"}, 1},
        {"cross sections at both infinities",
         answer({"", "1E99", "-1E99"}) + empty + empty + "n\n",        {}, 1},
        {"a negative infinite mass and momentum",
         answer({"-1E99"}) + answer({"-1E99"}) + empty + "n\n",        {}, 1},
        {"proportion 1.4E-45 takes part",
         empty + empty + answer({"", "", "1.4E-45"}) + "n\n",          {energy + " 29.0,  prop1 = 0.0000\n"}, 1},
        {"every value inf",
         answer(std::vector<std::string>(3, "1E99")) + answer(std::vector<std::string>(3, "1E99")) +
             answer(std::vector<std::string>(7, "1E99")) + next + "\n\n\nn\n",
                                                                       {}, 2},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scratch dir;
        const Result r = run(dir, row.input);
        expect_exit(r, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(count(r.out, p4), static_cast<std::size_t>(row.reports));
        // A remembered value shows in every report.
        for (const std::string& line : row.lines)
            EXPECT_EQ(count(r.out, line), static_cast<std::size_t>(row.reports)) << line;
        // The log: each report's page-control line, then the lines shown.
        expect_log_mirrors_terminal(r);
        EXPECT_EQ(count("\n" + r.log, "\n0\n"), static_cast<std::size_t>(row.reports));
    }
}

// Values that read as zero, of either sign, take the remembered (here the
// built-in) values: the report is the copper report, byte for byte.
TEST(InputExtremes, ValuesThatRoundToZeroAreRemembered) {
    const auto all = [](const char* v) {
        return answer(std::vector<std::string>(3, v)) + answer(std::vector<std::string>(3, v)) +
               answer(std::vector<std::string>(7, v)) + "n\n";
    };
    // clang-format off
    run_cases({
        {"density 7.006E-46",                "\n" + answer({"", "7.006E-46"}) + "\nn\n", copper_cycle(), {false, "", 1}},
        {"every field 1E-99",                all("1E-99"),                               copper_cycle(), {false, "", 1}},
        {"every field -1E-99",               all("-1E-99"),                              copper_cycle(), {false, "", 1}},
        {"every field a zero of some form",
         answer({"-0.0", "1E-9999999", "-."}) + answer({"+", ".", "-0E5"}) +
             answer({"0", "-0", "+0.", "0D9", "1E-9999999", "-1E-999999", "0.0E-0"}) + "n\n",
                                                                                          copper_cycle(), {false, "", 1}},
    });
    // clang-format on
}

}  // namespace
}  // namespace zefrin::test
