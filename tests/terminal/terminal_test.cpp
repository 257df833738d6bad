// The dialogue at a terminal: tmux gives the program a terminal, types keys
// and shows the screen. Every wait polls the screen or a file against a
// deadline.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

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

bool have_tmux() {
    return std::system("tmux -V >/dev/null 2>&1") == 0;
}

// Polls until ready() holds; false when the deadline passes first.
bool wait_for(const std::function<bool()>& ready, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int windows = 0;  // each window has a server of its own

// The program in a tmux window of 100 x 40 of its own server, started from
// a shell that notes the terminal mode before and after it and its status.
class Terminal {
   public:
    explicit Terminal(const Scratch& dir)
        : dir_(dir),
          tmux_("tmux -f /dev/null -L zefrin-test-" + std::to_string(::getpid()) + "-" +
                std::to_string(++windows)) {
        const std::string script = "cd '" + dir.path() +
                                   "' && ulimit -c 0 && stty -g >before && '" + ZEFRIN_EXE +
                                   "'; s=\\$?; stty -g >after; echo \\$s >status; sleep 60";
        std::system((tmux_ + " new-session -d -x 100 -y 40 \"" + script + "\"").c_str());
    }
    ~Terminal() { std::system((tmux_ + " kill-server 2>/dev/null").c_str()); }

    void keys(const std::string& args) { std::system((tmux_ + " send-keys " + args).c_str()); }
    std::string screen() { return output_of(tmux_ + " capture-pane -p"); }
    // Waits until the screen shows text `times` times (the screen keeps no
    // blank at the end of a line).
    bool shows(std::string text, int times = 1) {
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return wait_for(
            [&] {
                const std::string s = screen();
                int n = 0;
                for (auto at = s.find(text); at != std::string::npos; at = s.find(text, at + 1))
                    ++n;
                return n >= times;
            },
            std::chrono::seconds(10));
    }
    // The program's process: the child of the shell in the window.
    pid_t program() {
        const std::string shell = output_of(tmux_ + " display-message -p '#{pane_pid}'");
        std::ifstream children("/proc/" + std::to_string(std::stoi(shell)) + "/task/" +
                               std::to_string(std::stoi(shell)) + "/children");
        pid_t pid = 0;
        children >> pid;
        return pid;
    }
    // The exit status as the shell saw it (128 + signal after a signal).
    int status() {
        if (!wait_for([&] { return !dir_.read("status").empty(); }, std::chrono::seconds(10)))
            return -1;
        const std::string s = dir_.read("status");
        return std::atoi(s.c_str());
    }

   private:
    const Scratch& dir_;
    std::string tmux_;
};

const char p1[] = "Enter: mass (GeV/c2), siga (mb), sige (mb) ";
const char p3[] = "Enter: length (m), Z1, prop1, Z2, prop2, Z3, prop3 ";
const char p4[] = " continue [Y/N] ? ";

// An answer is recalled with Up at its own prompt only, one field of it is
// edited with the cursor keys, and the report is that of the edited line.
TEST(EditingAtATerminal, UpRecallsTheAnswerOfThePromptAndAFieldIsEditedInPlace) {
    if (!have_tmux())
        GTEST_SKIP() << "tmux is not installed";
    Scratch dir;
    Terminal t(dir);
    ASSERT_TRUE(t.shows(p1));
    t.keys("Enter Enter");
    ASSERT_TRUE(t.shows(p3));
    t.keys("'0.01      29.       1.' Enter");
    ASSERT_TRUE(t.shows(p4));
    t.keys("y Enter");
    ASSERT_TRUE(t.shows(p1, 2));
    t.keys("Up Enter");  // the empty answers are not kept: nothing to recall
    ASSERT_TRUE(t.shows("Enter: p0", 2));
    t.keys("Up");  // prompt 2 has no answer of its own to recall either
    t.keys("Enter");
    ASSERT_TRUE(t.shows(p3, 2));
    t.keys("Up");
    ASSERT_TRUE(t.shows(std::string(p3) + "0.01      29.       1.", 2));
    // From the end of the line back to the start of the second field:
    // aluminium in place of copper.
    t.keys("-N 12 Left");
    t.keys("DC DC 13 Enter");
    ASSERT_TRUE(t.shows(p4, 2)) << t.screen();
    const std::string s = t.screen();
    EXPECT_NE(s.find("Enter: mass (GeV/c2), siga (mb), sige (mb)\n"), std::string::npos) << s;
    EXPECT_NE(s.find(std::string(p3) + "0.01      13.       1.\n"), std::string::npos) << s;
    EXPECT_NE(s.find("Z1 = 13.0,  prop1 = 1.0000"), std::string::npos) << s;
    t.keys("n Enter");
    EXPECT_EQ(t.status(), 0);
    const std::string log = dir.read("ZEFRIN.LOG");
    EXPECT_NE(log.find("Z1 = 29.0,  prop1 = 1.0000"), std::string::npos);
    EXPECT_NE(log.find("Z1 = 13.0,  prop1 = 1.0000"), std::string::npos);
    EXPECT_EQ(dir.read("after"), dir.read("before"));
}

// Every ending while an answer is being typed: its message, its status, and
// the terminal in the mode it had before the program started.
struct Ending {
    const char* name;
    const char* keys;  // typed after "12" at prompt 1 (or empty)
    int sig;           // else this signal sent to the program
    const char* message;
    int status;
};

constexpr Ending endings[] = {
    {"a bad first answer", "q Enter", 0, p1, 0},
    {"Ctrl-C", "C-c", 0, "Interrupt", 1},
    {"Ctrl-\\", "'C-\\'", 0, "Quit signal", 128 + SIGABRT},
    {"Ctrl-D on an empty line", "BSpace BSpace C-d", 0, "fmt: end of file", 128 + SIGABRT},
    {"termination", nullptr, SIGTERM, "Killed", 1},
    {"floating-point exception", nullptr, SIGFPE, "Floating Exception", 128 + SIGABRT},
    {"trace trap", nullptr, SIGTRAP, "Trace trap", 128 + SIGABRT},
    {"abort from outside", nullptr, SIGABRT, "IOT Trap", 128 + SIGABRT},
};

TEST(EditingAtATerminal, EveryEndingLeavesTheTerminalAsItWas) {
    if (!have_tmux())
        GTEST_SKIP() << "tmux is not installed";
    for (const Ending& e : endings) {
        SCOPED_TRACE(e.name);
        Scratch dir;
        Terminal t(dir);
        ASSERT_TRUE(t.shows(p1));
        t.keys("12");
        ASSERT_TRUE(t.shows(std::string(p1) + "12"));
        if (e.keys != nullptr)
            t.keys(e.keys);
        else
            ::kill(t.program(), e.sig);
        EXPECT_EQ(t.status(), e.status) << t.screen();
        EXPECT_TRUE(t.shows(e.message)) << t.screen();
        EXPECT_FALSE(dir.read("before").empty());
        EXPECT_EQ(dir.read("after"), dir.read("before"));
    }
}

}  // namespace
}  // namespace zefrin::test
