// Signals at every moment: while a prompt waits, in the middle of a long run of
// reports, two at once, and signals that were ignored when the program started.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "expect.hpp"
#include "launch.hpp"
#include "run.hpp"

namespace zefrin::faults {
namespace {

struct Caught {
    int sig;
    const char* line;  // the one line on standard error
    bool aborts;       // ends by the abort signal, else with status 1
};

constexpr Caught caught[] = {
    {SIGINT, "Interrupt\n", false},         {SIGTERM, "Killed\n", false},
    {SIGQUIT, "Quit signal\n", true},       {SIGTRAP, "Trace trap\n", true},
    {SIGFPE, "Floating Exception\n", true}, {SIGABRT, "IOT Trap\n", true},
};

void expect_ending(const test::Result& r, const Caught& c) {
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.err, c.line);
    if (c.aborts) {
        EXPECT_FALSE(r.exited);
        EXPECT_EQ(r.term_signal, SIGABRT);
    } else {
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, 1);
    }
}

std::string cycles_out(int n) {
    std::string s;
    for (int k = 0; k < n; ++k) s += copper_cycle();
    return s;
}

// A prompt waiting for its answer, and what must stand on the terminal and in
// the log when the signal comes then.
struct Moment {
    const char* name;
    std::string input;   // the answers given so far
    const char* prompt;  // the prompt that waits
    int times;           // its occurrence
    std::string out;
    int reports;  // 0: the older log is kept byte for byte
};

std::vector<Moment> moments() {
    const std::string blank = "  \n";
    return {
        {"prompt 1 of the first cycle", "", p1, 1, blank + p1, 0},
        {"prompt 2", "\n", p2, 1, blank + p1 + p2, 0},
        {"prompt 3", "\n\n", p3, 1, blank + p1 + p2 + p3, 0},
        {"the question after the first report", "\n\n\n", p4, 1, copper_cycle(), 1},
        {"prompt 1 of the second cycle", "\n\n\ny\n", p1, 2, copper_cycle() + blank + p1, 1},
        {"prompt 3 of the fourth cycle", empty_cycles(3) + "\n\n", p3, 4,
         cycles_out(3) + blank + p1 + p2 + p3, 3},
        {"the question after the fourth report (a new page)", empty_cycles(3) + "\n\n\n", p4, 4,
         cycles_out(4), 4},
    };
}

// The signal is sent as soon as the prompt shows on standard output.
test::Result signal_at(const Moment& m, const Caught& c, const std::string& older) {
    test::Scratch dir;
    dir.write("ZEFRIN.LOG", older);
    test::Options o;
    o.input = m.input;
    o.keep_input_open = true;
    o.signal = c.sig;
    o.after = m.prompt;
    o.count = m.times;
    return test::run(dir, o);
}

TEST(SignalsAtAPrompt, OneLineThenTheUnitsClosedAndTheEndingOfTheSignal) {
    const std::string older = older_log(20000);
    for (const Moment& m : moments()) {
        for (const Caught& c : caught) {
            SCOPED_TRACE(std::string(m.name) + ", " + c.line);
            const test::Result r = signal_at(m, c, older);
            expect_ending(r, c);
            EXPECT_TRUE(same_text(r.out.substr(0, m.out.size()), m.out));
            if (m.reports == 0)
                EXPECT_TRUE(same_text(r.log, older));
            else
                EXPECT_TRUE(same_text(r.log, copper_log(m.reports)));
        }
    }
}

// Regression: a signal that came just as a prompt's write returned (before
// the terminal buffer recorded it as sent) made the handler write the same
// bytes again, so the report and the prompt stood twice on the terminal.
TEST(SignalsAtAPrompt, TerminalTextWrittenOnce) {
    const std::string older = older_log(100);
    for (const Moment& m : moments()) {
        for (const Caught& c : caught) {
            SCOPED_TRACE(std::string(m.name) + ", " + c.line);
            const test::Result r = signal_at(m, c, older);
            EXPECT_TRUE(same_text(r.out, m.out));
        }
    }
}

// A session of 3000 reports, fed at once: the signal lands wherever the
// program has got to. The log is then this session's lines up to a line end,
// at least every report whose question reached the terminal, and nothing of
// the older, longer log.
TEST(SignalsInALongSession, LogCutAfterACompleteLineOfThisSession) {
    constexpr int cycles = 3000;
    const std::string full_log = copper_log(cycles);
    const std::string full_out = cycles_out(cycles) + "  \n" + p1;
    const std::string older = older_log(full_log.size() + 100000);
    const std::string input = empty_cycles(cycles);
    for (const int after : {1, 250, 2999}) {
        for (const Caught& c : caught) {
            SCOPED_TRACE("after question " + std::to_string(after) + ", " + c.line);
            test::Scratch dir;
            dir.write("ZEFRIN.LOG", older);
            test::Options o;
            o.input = input;
            o.keep_input_open = true;
            o.signal = c.sig;
            o.after = p4;
            o.count = after;
            o.timeout_seconds = 120;
            const test::Result r = test::run(dir, o);
            expect_ending(r, c);
            // Reports whose question stands in the part of the terminal that
            // matches the session (a repeated piece is the next test's find).
            std::size_t same = 0;
            while (same < r.out.size() && same < full_out.size() && r.out[same] == full_out[same])
                ++same;
            const std::size_t shown = count(r.out.substr(0, same), p4);
            EXPECT_GE(shown, static_cast<std::size_t>(after));
            EXPECT_TRUE(line_prefix(r.log, full_log))
                << "the log (" << r.log.size()
                << " bytes) is not this session's lines up to a line end";
            EXPECT_GE(r.log.size(), copper_log(static_cast<int>(shown)).size())
                << "a report shown on the terminal is missing from the log";
            expect_log_shape(r.log);
        }
    }
}

