// The dialogue on the real executable: prompts, remembered values, endings,
// the log and its failures, signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "run.hpp"

namespace {

namespace t = zefrin::test;
using namespace std::string_literals;

const std::string cycle = "  \n";
const std::string p1 = "Enter: mass (GeV/c2), siga (mb), sige (mb) ";
const std::string p2 = "Enter: p0 (GeV/c), rho (g/cm3), frac ( <=1 ) ";
const std::string p3 = "Enter: length (m), Z1, prop1, Z2, prop2, Z3, prop3 ";
const std::string p4 = " continue [Y/N] ? ";
const std::string empty_report = "\n\n\n";  // all three answers empty

std::string repeat(const std::string& s, int n) {
    std::string r;
    for (int k = 0; k < n; ++k) r += s;
    return r;
}

// An answer line made of ten-column fields, each right-justified.
std::string fields(const std::vector<std::string>& v) {
    std::string line;
    for (const std::string& f : v) line += std::string(10 - f.size(), ' ') + f;
    return line + "\n";
}

std::vector<std::string> split(const std::string& s) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t nl; (nl = s.find('\n', from)) != std::string::npos; from = nl + 1)
        lines.push_back(s.substr(from, nl - from));
    if (from < s.size())
        lines.push_back(s.substr(from));
    return lines;
}

// The report lines on the terminal: the output without its prompts and
// without the two-blank line that opens every cycle.
std::vector<std::string> report_lines(std::string out) {
    for (const std::string& p : {p1, p2, p3, p4})
        for (std::size_t at; (at = out.find(p)) != std::string::npos;) out.erase(at, p.size());
    std::vector<std::string> lines;
    for (const std::string& l : split(out))
        if (l != "  ")
            lines.push_back(l);
    return lines;
}

bool page_control(const std::string& l) {
    return l == "0" || l == "1";
}

// The page-control lines of a log, in order, as one string of 0s and 1s.
std::string pages(const std::string& log) {
    std::string s;
    for (const std::string& l : split(log))
        if (page_control(l))
            s += l;
    return s;
}

// The reports of a log, each as its lines after the page-control line.
std::vector<std::vector<std::string>> reports(const std::string& log) {
    std::vector<std::vector<std::string>> r;
    for (const std::string& l : split(log)) {
        if (page_control(l))
            r.emplace_back();
        else if (!r.empty())
            r.back().push_back(l);
    }
    return r;
}

// Every report line went to the terminal and then, the same bytes, to the log.
void expect_log_mirrors_terminal(const t::Result& r) {
    std::vector<std::string> body;
    for (const std::string& l : split(r.log))
        if (!page_control(l))
            body.push_back(l);
    EXPECT_EQ(body, report_lines(r.out));
    for (const std::string& l : body) EXPECT_EQ(l.size(), 80u) << l;
    if (!r.log.empty()) {
        EXPECT_EQ(r.log.back(), '\n');
    }
}

void expect_exit(const t::Result& r, int status) {
    EXPECT_FALSE(r.timed_out);
    EXPECT_TRUE(r.exited) << "ended by signal " << r.term_signal;
    EXPECT_EQ(r.status, status);
}

void expect_signal(const t::Result& r, int sig) {
    EXPECT_FALSE(r.timed_out);
    EXPECT_FALSE(r.exited) << "exit status " << r.status;
    EXPECT_EQ(r.term_signal, sig);
}

std::string diagnostic(const std::string& first, const std::string& format) {
    return first + "\napparent state: unit 5 (unnamed)\nlast format: " + format +
           "\nlately reading sequential formatted external IO\n";
}

// A session of n reports with empty answers that ends normally.
const t::Result& normal(int n) {
    static std::map<int, t::Result> made;
    auto it = made.find(n);
    if (it == made.end()) {
        t::Scratch dir;
        const auto r = t::run(dir, repeat(empty_report + "y\n", n - 1) + empty_report + "n\n");
        EXPECT_TRUE(r.exited && r.status == 0 && r.err.empty()) << "reference session failed";
        EXPECT_EQ(reports(r.log).size(), static_cast<std::size_t>(n));
        it = made.emplace(n, r).first;
    }
    return it->second;
}

