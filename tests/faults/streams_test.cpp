// The standard streams at fault: closed at start, or a terminal whose reader
// goes away before or during the session.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "expect.hpp"
#include "launch.hpp"
#include "run.hpp"

namespace zefrin::faults {
namespace {

// A closed standard descriptor is taken over by /dev/null, never by the log:
// whatever would have gone to it does not land in ZEFRIN.LOG.
struct Closed {
    const char* name;
    bool in, out, err;
    std::string input;
    bool aborts;  // else status 0
    std::string want_out, want_err;
    int reports;  // 0: the older log is kept
};

TEST(StreamsClosedAtStart, ReopenedOnDevNull) {
    const std::string session = "\n\n\nn\n";
    const Closed rows[] = {
        {"standard output closed", false, true, false, session, false, "", "", 1},
        {"standard error closed, end of input at the question", false, false, true, "\n\n\n", true,
         copper_cycle(), "", 1},
        {"standard input closed: end of input at prompt 1", true, false, false, "", true,
         std::string("  \n") + p1, keyboard_diagnostic("fmt", "end of file", "(3F10.1)"), 0},
        {"all three closed", true, true, true, "", true, "", "", 0},
        {"output and error closed, a full session", false, true, true, session, false, "", "", 1},
    };
    const std::string older = older_log(5000);
    for (const Closed& row : rows) {
        SCOPED_TRACE(row.name);
        test::Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        Launch how;
        how.close_stdin = row.in;
        how.close_stdout = row.out;
        how.close_stderr = row.err;
        how.steps = {feed(row.input)};
        const test::Result r = launch(dir, how);
        EXPECT_FALSE(r.timed_out);
        if (row.aborts) {
            EXPECT_EQ(r.term_signal, SIGABRT);
        } else {
            EXPECT_TRUE(r.exited);
            EXPECT_EQ(r.status, 0);
        }
        EXPECT_TRUE(same_text(r.out, row.want_out));
        EXPECT_EQ(r.err, row.want_err);
        if (row.reports == 0)
            EXPECT_TRUE(same_text(r.log, older));
        else
            EXPECT_TRUE(same_text(r.log, copper_log(row.reports)));
    }
}

// The shared harness closes standard output by itself as well.
TEST(StreamsClosedAtStart, HarnessClosedOutputGivesTheWholeLog) {
    test::Scratch dir;
    test::Options o;
    o.input = empty_cycles(4) + "\n\n\nn\n";
    o.close_stdout = true;
    const test::Result r = test::run(dir, o);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(same_text(r.out, ""));
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(same_text(r.log, copper_log(5)));
}

// A reader of the terminal that is gone before anything was written: the
// first prompt meets the broken pipe; no report, so the older log stays.
TEST(StreamsBrokenPipe, BeforeTheFirstPrompt) {
    const std::string older = older_log(5000);
    {
        SCOPED_TRACE("SIGPIPE in its default action: the process dies of it");
        test::Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        test::Options o;
        o.input = empty_cycles(3);
        o.stdout_broken = true;
        const test::Result r = test::run(dir, o);
        EXPECT_FALSE(r.exited);
        EXPECT_EQ(r.term_signal, SIGPIPE);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(same_text(r.log, older));
    }
    {
        SCOPED_TRACE("SIGPIPE ignored at start: exit status 1");
        test::Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        Launch how;
        how.ignore_sigpipe = true;
        how.steps = {close_output(), pause_ms(50), feed(empty_cycles(3))};
        const test::Result r = launch(dir, how);
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(same_text(r.log, older));
    }
}

// The reader goes away after some reports: the units are closed, the log
// holds this session's complete lines (at least the reports whose question
// was read), cut there, and the process ends by SIGPIPE or with status 1.
TEST(StreamsBrokenPipe, InTheMiddleOfALongSession) {
    constexpr int cycles = 400;
    const std::string full_log = copper_log(cycles);
    const std::string older = older_log(full_log.size() + 50000);
    for (const bool ignore : {false, true}) {
        for (const int after : {1, 20, 150}) {
            SCOPED_TRACE(std::string(ignore ? "SIGPIPE ignored" : "SIGPIPE default") +
                         ", reader gone after question " + std::to_string(after));
            test::Scratch dir;
            dir.write("ZEFRIN.LOG", older);
            Launch how;
            how.ignore_sigpipe = ignore;
            how.steps = {feed(empty_cycles(cycles)), await(p4, after), close_output()};
            const test::Result r = launch(dir, how);
            EXPECT_FALSE(r.timed_out);
            if (ignore) {
                EXPECT_TRUE(r.exited);
                EXPECT_EQ(r.status, 1);
            } else {
                EXPECT_FALSE(r.exited);
                EXPECT_EQ(r.term_signal, SIGPIPE);
            }
            EXPECT_EQ(r.err, "");
            EXPECT_TRUE(line_prefix(r.log, full_log))
                << "the log (" << r.log.size()
                << " bytes) is not this session's lines up to a line end";
            EXPECT_GE(r.log.size(), copper_log(after).size());
            expect_log_shape(r.log);
        }
    }
}

// Regression: standard input left non-blocking by whoever shares it (a shell,
// a pipeline stage) answered a read with EAGAIN while the next line was still
// on its way, and the reader took that for the end of the input: the run
// stopped with the "end of file" diagnostic in the middle of the dialogue.
TEST(StreamsNonBlocking, InputWaitsForTheNextLine) {
    test::Scratch dir;
    Launch how;
    how.stdin_nonblocking = true;
    how.steps = {feed("\n"), await(p2),     pause_ms(300), feed("\n\n"),
                 await(p4),  pause_ms(300), feed("n\n")};
    const test::Result r = launch(dir, how);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(same_text(r.out, copper_cycle()));
    EXPECT_TRUE(same_text(r.log, copper_log(1)));
}

// Regression: standard output left non-blocking, with a reader that falls
// behind: a write answered with EAGAIN dropped the rest of the terminal
// buffer, so lines of the reports never reached the terminal.
TEST(StreamsNonBlocking, OutputKeepsEveryLine) {
    constexpr int cycles = 300;
    test::Scratch dir;
    Launch how;
    how.stdout_nonblocking = true;
    std::string input = empty_cycles(cycles);
    input.replace(input.size() - 2, 2, "n\n");
    how.steps = {feed(input), pause_ms(500)};
    const test::Result r = launch(dir, how);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::string out;
    for (int k = 0; k < cycles; ++k) out += copper_cycle();
    EXPECT_TRUE(same_text(r.out, out));
    EXPECT_TRUE(same_text(r.log, copper_log(cycles)));
}

}  // namespace
}  // namespace zefrin::faults
