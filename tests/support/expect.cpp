// The expected texts and the checks of the end-to-end tests.
#include "expect.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>

namespace zefrin::test {

const std::string& copper() {
    static const std::string text =
        " ...............................................................................\n"
        " 100.00 % of length =  1.0000 cm covered by material with density =  8.960 g/cm3\n"
        " Entr. energy =  589.7 MeV, Composition of material:  Z1 = 29.0,  prop1 = 1.0000\n"
        " ...............................................................................\n"
        " ......................... Moliere angulardistribution .........................\n"
        " 1/e sc.ang =  16.937 mr, 1/e disp = 0.0880 mm, t (rad.leng) =  0.692, B = 14.93\n"
        " ...............................................................................\n"
        " ........................... Energy lossdistribution ...........................\n"
        " *******************************************************************************\n"
        " Landau  <  Energy loss distribution  <  Gauss: divide into  5 smaller elements.\n"
        " *******************************************************************************\n"
        " *Landau*  prob. energy loss = 16.437, width =  4.328, average loss = 15.972 MeV\n"
        " ...............................................................................\n"
        " ....................... Nuclear interactiondistribution .......................\n"
        " Atom1: int.prob = 1.000, RMS.ang =  49.9 mr, el.cs = 736.4 mb, ab.cs = 755.9 mb\n"
        " Total interaction length =  7.881 cm, .......... absorbtion probability = 0.507\n"
        " ...............................................................................\n";
    return text;
}

std::string copper_cycle() {
    return blank + p1 + p2 + p3 + copper() + p4;
}

std::string copper_cycles(int n) {
    return repeat(copper_cycle(), n);
}

std::string copper_log(int n) {
    std::string s;
    for (int k = 1; k <= n; ++k) s += (k > 1 && (k - 1) % 3 == 0 ? "1\n" : "0\n") + copper();
    return s;
}

std::string empty_cycles(int n) {
    return repeat(empty_answers + "y\n", n);
}

std::string repeat(const std::string& s, int n) {
    std::string r;
    r.reserve(s.size() * static_cast<std::size_t>(n > 0 ? n : 0));
    for (int k = 0; k < n; ++k) r += s;
    return r;
}

std::string answer(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& f : fields) line += std::string(10 - f.size(), ' ') + f;
    return line + "\n";
}

std::string keyboard_diagnostic(const std::string& context, const std::string& message,
                                const std::string& format) {
    return context + ": " + message + "\napparent state: unit 5 (unnamed)\nlast format: " + format +
           "\nlately reading sequential formatted external IO\n";
}

std::string fmt_eof(const std::string& format) {
    return keyboard_diagnostic("fmt", "end of file", format);
}

std::string start_eof(const std::string& format) {
    return keyboard_diagnostic("read start", "end of file", format);
}

std::string unexpected(const std::string& format) {
    return keyboard_diagnostic("fmt", "read unexpected character", format);
}

std::string older_log(std::size_t at_least) {
    const std::string line = std::string(79, '~') + "\n";
    std::string s;
    s.reserve(at_least + line.size());
    while (s.size() < at_least) s += line;
    return s;
}

bool line_prefix(const std::string& part, const std::string& full) {
    return full.compare(0, part.size(), part) == 0 && (part.empty() || part.back() == '\n');
}