// An older log, longer than any one report, of lines no report holds.
const std::string older = repeat(std::string(79, 'x') + "\n", 200);

TEST(Dialogue, FirstReportFromTheBuiltInValues) {
    t::Scratch dir;
    const auto r = t::run(dir, empty_report + "n\n");
    expect_exit(r, 0);
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.out.rfind(cycle + p1 + p2 + p3, 0), 0u) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - p4.size()), p4);
    expect_log_mirrors_terminal(r);
    EXPECT_EQ(pages(r.log), "0");
    const auto lines = report_lines(r.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], " " + std::string(79, '.'));
    EXPECT_EQ(lines[1],
              " 100.00 % of length =  1.0000 cm covered by material with density =  8.960 g/cm3");
    // The kinetic energy of a 1.206 GeV/c proton: sqrt(1.206^2 + 0.93828^2) - 0.93828 GeV.
    EXPECT_EQ(lines[2],
              " Entr. energy =  589.7 MeV, Composition of material:  Z1 = 29.0,  prop1 = 1.0000");
    EXPECT_EQ(lines[2].find("  Z1 ="), 52u);
    EXPECT_EQ(lines[3], " " + std::string(79, '.')) << "no Z2 or Z3 line";
}

// Header lines of one report: lengths and density; composition without the energy.
struct Expect {
    const char* header;
    const char* composition;  // from column 23 on
    const char* z2;           // the Z2 line, or "" for none
};

