// Signals at every moment: while a prompt waits, in the middle of a long run of
// reports, two at once, and signals that were ignored when the program started.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "expect.hpp"
#include "run.hpp"

namespace zefrin::test {
namespace {

enum class Then { status_1, aborts, raised_again };

struct Caught {
    int sig;
    const char* line;  // the one line on standard error ("" for none)
    Then then;
};

// The six signals with a line of their own, then those that close the log
// without a line and end the process as their default action would (the
// real-time signals among them, whose numbers are known at run time).
// clang-format off
const Caught caught[] = {
    {SIGINT,    "Interrupt\n",          Then::status_1},
    {SIGTERM,   "Killed\n",             Then::status_1},
    {SIGQUIT,   "Quit signal\n",        Then::aborts},
    {SIGTRAP,   "Trace trap\n",         Then::aborts},
    {SIGFPE,    "Floating Exception\n", Then::aborts},
    {SIGABRT,   "IOT Trap\n",           Then::aborts},
    {SIGHUP,    "",                     Then::raised_again},
    {SIGUSR1,   "",                     Then::raised_again},
    {SIGUSR2,   "",                     Then::raised_again},
    {SIGALRM,   "",                     Then::raised_again},
    {SIGVTALRM, "",                     Then::raised_again},
    {SIGPROF,   "",                     Then::raised_again},
    {SIGXCPU,   "",                     Then::raised_again},
    {SIGPWR,    "",                     Then::raised_again},
    {SIGIO,     "",                     Then::raised_again},
    {SIGSTKFLT, "",                     Then::raised_again},
    {SIGSYS,    "",                     Then::raised_again},
    {SIGRTMIN,  "",                     Then::raised_again},
    {SIGRTMIN + 5, "",                  Then::raised_again},
    {SIGRTMAX,  "",                     Then::raised_again},
};
// clang-format on

void expect_ending(const Result& r, const Caught& c) {
    EXPECT_EQ(r.err, c.line);
    switch (c.then) {
        case Then::status_1:
            expect_exit(r, 1);
            break;
        case Then::aborts:
            expect_killed(r, SIGABRT);
            break;
        case Then::raised_again:
            expect_killed(r, c.sig);
            break;
    }
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
    // clang-format off
    return {
        {"prompt 1 of the first cycle",          "",                         p1, 1, blank + p1, 0},
        {"prompt 2",                             "\n",                       p2, 1, blank + p1 + p2, 0},
        {"prompt 3",                             "\n\n",                     p3, 1, blank + p1 + p2 + p3, 0},
        {"the question after the first report",  empty_answers,              p4, 1, copper_cycle(), 1},
        {"prompt 1 of the second cycle",         empty_cycles(1),            p1, 2, copper_cycle() + blank + p1, 1},
        {"prompt 3 of the fourth cycle",         empty_cycles(3) + "\n\n",   p3, 4, copper_cycles(3) + blank + p1 + p2 + p3, 3},
        {"the question after the fourth report (a new page)",
                                                 empty_cycles(3) + "\n\n\n", p4, 4, copper_cycles(4), 4},
    };
    // clang-format on
}

// The signal is sent as soon as the prompt shows on standard output; the
// terminal holds what was shown up to the prompt, once. The older log is
// longer or shorter than the reports of the session.
//
// Regression: a signal that came just as a prompt's write returned (before
// the terminal buffer recorded it as sent) made the handler write the same
// bytes again, so the report and the prompt stood twice on the terminal.
// Regression: a hang-up (the terminal window closed) or a user signal after
// a report left the log empty: the older log had been cut and the session's
// lines were still in the buffer.
TEST(SignalsAtAPrompt, OneLineThenTheUnitsClosedAndTheEndingOfTheSignal) {
    for (const std::string& older : {older_log(20000), older_log(100)}) {
        for (const Moment& m : moments()) {
            for (const Caught& c : caught) {
                SCOPED_TRACE(std::string(m.name) + ", signal " + std::to_string(c.sig) +
                             ", older log of " + std::to_string(older.size()) + " bytes");
                Scratch dir;
                dir.write("ZEFRIN.LOG", older);
                Options o;
                o.input = m.input;
                o.steps = {await(m.prompt, m.times), send(c.sig)};
                o.keep_input_open = true;
                const Result r = run(dir, o);
                expect_ending(r, c);
                EXPECT_TRUE(same_text(r.out, m.out));
                EXPECT_TRUE(same_text(r.log, m.reports == 0 ? older : copper_log(m.reports)));
            }
        }
    }
}

// A session of 3000 reports, fed at once: the signal lands wherever the
// program has got to, the output pipe full. The terminal is then a beginning
// of the session's text, nothing written twice (the regression above, in the
// middle of a long session). The log is this session's lines up to a line
// end, at least every report whose question reached the terminal, and
// nothing of the older, longer log.
TEST(SignalsInALongSession, LogCutAfterACompleteLineOfThisSession) {
    constexpr int cycles = 3000;
    const std::string full_log = copper_log(cycles);
    const std::string full_out = copper_cycles(cycles) + blank + p1;
    const std::string older = older_log(full_log.size() + 100000);
    const std::string input = empty_cycles(cycles);
    for (const int after : {1, 250, 2999}) {
        for (const Caught& c : caught) {
            SCOPED_TRACE("after question " + std::to_string(after) + ", signal " +
                         std::to_string(c.sig));
            Scratch dir;
            dir.write("ZEFRIN.LOG", older);
            Options o;
            o.input = input;
            o.steps = {await(p4, after), send(c.sig)};
            o.keep_input_open = true;
            o.timeout_seconds = 120;
            const Result r = run(dir, o);
            expect_ending(r, c);
            EXPECT_TRUE(same_text(r.out, full_out.substr(0, r.out.size())));
            // Reports whose question stands in the part of the terminal that
            // matches the session.
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

// Sixty-one reports, a termination request after a few questions: the rest
// of the session fits in the output pipe, so nothing holds the terminal back
// when the handler writes it (a handler never waits on the terminal: with
// the pipe full, the lines still to go there are dropped). The log is then
// at most one line behind the terminal, as a report line goes to the
// terminal first, then to the log.
TEST(SignalsInALongSession, LogAtMostOneLineBehindTheTerminal) {
    constexpr int cycles = 61;
    const std::string full_log = copper_log(cycles);
    const std::string full_out = copper_cycles(cycles);
    for (const int after : {1, 7, 30}) {
        SCOPED_TRACE("termination after question " + std::to_string(after));
        Scratch dir;
        dir.write("ZEFRIN.LOG", older_log(16000));
        Options o;
        o.input = empty_cycles(cycles - 1) + empty_answers;
        o.steps = {await(p4, after), send(SIGTERM)};
        o.keep_input_open = true;
        const Result r = run(dir, o);
        expect_ending(r, caught[1]);
        EXPECT_TRUE(same_text(r.out, full_out.substr(0, r.out.size())));
        EXPECT_TRUE(line_prefix(r.log, full_log)) << "not this session's lines up to a line end";
        EXPECT_GE(r.log.size(), copper_log(after).size());
        const std::string in_log = log_lines(r.log), on_terminal = terminal_lines(r.out);
        EXPECT_TRUE(on_terminal.compare(0, in_log.size(), in_log) == 0 &&
                    count(on_terminal.substr(in_log.size()), "\n") <= 1)
            << count(in_log, "\n") << " report lines in the log, " << count(on_terminal, "\n")
            << " on the terminal";
    }
}

// Two signals in a row: the first one's handler runs with the others held, so
// there is one line and one ending, that of one of the two.
TEST(SignalsTwoAtOnce, OneLineAndOneEnding) {
    const int pairs[][2] = {{SIGTERM, SIGQUIT}, {SIGINT, SIGABRT}, {SIGFPE, SIGTERM}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(std::to_string(pair[0]) + " then " + std::to_string(pair[1]));
        Scratch dir;
        Options o;
        o.steps = {feed(empty_answers), await(p4), send(pair[0]), send(pair[1])};
        o.keep_input_open = true;  // until the signals have ended the run
        const Result r = run(dir, o);
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

// An interrupt, a quit or one of the signals without a line that was
// ignored when the program started stays ignored (nohup): the session goes
// on to its normal end.
struct Ignored {
    const char* name;
    std::vector<int> at_start;  // ignored at start
    int sig;                    // then sent
};

const Ignored ignored[] = {
    {"interrupt ignored at start", {SIGINT}, SIGINT},
    {"quit ignored at start", {SIGQUIT}, SIGQUIT},
    {"both ignored at start, interrupt sent", {SIGINT, SIGQUIT}, SIGINT},
    {"both ignored at start, quit sent", {SIGINT, SIGQUIT}, SIGQUIT},
    {"hang-up ignored at start (nohup)", {SIGHUP}, SIGHUP},
    {"user signal 1 ignored at start", {SIGUSR1}, SIGUSR1},
    {"a real-time signal ignored at start", {SIGRTMIN}, SIGRTMIN},
};

// The signal comes while the question waits, and again at the next prompt 1.
TEST(SignalsIgnoredAtStart, StayIgnoredWhileAPromptWaits) {
    for (const Ignored& row : ignored) {
        SCOPED_TRACE(row.name);
        Scratch dir;
        Options o;
        o.ignore_signals = row.at_start;
        // clang-format off
        o.steps = {feed(empty_answers), await(p4),    send(row.sig), await_waiting_for_input(),
                   feed("y\n"),         await(p1, 2), send(row.sig), await_waiting_for_input(),
                   feed("\n\n\nn\n")};
        // clang-format on
        const Result r = run(dir, o);
        expect_exit(r, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(same_text(r.out, copper_cycles(2)));
        EXPECT_TRUE(same_text(r.log, copper_log(2)));
    }
}

TEST(SignalsIgnoredAtStart, StayIgnoredInALongSession) {
    constexpr int cycles = 1000;
    for (const Ignored& row : ignored) {
        SCOPED_TRACE(row.name);
        Scratch dir;
        Options o;
        o.input = empty_cycles(cycles - 1) + "\n\n\nn\n";
        o.ignore_signals = row.at_start;
        o.steps = {await(p4, 10), send(row.sig)};
        o.timeout_seconds = 120;
        const Result r = run(dir, o);
        expect_exit(r, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(same_text(r.out, copper_cycles(cycles)));
        EXPECT_TRUE(same_text(r.log, copper_log(cycles)));
    }
}

// Only the two named signals keep an ignored state: a termination request is
// caught even when the interrupt was ignored.
TEST(SignalsIgnoredAtStart, TerminationStillCaught) {
    Scratch dir;
    Options o;
    o.ignore_sigint = true;
    o.ignore_sigquit = true;
    o.steps = {feed(empty_answers),       await(p4),    send(SIGINT), send(SIGQUIT),
               await_waiting_for_input(), send(SIGTERM)};
    o.keep_input_open = true;  // until the termination has ended the run
    const Result r = run(dir, o);
    expect_ending(r, caught[1]);
    EXPECT_TRUE(same_text(r.out, copper_cycle()));
    EXPECT_TRUE(same_text(r.log, copper_log(1)));
}

}  // namespace
}  // namespace zefrin::test