namespace {

std::string excerpt(const std::string& s, std::size_t at) {
    std::string e;
    for (std::size_t i = at; i < s.size() && i < at + 60; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '\n')
            e += "\\n";
        else if (c < 32 || c > 126)
            e += "\\x" + std::string(1, "0123456789abcdef"[c >> 4]) + "0123456789abcdef"[c & 15];
        else
            e += static_cast<char>(c);
    }
    return "\"" + e + "\"";
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The lines of s, each with its line end, those that keep(line) holds.
template <class Keep>
std::string lines_where(const std::string& s, Keep keep) {
    std::string lines;
    for (std::size_t p = 0; p < s.size();) {
        std::size_t nl = s.find('\n', p);
        if (nl == std::string::npos)
            nl = s.size();
        const std::string line = s.substr(p, nl - p);
        if (keep(line))
            lines += line + "\n";
        p = nl + 1;
    }
    return lines;
}

bool page_control(const std::string& line) {
    return line == "0" || line == "1";
}

std::string without_prompts(std::string t) {
    for (const std::string prompt : {p1, p2, p3, p4})
        for (std::size_t q = t.find(prompt); q != std::string::npos; q = t.find(prompt, q))
            t.erase(q, prompt.size());
    return t;
}

}  // namespace

::testing::AssertionResult same_text(const std::string& got, const std::string& want) {
    if (got == want)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    const std::size_t from = at < 20 ? 0 : at - 20;
    return ::testing::AssertionFailure()
           << got.size() << " bytes where " << want.size() << " were expected; they part at byte "
           << at << ":\n  got  " << excerpt(got, from) << "\n  want " << excerpt(want, from);
}

std::string terminal_lines(const std::string& out) {
    return lines_where(without_prompts(out), [](const std::string& l) { return l != "  "; });
}

std::string log_lines(const std::string& log) {
    return lines_where(log, [](const std::string& l) { return !page_control(l); });
}

void expect_log_shape(const std::string& log) {
    EXPECT_TRUE(log.empty() || log.back() == '\n') << "the log ends inside a line";
    EXPECT_EQ(log.find('~'), std::string::npos) << "the log keeps bytes of an older log";
    EXPECT_EQ(lower(log).find("nan"), std::string::npos);
    EXPECT_EQ(lower(log).find("inf"), std::string::npos);
    const std::string bad =
        lines_where(log, [](const std::string& l) { return !(l.size() == 80 || page_control(l)); });
    EXPECT_EQ(count(bad, "\n"), 0u)
        << "lines of the log that are neither 80 characters nor page control";
}

std::string expect_terminal_shape(const std::string& out) {
    const std::string t = without_prompts(out);
    EXPECT_TRUE(t.empty() || t.back() == '\n') << "the terminal ends inside a line";
    EXPECT_EQ(lower(t).find("nan"), std::string::npos);
    EXPECT_EQ(lower(t).find("inf"), std::string::npos);
    const std::string lines = terminal_lines(out);
    const std::string bad = lines_where(lines, [](const std::string& l) { return l.size() != 80; });
    EXPECT_EQ(count(bad, "\n"), 0u)
        << "terminal lines that are neither 80 characters nor the blank line";
    return lines;
}

void expect_log_mirrors_terminal(const Result& r) {
    expect_log_shape(r.log);
    EXPECT_EQ(log_lines(r.log), expect_terminal_shape(r.out))
        << "the log does not hold the terminal's lines";
}

void expect_exit(const Result& r, int status) {
    EXPECT_FALSE(r.timed_out);
    EXPECT_TRUE(r.exited) << "ended by signal " << r.term_signal;
    EXPECT_EQ(r.status, status);
}

void expect_killed(const Result& r, int sig) {
    EXPECT_FALSE(r.timed_out);
    EXPECT_FALSE(r.exited) << "exit status " << r.status;
    EXPECT_EQ(r.term_signal, sig);
}

void expect_run(const Result& r, const std::string& older, const std::string& out,
                const Ending& e) {
    if (e.aborts)
        expect_killed(r, SIGABRT);
    else
        expect_exit(r, e.status);
    EXPECT_EQ(r.err, e.err);
    EXPECT_TRUE(same_text(r.out, out));
    EXPECT_TRUE(same_text(r.log, e.reports == 0 ? older : copper_log(e.reports)));
}

void run_cases(const std::vector<Case>& cases) {
    const std::string older = older_log(30000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        expect_run(run(dir, c.input), older, c.out, c.end);
    }
}

}  // namespace zefrin::test
