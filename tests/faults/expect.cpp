// The expected texts of the fault tests, from the dialogue's rules.
#include "expect.hpp"

#include <gtest/gtest.h>

#include <cctype>

namespace zefrin::faults {

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
    return std::string("  \n") + p1 + p2 + p3 + copper() + p4;
}

std::string copper_log(int n) {
    std::string s;
    for (int k = 1; k <= n; ++k) s += (k > 1 && (k - 1) % 3 == 0 ? "1\n" : "0\n") + copper();
    return s;
}

std::string empty_cycles(int n) {
    std::string s;
    for (int k = 0; k < n; ++k) s += "\n\n\ny\n";
    return s;
}

std::string keyboard_diagnostic(const std::string& context, const std::string& message,
                                const std::string& format) {
    return context + ": " + message + "\napparent state: unit 5 (unnamed)\nlast format: " + format +
           "\nlately reading sequential formatted external IO\n";
}

std::string older_log(std::size_t at_least) {
    const std::string line = std::string(79, '~') + "\n";
    std::string s;
    s.reserve(at_least + line.size());
    while (s.size() < at_least) s += line;
    return s;
}

std::size_t count(const std::string& hay, const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
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

void expect_log_shape(const std::string& log) {
    EXPECT_TRUE(log.empty() || log.back() == '\n') << "the log ends inside a line";
    EXPECT_EQ(log.find('~'), std::string::npos) << "the log keeps bytes of an older log";
    EXPECT_EQ(lower(log).find("nan"), std::string::npos);
    EXPECT_EQ(lower(log).find("inf"), std::string::npos);
    std::size_t p = 0, bad = 0;
    while (p < log.size()) {
        std::size_t nl = log.find('\n', p);
        if (nl == std::string::npos)
            nl = log.size();
        const std::string line = log.substr(p, nl - p);
        if (!(line.size() == 80 || line == "0" || line == "1"))
            ++bad;
        p = nl + 1;
    }
    EXPECT_EQ(bad, 0u) << "lines of the log that are neither 80 characters nor page control";
}

std::string expect_terminal_shape(const std::string& out) {
    std::string t = out;
    for (const char* prompt : {p1, p2, p3, p4}) {
        const std::string s = prompt;
        for (std::size_t q = t.find(s); q != std::string::npos; q = t.find(s, q))
            t.erase(q, s.size());
    }
    EXPECT_TRUE(t.empty() || t.back() == '\n') << "the terminal ends inside a line";
    EXPECT_EQ(lower(t).find("nan"), std::string::npos);
    EXPECT_EQ(lower(t).find("inf"), std::string::npos);
    std::string lines;
    std::size_t p = 0, bad = 0;
    while (p < t.size()) {
        std::size_t nl = t.find('\n', p);
        if (nl == std::string::npos)
            nl = t.size();
        const std::string line = t.substr(p, nl - p);
        if (line != "  ") {
            if (line.size() != 80)
                ++bad;
            lines += line + "\n";
        }
        p = nl + 1;
    }
    EXPECT_EQ(bad, 0u) << "terminal lines that are neither 80 characters nor the blank line";
    return lines;
}

}  // namespace zefrin::faults