TEST(Dialogue, RemembersEveryValueOfTheLastReport) {
    const std::string dots51 = " " + std::string(51, '.');
    const std::string input =
        // 1: length 0.02 m; Z1 13 with 0.5; Z2 29 with 0.5.
        "\n\n" + fields({"0.02", "13.", "0.5", "29.", "0.5"}) + "y\n" +
        // 2: a new particle and material; every entry of prompt 3 a typed 0.
        "0.000511,,\n" + "2.,2.699,0.5\n" + "0,0,0,0,0,0,0\n" + "y\n" +
        // 3: all empty: the report of 2 again.
        empty_report + "y\n" +
        // 4: "29" in columns 11-20 is Z1 2.9; prop2 -1 drops Z2; a negative
        // zero and a value below the smallest float are zero entries too.
        "\n" + fields({"", "-0.", "1E-50"}) + fields({"", "29", "", "", "-1."}) + "y\n" +
        // 5: all empty: Z1 stays 2.9, and still no Z2.
        empty_report + "n\n";
    t::Scratch dir;
    const auto r = t::run(dir, input);
    expect_exit(r, 0);
    EXPECT_EQ(r.err, "");
    expect_log_mirrors_terminal(r);
    const auto rep = reports(r.log);
    ASSERT_EQ(rep.size(), 5u);
    const Expect want[] = {
        {" 100.00 % of length =  2.0000 cm covered by material with density =  8.960 g/cm3",
         " MeV, Composition of material:  Z1 = 13.0,  prop1 = 0.5000",
         "  Z2 = 29.0,  prop2 = 0.5000"},
        {"  50.00 % of length =  2.0000 cm covered by material with density =  2.699 g/cm3",
         " MeV, Composition of material:  Z1 = 13.0,  prop1 = 0.5000",
         "  Z2 = 29.0,  prop2 = 0.5000"},
        {"  50.00 % of length =  2.0000 cm covered by material with density =  2.699 g/cm3",
         " MeV, Composition of material:  Z1 = 13.0,  prop1 = 0.5000",
         "  Z2 = 29.0,  prop2 = 0.5000"},
        {"  50.00 % of length =  2.0000 cm covered by material with density =  2.699 g/cm3",
         " MeV, Composition of material:  Z1 =  2.9,  prop1 = 0.5000", ""},
        {"  50.00 % of length =  2.0000 cm covered by material with density =  2.699 g/cm3",
         " MeV, Composition of material:  Z1 =  2.9,  prop1 = 0.5000", ""},
    };
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

// Sixty-one reports: more than the log takes between two writes to the file.
TEST(Dialogue, PageControlAndALongLog) {
    const t::Result& r = normal(61);
    const std::string p = pages(r.log);
    EXPECT_EQ(p.substr(0, 7), "0001001");
    ASSERT_EQ(p.size(), 61u);
    for (std::size_t k = 1; k <= p.size(); ++k) {
        SCOPED_TRACE(testing::Message() << "report " << k);
        // The count of earlier reports a positive multiple of 3: a new page.
        EXPECT_EQ(p[k - 1], k > 1 && (k - 1) % 3 == 0 ? '1' : '0');
    }
    EXPECT_EQ(r.log.substr(0, 2), "0\n");
    expect_log_mirrors_terminal(r);  // so no page-control line on the terminal
    // The same inputs every time: the same report, across the log's buffer.
    const auto rep = reports(r.log);
    for (std::size_t k = 1; k < rep.size(); ++k) EXPECT_EQ(rep[k], rep[0]) << "report " << k + 1;
}

TEST(Dialogue, ContinuationAnswers) {
    struct Row {
        std::string answer;
        bool ends;
    };
    // Only the first character counts; "n" alone is a last line without its line end.
    const Row rows[] = {
        {"N\n", true}, {"n\n", true},   {"no\n", true},  {"No way\n", true},
        {"n", true},   {" n\n", false}, {"y\n", false},  {"Y\n", false},
        {"\n", false}, {"q\n", false},  {"\t\n", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("answer \"" + row.answer + "\"");
        t::Scratch dir;
        // After a continuing answer, a bad first entry ends the session.
        const bool partial = row.answer.back() != '\n';
        const auto r = t::run(dir, empty_report + row.answer + (partial ? "" : "q\n"));
        expect_exit(r, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.log, normal(1).log);
        const std::string tail = row.ends ? p4 : p4 + cycle + p1;
        ASSERT_GE(r.out.size(), tail.size());
        EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
    }
}

TEST(Dialogue, BadFirstEntryEndsTheSessionQuietly) {
    struct Row {
        std::string input;
        bool older_log;
        int reports;  // 0: the log is left as it was
    };
    const Row rows[] = {
        {"q\n", true, 0},
        {"1.2.3\n", true, 0},
        {"1E\n", true, 0},
        {"\t\n", false, 0},
        {"1\0"s + "\n", true, 0},
        {"15-\n", true, 0},
        {empty_report + "y\nq\n", true, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << '"' << row.input << '"');
        t::Scratch dir;
        if (row.older_log)
            dir.write("ZEFRIN.LOG", older);
        const auto r = t::run(dir, row.input);
        expect_exit(r, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(r.log_exists) << "an absent log is created empty";
        EXPECT_EQ(r.log, row.reports ? normal(row.reports).log : row.older_log ? older : "");
        if (row.reports == 0) {
            EXPECT_EQ(r.out, cycle + p1);
        }
    }
}

TEST(Dialogue, BadEntryAtPromptTwoOrThreeStopsTheRun) {
    struct Row {
        std::string input, format, out_tail;
        int reports;
    };
    const Row rows[] = {
        {"\nq\n", "(3F10.1)", p1 + p2, 0},
        {"\n1.2.3\n", "(3F10.1)", p1 + p2, 0},
        {"\n\nq\n", "(7F10.1)", p1 + p2 + p3, 0},
        {"\n\n" + std::string(69, ' ') + "\t\n", "(7F10.1)", p1 + p2 + p3, 0},
        {empty_report + "y\n\n\n1E+\n", "(7F10.1)", p4 + cycle + p1 + p2 + p3, 1},
        {repeat(empty_report + "y\n", 2) + "\nE5\n", "(3F10.1)", p4 + cycle + p1 + p2, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << '"' << row.input << '"');
        t::Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        const auto r = t::run(dir, row.input);
        expect_signal(r, SIGABRT);
        EXPECT_EQ(r.err, diagnostic("fmt: read unexpected character", row.format));
        EXPECT_EQ(r.log, row.reports ? normal(row.reports).log : older);
        ASSERT_GE(r.out.size(), row.out_tail.size());
        EXPECT_EQ(r.out.substr(r.out.size() - row.out_tail.size()), row.out_tail);
    }
}

TEST(Dialogue, EndOfInputAtEachPrompt) {
    struct Row {
        std::string input, first, format;
        int reports;
    };
    const Row rows[] = {
        {"", "fmt: end of file", "(3F10.1)", 0},
        {"\n", "fmt: end of file", "(3F10.1)", 0},
        {"\n\n", "fmt: end of file", "(7F10.1)", 0},
        {empty_report, "fmt: end of file", "(A1)", 1},
        {empty_report + "y\n", "fmt: end of file", "(3F10.1)", 1},
        // The last line has no line end: the end is met at the next prompt.
        {"1.", "read start: end of file", "(3F10.1)", 0},
        {"\n1.", "read start: end of file", "(7F10.1)", 0},
        {"\n\n ", "read start: end of file", "(A1)", 1},
        {empty_report + "y", "read start: end of file", "(3F10.1)", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << '"' << row.input << '"');
        t::Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        const auto r = t::run(dir, row.input);
        expect_signal(r, SIGABRT);
        EXPECT_EQ(r.err, diagnostic(row.first, row.format));
        if (row.reports == 0) {
            EXPECT_EQ(r.log, older);
        } else {
            EXPECT_EQ(r.log, normal(row.reports).log);
            expect_log_mirrors_terminal(r);
        }
    }
}

TEST(DialogueLog, OlderLongerLogIsCutToThisSession) {
    t::Scratch dir;
    dir.write("ZEFRIN.LOG", older + older);
    const auto r = t::run(dir, repeat(empty_report + "y\n", 2) + empty_report + "n\n");
    expect_exit(r, 0);
    EXPECT_EQ(r.log, normal(3).log);
}

// A run killed outright leaves either the older log or a part of this
// session's lines, never this session's lines followed by the older tail.
TEST(DialogueLog, KilledOutright) {
    struct Row {
        std::string input;
        const char* after;
        bool older_kept;
    };
    // The input stays open: the run waits at the prompt until it is killed.
    const Row rows[] = {{"\n", "Enter: p0", true}, {empty_report, " continue [Y/N] ? ", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.after);
        t::Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        t::Options o;
        o.input = row.input;
        o.keep_input_open = true;
        o.signal = SIGKILL;
        o.after = row.after;
        const auto r = t::run(dir, o);
        expect_signal(r, SIGKILL);
        if (row.older_kept) {
            EXPECT_EQ(r.log, older);
        } else {
            EXPECT_EQ(normal(1).log.rfind(r.log, 0), 0u) << "not a start of this session's log";
        }
    }
}

TEST(DialogueLog, CannotBeOpened) {
    struct Row {
        const char* what;
        int err;
        bool needs_permissions;
        void (*make)(const t::Scratch&);
    };
    const Row rows[] = {
        {"a symbolic link to itself", ELOOP, false,
         [](const t::Scratch& d) {
             std::filesystem::create_symlink("ZEFRIN.LOG", d.file("ZEFRIN.LOG"));
         }},
        {"a symbolic link into a missing directory", ENOENT, false,
         [](const t::Scratch& d) {
             std::filesystem::create_symlink("missing/ZEFRIN.LOG", d.file("ZEFRIN.LOG"));
         }},
        {"no log in a read-only directory", EACCES, true,
         [](const t::Scratch& d) { ::chmod(d.path().c_str(), 0555); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.needs_permissions && ::geteuid() == 0) {
            // Permissions do not stop root; the symbolic links fail for anyone.
            std::cout << "row not run as root: " << row.what << " (permissions do not bind root)\n";
            continue;
        }
        t::Scratch dir;
        row.make(dir);
        const auto r = t::run(dir, empty_report + "n\n");
        expect_signal(r, SIGABRT);
        EXPECT_EQ(r.out, "") << "stopped before the first prompt";
        EXPECT_EQ(r.err, "open: "s + std::strerror(row.err) +
                             "\napparent state: unit 7 named ZEFRIN.LOG\n"
                             "lately writing direct unformatted external IO\n");
    }
}

TEST(DialogueLog, ReadOnlyStopsAtTheFirstReport) {
    // The first line due on the log is the page-control line of report 1.
    const std::string err =
        "write start: can't write file\napparent state: unit 7 named ZEFRIN.LOG\n"
        "last format: ('0')\nlately writing sequential formatted external IO\n";
    struct Row {
        const char* what;
        bool needs_permissions;
        void (*make)(const t::Scratch&);
    };
    const Row rows[] = {
        {"a directory named ZEFRIN.LOG: it opens for reading only, even for root", false,
         [](const t::Scratch& d) { std::filesystem::create_directory(d.file("ZEFRIN.LOG")); }},
        {"an older log of mode 444", true,
         [](const t::Scratch& d) {
             d.write("ZEFRIN.LOG", older);
             ::chmod(d.file("ZEFRIN.LOG").c_str(), 0444);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.needs_permissions && ::geteuid() == 0) {
            std::cout << "row not run as root: " << row.what << " (root may write it)\n";
            continue;
        }
        t::Scratch dir;
        row.make(dir);
        const auto r = t::run(dir, empty_report + "n\n");
        expect_signal(r, SIGABRT);
        EXPECT_EQ(r.out, cycle + p1 + p2 + p3);
        EXPECT_EQ(r.err, err);
        if (row.needs_permissions) {
            EXPECT_EQ(r.log, older);
        } else {
            EXPECT_TRUE(std::filesystem::is_directory(dir.file("ZEFRIN.LOG")));
        }
    }
}

// A run with standard input, output and error on files of the directory,
// for a log that the harness must not read back (/dev/full never ends).
struct Plain {
    std::string out, err;
    bool exited = false;
    int status = -1;
};
Plain run_plain(const t::Scratch& dir, const std::string& input) {
    dir.write(".stdin", input);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.path().c_str()) != 0)
            ::_exit(126);
        const int in = ::open(".stdin", O_RDONLY);
        const int out = ::open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0)
            ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execl(t::exe(), "zefrin", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    Plain p;
    int st = 0;
    if (pid < 0 || ::waitpid(pid, &st, 0) != pid)
        return p;
    p.exited = WIFEXITED(st);
    p.status = p.exited ? WEXITSTATUS(st) : -1;
    p.out = dir.read(".stdout");
    p.err = dir.read(".stderr");
    return p;
}

TEST(DialogueLog, FullDeviceIsReportedOnceAndTheDialogueGoesOn) {
    // 100 reports fill the log's buffer more than once.
    for (int n : {1, 100}) {
        SCOPED_TRACE(testing::Message() << n << " reports");
        const std::string input = repeat(empty_report + "y\n", n - 1) + empty_report + "n\n";
        t::Scratch dir, fresh;
        std::filesystem::create_symlink("/dev/full", dir.file("ZEFRIN.LOG"));
        const auto r = run_plain(dir, input);
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "zefrin: ZEFRIN.LOG: No space left on device\n");
        EXPECT_EQ(r.out, t::run(fresh, input).out);
    }
}

TEST(DialogueSignals, CaughtDuringAPrompt) {
    struct Row {
        int sig;
        const char* line;
        int status;  // -1: ends by the abort signal
    };
    const Row rows[] = {
        {SIGINT, "Interrupt\n", 1},     {SIGTERM, "Killed\n", 1},
        {SIGQUIT, "Quit signal\n", -1}, {SIGFPE, "Floating Exception\n", -1},
        {SIGTRAP, "Trace trap\n", -1},  {SIGABRT, "IOT Trap\n", -1},
    };
    for (const Row& row : rows)
        for (bool before_report : {true, false}) {
            SCOPED_TRACE(testing::Message() << strsignal(row.sig)
                                            << (before_report ? " at prompt 2" : " at prompt 4"));
            t::Scratch dir;
            dir.write("ZEFRIN.LOG", older);
            t::Options o;
            o.input = before_report ? "\n" : empty_report;
            o.keep_input_open = true;
            o.signal = row.sig;
            o.after = before_report ? p2 : p4;
            const auto r = t::run(dir, o);
            if (row.status < 0) {
                expect_signal(r, SIGABRT);
            } else {
                expect_exit(r, row.status);
            }
            EXPECT_EQ(r.err, row.line);
            EXPECT_EQ(r.log, before_report ? older : normal(1).log);
            const std::string& tail = before_report ? p2 : p4;
            ASSERT_GE(r.out.size(), tail.size());
            EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
        }
}

TEST(DialogueSignals, IgnoredAtStartStayIgnored) {
    for (int sig : {SIGINT, SIGQUIT}) {
        SCOPED_TRACE(strsignal(sig));
        t::Scratch dir;
        t::Options o;
        o.input = empty_report;
        o.keep_input_open = true;
        o.signal = sig;
        o.after = p4;
        o.ignore_sigint = sig == SIGINT;
        o.ignore_sigquit = sig == SIGQUIT;
        o.timeout_seconds = 2;  // still waiting for an answer: the harness kills it
        const auto r = t::run(dir, o);
        EXPECT_TRUE(r.timed_out) << "the run ended on the ignored signal";
        EXPECT_EQ(r.err, "");
    }
}

// Signals that arrive while reports are being made, the output pipe full:
// the terminal and the log hold a start of the session's bytes, each byte
// once, the log in whole lines, and the terminal at most one line more
// (a report line goes to the terminal first).
TEST(DialogueSignals, TerminalAndLogWholeWheneverTheSignalComes) {
    const int n = 60;
    const t::Result& full = normal(n + 1);
    for (int after : {1, 7, 30}) {
        SCOPED_TRACE(testing::Message() << "signal after " << after << " questions");
        t::Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        t::Options o;
        o.input = repeat(empty_report + "y\n", n) + empty_report;
        o.keep_input_open = true;
        o.signal = SIGTERM;
        o.after = p4;
        o.count = after;
        const auto r = t::run(dir, o);
        expect_exit(r, 1);
        EXPECT_EQ(r.err, "Killed\n");
        EXPECT_EQ(full.out.rfind(r.out, 0), 0u) << "not a start of the session's output";
        EXPECT_EQ(full.log.rfind(r.log, 0), 0u) << "not a start of the session's log";
        EXPECT_GE(reports(r.log).size(), static_cast<std::size_t>(after));
        ASSERT_FALSE(r.log.empty());
        EXPECT_EQ(r.log.back(), '\n');
        std::vector<std::string> body;
        for (const std::string& l : split(r.log))
            if (!page_control(l))
                body.push_back(l);
        const auto shown = report_lines(r.out);
        EXPECT_TRUE(shown.size() - body.size() <= 1 &&
                    std::equal(body.begin(), body.end(), shown.begin()))
            << body.size() << " report lines in the log, " << shown.size() << " on the terminal";
    }
}

TEST(DialogueInput, LinesOfAnyLengthAndBytes) {
    const std::string junk = "\t\r\xff\x01"s + "\0"s + std::string(100000, 'z');
    struct Row {
        const char* what;
        std::string input, same_as;
    };
    const Row rows[] = {
        {"long tails after the last field",
         "0.000511,-5.,1." + std::string(20, ' ') + junk + "\n\n" + std::string(70, ' ') + junk +
             "\nn" + junk + "\n",
         "0.000511,-5.,1.\n\n\nn\n"},
        {"a long answer beginning with y", empty_report + "y" + junk + "\n" + empty_report + "n\n",
         empty_report + "y\n" + empty_report + "n\n"},
        {"a long line of blanks", std::string(300000, ' ') + "\n\n\nn\n", empty_report + "n\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        t::Scratch a, b;
        const auto r = t::run(a, row.input);
        const auto want = t::run(b, row.same_as);
        expect_exit(r, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, want.out);
        EXPECT_EQ(r.log, want.log);
    }
}

}  // namespace