// Regression: the same repeated write in the middle of a long session: the
// terminal must be a beginning of the session's text, nothing written twice.
TEST(SignalsInALongSession, TerminalTextWrittenOnce) {
    constexpr int cycles = 3000;
    const std::string full_out = cycles_out(cycles) + "  \n" + p1;
    for (const int after : {1, 250}) {
        for (const int sig : {SIGINT, SIGTERM}) {
            SCOPED_TRACE("after question " + std::to_string(after) + ", signal " +
                         std::to_string(sig));
            test::Scratch dir;
            test::Options o;
            o.input = empty_cycles(cycles);
            o.keep_input_open = true;
            o.signal = sig;
            o.after = p4;
            o.count = after;
            o.timeout_seconds = 120;
            const test::Result r = test::run(dir, o);
            EXPECT_TRUE(same_text(r.out, full_out.substr(0, r.out.size())));
        }
    }
}

// Two signals in a row: the first one's handler runs with the others held, so
// there is one line and one ending, that of one of the two.
TEST(SignalsTwoAtOnce, OneLineAndOneEnding) {
    const int pairs[][2] = {{SIGTERM, SIGQUIT}, {SIGINT, SIGABRT}, {SIGFPE, SIGTERM}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(std::to_string(pair[0]) + " then " + std::to_string(pair[1]));
        test::Scratch dir;
        Launch how;
        how.steps = {feed("\n\n\n"), await(p4), send(pair[0]), send(pair[1]), pause_ms(200)};
        const test::Result r = launch(dir, how);
        bool matched = false;
        for (const Caught& c : caught) {
            if (r.err != c.line)
                continue;
            matched = c.sig == pair[0] || c.sig == pair[1];
            expect_ending(r, c);
        }
        EXPECT_TRUE(matched) << "standard error: " << r.err;
        EXPECT_TRUE(same_text(r.log, copper_log(1)));
    }
}

// An interrupt or quit ignored when the program started stays ignored: the
// session goes on to its normal end.
struct Ignored {
    const char* name;
    bool sigint, sigquit;  // ignored at start
    int sig;               // then sent
};

constexpr Ignored ignored[] = {
    {"interrupt ignored at start", true, false, SIGINT},
    {"quit ignored at start", false, true, SIGQUIT},
    {"both ignored at start, interrupt sent", true, true, SIGINT},
    {"both ignored at start, quit sent", true, true, SIGQUIT},
};

TEST(SignalsIgnoredAtStart, StayIgnoredWhileAPromptWaits) {
    for (const Ignored& row : ignored) {
        SCOPED_TRACE(row.name);
        test::Scratch dir;
        Launch how;
        how.ignore_sigint = row.sigint;
        how.ignore_sigquit = row.sigquit;
        how.steps = {feed("\n\n\ny\n"), await(p1, 2), send(row.sig), pause_ms(200),
                     feed("\n\n\nn\n")};
        const test::Result r = launch(dir, how);
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(same_text(r.out, cycles_out(2)));
        EXPECT_TRUE(same_text(r.log, copper_log(2)));
    }
}

TEST(SignalsIgnoredAtStart, StayIgnoredInALongSession) {
    constexpr int cycles = 1000;
    for (const Ignored& row : ignored) {
        SCOPED_TRACE(row.name);
        test::Scratch dir;
        test::Options o;
        o.input = empty_cycles(cycles - 1) + "\n\n\nn\n";
        o.ignore_sigint = row.sigint;
        o.ignore_sigquit = row.sigquit;
        o.signal = row.sig;
        o.after = p4;
        o.count = 10;
        o.timeout_seconds = 120;
        const test::Result r = test::run(dir, o);
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(same_text(r.out, cycles_out(cycles)));
        EXPECT_TRUE(same_text(r.log, copper_log(cycles)));
    }
}

// Only the two named signals keep an ignored state: a termination request is
// caught even when the interrupt was ignored.
TEST(SignalsIgnoredAtStart, TerminationStillCaught) {
    test::Scratch dir;
    Launch how;
    how.ignore_sigint = true;
    how.ignore_sigquit = true;
    how.steps = {feed("\n\n\n"), await(p4),     send(SIGINT), send(SIGQUIT),
                 pause_ms(100),  send(SIGTERM), pause_ms(200)};
    const test::Result r = launch(dir, how);
    expect_ending(r, caught[1]);
    EXPECT_TRUE(same_text(r.out, copper_cycle()));
    EXPECT_TRUE(same_text(r.log, copper_log(1)));
}

}  // namespace
}  // namespace zefrin::faults
