// The dialogue on the real executable: prompts, remembered values, answers to
// the question, bad entries, page control and the cut of an older log. The
// faults of the input/output layer (end of input, hostile bytes, the log
// refused or failing, signals) are in tests/faults.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "expect.hpp"
#include "run.hpp"

namespace zefrin::test {
namespace {

using namespace std::string_literals;

const std::string s1 = blank + p1, s2 = s1 + p2, s3 = s2 + p3;

// The kinetic energy of the built-in 1.206 GeV/c proton is
// sqrt(1.206^2 + 0.93828^2) - 0.93828 GeV = 589.7 MeV; 1 cm of copper.
TEST(Dialogue, FirstReportFromTheBuiltInValues) {
    Scratch dir;
    const Result r = run(dir, empty_answers + "n\n");
    expect_exit(r, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(same_text(r.out, copper_cycle()));
    EXPECT_TRUE(same_text(r.log, copper_log(1)));
}

// The reports of a log, each as its lines after the page-control line.
std::vector<std::vector<std::string>> reports(const std::string& log) {
    std::vector<std::vector<std::string>> r;
    std::size_t from = 0;
    for (std::size_t nl; (nl = log.find('\n', from)) != std::string::npos; from = nl + 1) {
        const std::string l = log.substr(from, nl - from);
        if (l == "0" || l == "1")
            r.emplace_back();
        else if (!r.empty())
            r.back().push_back(l);
    }
    return r;
}

TEST(Dialogue, RemembersEveryValueOfTheLastReport) {
    const std::string input =
        // 1: length 0.02 m; Z1 13 with 0.5; Z2 29 with 0.5.
        "\n\n" + answer({"0.02", "13.", "0.5", "29.", "0.5"}) + "y\n" +
        // 2: a new particle and material; every entry of prompt 3 a typed 0.
        "0.000511,,\n" + "2.,2.699,0.5\n" + "0,0,0,0,0,0,0\n" + "y\n" +
        // 3: all empty: the report of 2 again.
        empty_answers + "y\n" +
        // 4: "29" in columns 11-20 is Z1 2.9; prop2 -1 drops Z2; a negative
        // zero and a value below the smallest float are zero entries too.
        "\n" + answer({"", "-0.", "1E-50"}) + answer({"", "29", "", "", "-1."}) + "y\n" +
        // 5: all empty: Z1 stays 2.9, and still no Z2.
        empty_answers + "n\n";
    Scratch dir;
    const Result r = run(dir, input);
    expect_exit(r, 0);
    EXPECT_EQ(r.err, "");
    expect_log_mirrors_terminal(r);
    const auto rep = reports(r.log);
    ASSERT_EQ(rep.size(), 5u);
    // Header lines of each report: lengths and density; the composition
    // without the energy (from column 23 on); the Z2 line, or "" for none.
    struct Expect {
        const char *header, *composition, *z2;
    };
    // clang-format off
    const char* const copper_2cm = " 100.00 % of length =  2.0000 cm covered by material with density =  8.960 g/cm3";
    const char* const half_al_2cm = "  50.00 % of length =  2.0000 cm covered by material with density =  2.699 g/cm3";
    const Expect want[] = {
        {copper_2cm,  " MeV, Composition of material:  Z1 = 13.0,  prop1 = 0.5000", "  Z2 = 29.0,  prop2 = 0.5000"},
        {half_al_2cm, " MeV, Composition of material:  Z1 = 13.0,  prop1 = 0.5000", "  Z2 = 29.0,  prop2 = 0.5000"},
        {half_al_2cm, " MeV, Composition of material:  Z1 = 13.0,  prop1 = 0.5000", "  Z2 = 29.0,  prop2 = 0.5000"},
        {half_al_2cm, " MeV, Composition of material:  Z1 =  2.9,  prop1 = 0.5000", ""},
        {half_al_2cm, " MeV, Composition of material:  Z1 =  2.9,  prop1 = 0.5000", ""},
    };
    // clang-format on
    const std::string dots51 = " " + std::string(51, '.');
    for (std::size_t k = 0; k < rep.size(); ++k) {
        SCOPED_TRACE(testing::Message() << "report " << k + 1);
        ASSERT_GE(rep[k].size(), 4u);
        EXPECT_EQ(rep[k][1], want[k].header);
        EXPECT_EQ(rep[k][2].substr(22), want[k].composition);
        EXPECT_EQ(rep[k][3], *want[k].z2 ? dots51 + want[k].z2 : " " + std::string(79, '.'));
    }
    // The electron of report 2 from a typed mass; report 3 inherits all of it.
    EXPECT_EQ(rep[1], rep[2]);
    EXPECT_EQ(rep[3], rep[4]);
}

// Sixty-one reports: more than the log takes between two writes to the file;
// a new page ("1") before the reports whose count of earlier reports is a
// positive multiple of 3, no page control on the terminal.
TEST(Dialogue, PageControlAndALongLog) {
    Scratch dir;
    const Result r = run(dir, empty_cycles(60) + empty_answers + "n\n");
    expect_exit(r, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(same_text(r.out, copper_cycles(61)));
    EXPECT_TRUE(same_text(r.log, copper_log(61)));
    // The rule spelled out for the first four reports.
    EXPECT_EQ(r.log.substr(0, 4 * (2 + copper().size())),
              "0\n" + copper() + "0\n" + copper() + "0\n" + copper() + "1\n" + copper());
}

// Only the first character of the answer counts; "n" alone is a last line
// without its line end. After a continuing answer, a bad first entry ends
// the session quietly. The older log is cut after the one report.
TEST(Dialogue, ContinuationAnswers) {
    struct Row {
        std::string answer;
        bool ends;
    };
    // clang-format off
    const Row rows[] = {
        {"N\n", true},  {"n\n", true},   {"no\n", true}, {"No way\n", true},
        {"n", true},    {" n\n", false}, {"y\n", false}, {"Y\n", false},
        {"\n", false},  {"q\n", false},  {"\t\n", false},
    };
    // clang-format on
    const std::string older = older_log(16000);
    for (const Row& row : rows) {
        SCOPED_TRACE("answer \"" + row.answer + "\"");
        Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        const bool partial = row.answer.back() != '\n';
        const Result r = run(dir, empty_answers + row.answer + (partial ? "" : "q\n"));
        expect_run(r, older, row.ends ? copper_cycle() : copper_cycle() + s1, {false, "", 1});
    }
}

// A bad entry at prompt 1 ends the session quietly, with status 0; the older
// log is left as it was.
TEST(Dialogue, BadFirstEntryEndsTheSessionQuietly) {
    // clang-format off
    run_cases({
        {"q",           "q\n",       s1, {false, "", 0}},
        {"1.2.3",       "1.2.3\n",   s1, {false, "", 0}},
        {"1E",          "1E\n",      s1, {false, "", 0}},
        {"a tab",       "\t\n",      s1, {false, "", 0}},
        {"1 and NUL",   "1\0\n"s,    s1, {false, "", 0}},
        {"15-",         "15-\n",     s1, {false, "", 0}},
    });
    // clang-format on
    Scratch dir;
    const Result r = run(dir, "\t\n");
    expect_exit(r, 0);
    EXPECT_TRUE(r.log_exists) << "an absent log is created empty";
    EXPECT_EQ(r.log, "");
}

// A bad entry at prompt 2 or 3 stops the run with the diagnostic and the
// abort signal; the log holds the reports before it.
TEST(Dialogue, BadEntryAtPromptTwoOrThreeStopsTheRun) {
    // clang-format off
    run_cases({
        {"q at prompt 2",                        "\nq\n",                                s2,                    {true, unexpected("(3F10.1)"), 0}},
        {"1.2.3 at prompt 2",                    "\n1.2.3\n",                            s2,                    {true, unexpected("(3F10.1)"), 0}},
        {"q at prompt 3",                        "\n\nq\n",                              s3,                    {true, unexpected("(7F10.1)"), 0}},
        {"a tab in the last column of prompt 3", "\n\n" + std::string(69, ' ') + "\t\n", s3,                    {true, unexpected("(7F10.1)"), 0}},
        {"1E+ at prompt 3 of the second cycle",  empty_cycles(1) + "\n\n1E+\n",          copper_cycle() + s3,   {true, unexpected("(7F10.1)"), 1}},
        {"E5 at prompt 2 of the third cycle",    empty_cycles(2) + "\nE5\n",             copper_cycles(2) + s2, {true, unexpected("(3F10.1)"), 2}},
    });
    // clang-format on
}

TEST(DialogueLog, OlderLongerLogIsCutToThisSession) {
    Scratch dir;
    dir.write("ZEFRIN.LOG", older_log(32000));
    const Result r = run(dir, empty_cycles(2) + empty_answers + "n\n");
    expect_exit(r, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(same_text(r.log, copper_log(3)));
}

// A run killed outright leaves either the older log or a part of this
// session's lines, never this session's lines followed by the older tail.
TEST(DialogueLog, KilledOutright) {
    struct Row {
        std::string input;
        const char* after;
        bool older_kept;
    };
    const Row rows[] = {{"\n", p2, true}, {empty_answers, p4, false}};
    const std::string older = older_log(16000);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.after);
        Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        Options o;
        o.input = row.input;
        o.steps = {await(row.after), send(SIGKILL)};
        o.keep_input_open = true;  // the run waits at the prompt until it is killed
        const Result r = run(dir, o);
        expect_killed(r, SIGKILL);
        if (row.older_kept)
            EXPECT_TRUE(same_text(r.log, older));
        else
            EXPECT_EQ(copper_log(1).compare(0, r.log.size(), r.log), 0)
                << "not a start of this session's log";
    }
}

}  // namespace
}  // namespace zefrin::test
