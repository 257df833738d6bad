// The dialogue at a terminal: tmux gives the program a terminal of its own,
// types the keys and shows the screen. Every wait polls against a deadline.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "expect.hpp"
#include "run.hpp"

namespace zefrin::test {
namespace {

std::string output_of(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

bool within_10s(const std::function<bool()>& ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (; !ready(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

// The program in a 100 x 40 window of a tmux server of its own (its socket
// in the scratch directory), run as a job of a shell that notes the terminal
// mode before and after it, and while it is stopped (then continues it with
// fg), then its status. For a window that will be closed, the shell and the
// program ignore the hang-up and standard error goes to the file err.
struct Terminal {
    const Scratch& dir;
    const std::string tmux = "tmux -f /dev/null -S '" + dir.path() + "/tmux'";
    // env: assignments put before the program (LC_ALL=C, say).
    explicit Terminal(const Scratch& d, bool to_close = false, const std::string& env = "")
        : dir(d) {
        std::system(
            (tmux + " new-session -d -x 100 -y 40 \"cd '" + dir.path() +
             "' && ulimit -c 0 && stty -g >before && set -m && " +
             (to_close ? "trap '' HUP && " : "") + env + "'" + ZEFRIN_EXE +
             (to_close ? "' 2>err" : "'") +
             "; s=\\$?; if [ \\$s = 148 ]; then stty -g >stopped; fg >/dev/null; s=\\$?; fi; "
             "stty -g >after; echo \\$s >status" +
             (to_close ? "" : "; sleep 60") + "\"")
                .c_str());
    }
    ~Terminal() { std::system((tmux + " kill-server 2>/dev/null").c_str()); }
    void keys(const std::string& args) { std::system((tmux + " send-keys " + args).c_str()); }
    std::string screen() { return output_of(tmux + " capture-pane -p"); }
    // The screen shows text `times` times (it keeps no blank at a line's end).
    bool shows(std::string text, int times = 1) {
        while (text.back() == ' ') text.pop_back();
        return within_10s([&] {
            const std::string s = screen();
            int n = 0;
            for (auto at = s.find(text); at != std::string::npos; at = s.find(text, at + 1)) ++n;
            return n >= times;
        });
    }
    pid_t program() {  // the child of the shell in the window
        return std::atoi(output_of("pgrep -P $(" + tmux + " display -p '#{pane_pid}')").c_str());
    }
    int status() {  // as the shell saw it: 128 + the signal after a signal
        return within_10s([&] { return !dir.read("status").empty(); })
                   ? std::atoi(dir.read("status").c_str())
                   : -1;
    }
};

// Up recalls the answer of its own prompt only (empty answers are not kept),
// one field is edited in place, and the report is that of the edited line.
TEST(EditingAtATerminal, UpRecallsTheAnswerOfThePromptAndAFieldIsEditedInPlace) {
    if (std::system("tmux -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tmux is not installed";
    Scratch dir;
    Terminal t(dir);
    ASSERT_TRUE(t.shows(p1));
    t.keys("Enter Enter '0.01      29.       1.' Enter");
    ASSERT_TRUE(t.shows(p4));
    t.keys("y Enter Up Enter Up Enter Up");
    ASSERT_TRUE(t.shows(std::string(p3) + "0.01      29.       1.", 2)) << t.screen();
    t.keys("-N 12 Left");  // from the end to the start of the second field
    t.keys("DC DC 13 Enter");
    ASSERT_TRUE(t.shows(p4, 2)) << t.screen();
    const std::string s = t.screen();
    EXPECT_NE(s.find("Enter: mass (GeV/c2), siga (mb), sige (mb)\nEnter: p0 (GeV/c), rho (g/cm3), "
                     "frac ( <=1 )\n" +
                     std::string(p3) + "0.01      13.       1.\n"),
              std::string::npos)
        << s;
    EXPECT_NE(s.find("Z1 = 13.0,  prop1 = 1.0000"), std::string::npos) << s;
    t.keys("n Enter");
    EXPECT_EQ(t.status(), 0);
    EXPECT_NE(dir.read("ZEFRIN.LOG").find("Z1 = 13.0,  prop1 = 1.0000"), std::string::npos);
    EXPECT_EQ(dir.read("after"), dir.read("before"));
}

// Every ending while an answer is being typed: its message, its status, and
// the terminal in the mode it had before. Ctrl-Z gives the terminal back in
// its mode while the run is stopped; on continuing (fg) the line being typed
// is drawn again and typing goes on. A broken pipe has no row: the
// editor works only when standard output is the terminal, and a terminal
// that goes away gives a hang-up and failed reads, not a broken pipe.
constexpr int close_window = -1;  // in place of a signal: the window is closed

struct Ending {
    const char* keys;     // typed after "12" at prompt 1; else
    int sig;              // this signal is sent to the program
    const char* message;  // on the screen; on standard error when the window is closed
    int status;
    const char* then = nullptr;  // typed when the question shows (or the line is drawn again)
    bool stops = false;          // the keys stop the run, and the shell continues it
    const char* env = "";        // put before the program
};

constexpr Ending endings[] = {
    {"q Enter", 0, p1, 0},  // a bad first answer: the normal end
    // A character beyond ASCII is a bad entry, as from a pipe, also in a
    // locale of single bytes: not dropped from the answer.
    {"'\u00e9' Enter", 0, p1, 0, nullptr, false, "LC_ALL=C "},
    {"BSpace BSpace Enter Enter Enter", 0, "continue [Y/N] ? n", 0, "n Enter"},  // after a report
    {"C-z", 0, "sige (mb) 12q", 0, "q Enter", true},  // then a bad first answer
    {"C-c", 0, "12Interrupt", 1},
    {"'C-\\'", 0, "12Quit signal", 128 + SIGABRT},
    {"BSpace BSpace C-d", 0, "sige (mb) fmt: end of file", 128 + SIGABRT},
    {nullptr, SIGTERM, "12Killed", 1},
    {nullptr, SIGFPE, "12Floating Exception", 128 + SIGABRT},
    {nullptr, SIGTRAP, "12Trace trap", 128 + SIGABRT},
    {nullptr, SIGABRT, "12IOT Trap", 128 + SIGABRT},
    {nullptr, SIGHUP, "sige (mb) 12", 128 + SIGHUP},  // no line: raised again, log kept
    // The read fails (EIO), not an end of file: the diagnostic says so.
    {nullptr, close_window, "fmt: Input/output error\napparent state: unit 5", 128 + SIGABRT},
};

TEST(EditingAtATerminal, EveryEndingLeavesTheTerminalAsItWas) {
    if (std::system("tmux -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tmux is not installed";
    for (const Ending& e : endings) {
        SCOPED_TRACE(e.message);
        Scratch dir;
        Terminal t(dir, e.sig == close_window, e.env);
        ASSERT_TRUE(t.shows(p1));
        t.keys("12");
        ASSERT_TRUE(t.shows(std::string(p1) + "12"));
        if (e.keys != nullptr)
            t.keys(e.keys);
        if (e.stops) {
            ASSERT_TRUE(within_10s([&] { return !dir.read("stopped").empty(); }));
            EXPECT_EQ(dir.read("stopped"), dir.read("before"));
            ASSERT_TRUE(t.shows(std::string(p1) + "12", 2)) << t.screen();
        } else if (e.then != nullptr) {
            ASSERT_TRUE(t.shows(p4)) << t.screen();
        }
        if (e.then != nullptr)
            t.keys(e.then);
        if (e.sig > 0)
            ::kill(t.program(), e.sig);
        if (e.sig == close_window) {
            std::system((t.tmux + " kill-window").c_str());
            EXPECT_EQ(t.status(), e.status);
            EXPECT_NE(dir.read("err").find(e.message), std::string::npos) << dir.read("err");
            continue;  // no terminal left to have a mode
        }
        EXPECT_EQ(t.status(), e.status) << t.screen();
        EXPECT_TRUE(t.shows(e.message)) << t.screen();
        EXPECT_FALSE(dir.read("before").empty());
        EXPECT_EQ(dir.read("after"), dir.read("before"));
    }
}

}  // namespace
}  // namespace zefrin::test
