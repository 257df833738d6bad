// The standard streams at fault: closed at start, or a terminal whose reader
// goes away before or during the session.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "expect.hpp"
#include "run.hpp"

namespace zefrin::test {
namespace {

// A closed standard descriptor is taken over by /dev/null, never by the log:
// whatever would have gone to it does not land in ZEFRIN.LOG. Writing to a
// closed standard output is a failure like any other: said once, status 1.
struct Closed {
    const char* name;
    bool in, out, err;
    std::string input, want_out;
    Ending end;
};

TEST(StreamsClosedAtStart, ReopenedOnDevNull) {
    const std::string session = "\n\n\nn\n";
    const std::string closed_out = "zefrin: standard output: Bad file descriptor\n";
    // clang-format off
    const Closed rows[] = {
        {"standard output closed, five reports (page control 1 before the fourth)",
         false, true,  false, empty_cycles(4) + session, "",             {false, closed_out, 5, 1}},
        {"standard error closed, end of input at the question",
         false, false, true,  empty_answers,             copper_cycle(), {true, "", 1}},
        {"standard input closed: end of input at prompt 1",
         true,  false, false, "",                        blank + p1,     {true, fmt_eof("(3F10.1)"), 0}},
        {"all three closed",
         true,  true,  true,  "",                        "",             {true, "", 0}},
        {"output and error closed, a full session",
         false, true,  true,  session,                   "",             {false, "", 1, 1}},
    };
    // clang-format on
    const std::string older = older_log(5000);
    for (const Closed& row : rows) {
        SCOPED_TRACE(row.name);
        Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        Options o;
        o.close_stdin = row.in;
        o.close_stdout = row.out;
        o.close_stderr = row.err;
        o.input = row.input;
        expect_run(run(dir, o), older, row.want_out, row.end);
    }
}

// The end of a run whose terminal reader went away: with SIGPIPE in its
// default action the process dies of it; ignored at start, the exit status
// is 1. Nothing on standard error.
void expect_broken_pipe_ending(const Result& r, bool sigpipe_ignored) {
    if (sigpipe_ignored)
        expect_exit(r, 1);
    else
        expect_killed(r, SIGPIPE);
    EXPECT_EQ(r.err, "");
}

// A reader of the terminal that is gone before anything was written: the
// first prompt meets the broken pipe; no report, so the older log stays.
TEST(StreamsBrokenPipe, BeforeTheFirstPrompt) {
    const std::string older = older_log(5000);
    for (const bool ignore : {false, true}) {
        SCOPED_TRACE(ignore ? "SIGPIPE ignored at start" : "SIGPIPE in its default action");
        Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        Options o;
        o.input = empty_cycles(3);
        o.stdout_broken = true;
        o.ignore_sigpipe = ignore;
        const Result r = run(dir, o);
        expect_broken_pipe_ending(r, ignore);
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
            Scratch dir;
            dir.write("ZEFRIN.LOG", older);
            Options o;
            o.ignore_sigpipe = ignore;
            o.steps = {feed(empty_cycles(cycles)), await(p4, after), close_output()};
            const Result r = run(dir, o);
            expect_broken_pipe_ending(r, ignore);
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
    Scratch dir;
    Options o;
    o.stdin_nonblocking = true;
    o.steps = {feed("\n"),   await(p2), await_waiting_for_input(),
               feed("\n\n"), await(p4), await_waiting_for_input(),
               feed("n\n")};
    const Result r = run(dir, o);
    expect_exit(r, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(same_text(r.out, copper_cycle()));
    EXPECT_TRUE(same_text(r.log, copper_log(1)));
}

// Regression: standard output left non-blocking, with a reader that falls
// behind: a write answered with EAGAIN dropped the rest of the terminal
// buffer, so lines of the reports never reached the terminal.
TEST(StreamsNonBlocking, OutputKeepsEveryLine) {
    constexpr int cycles = 300;
    Scratch dir;
    Options o;
    o.stdout_nonblocking = true;
    o.steps = {feed(empty_cycles(cycles - 1) + "\n\n\nn\n"), await_output_stalled()};
    const Result r = run(dir, o);
    expect_exit(r, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(same_text(r.out, copper_cycles(cycles)));
    EXPECT_TRUE(same_text(r.log, copper_log(cycles)));
}

// Standard output that takes no more bytes. Regression: the run ended with
// status 0 and a truncated report. Now the first failing write is said once
// on standard error, the session goes on (the log gets every report), and a
// normal end gives status 1.
struct OutputFails {
    const char* name;
    const char* stdout_file;  // standard output on this file; else on a file with a size limit
    long limit;
    std::string input;
    std::string out;  // what standard output holds afterwards (a file only)
    Ending end;       // aborts, else status 1; standard error; reports in the log
};

TEST(StreamsOutputFails, SaidOnceTheSessionGoesOnStatusOne) {
    const std::string full = "zefrin: standard output: No space left on device\n";
    const std::string big = "zefrin: standard output: File too large\n";
    const std::string three = empty_cycles(2) + "\n\n\nn\n";
    // clang-format off
    const OutputFails rows[] = {
        {"/dev/full, one report",                     "/dev/full", -1,   "\n\n\nn\n",  "", {false, full, 1}},
        {"/dev/full, three reports",                  "/dev/full", -1,   three,          "", {false, full, 3}},
        {"/dev/full, a bad first answer",             "/dev/full", -1,   "q\n",          "", {false, full, 0}},
        {"/dev/full, end of input at the question",   "/dev/full", -1,   empty_answers,  "", {true, full + fmt_eof("(A1)"), 1}},
        {"a size limit in the middle of the first report",
                                                      nullptr,     1000, three,          copper_cycles(3).substr(0, 1000),
                                                                                             {false, big, 3}},
    };
    // clang-format on
    const std::string older = older_log(5000);
    for (const OutputFails& row : rows) {
        SCOPED_TRACE(row.name);
        Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        Options o;
        o.input = row.input;
        if (row.stdout_file != nullptr) {
            o.stdout_file = row.stdout_file;
        } else {
            // Standard output and error on files under the limit; the log on
            // a device, which no size limit binds.
            ::unlink(dir.file("ZEFRIN.LOG").c_str());
            ASSERT_EQ(::symlink("/dev/null", dir.file("ZEFRIN.LOG").c_str()), 0);
            o.streams_to_files = true;
            o.file_size_limit = row.limit;
            o.ignore_sigxfsz = true;
        }
        const Result r = run(dir, o);
        EXPECT_EQ(r.err, row.end.err);
        EXPECT_TRUE(same_text(r.out, row.out));
        if (row.end.aborts)
            expect_killed(r, SIGABRT);
        else
            expect_exit(r, 1);
        if (row.stdout_file != nullptr) {
            EXPECT_TRUE(
                same_text(r.log, row.end.reports == 0 ? older : copper_log(row.end.reports)));
        }
    }
}

}  // namespace
}  // namespace zefrin::test
