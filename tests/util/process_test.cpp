// The routines seen from outside a process: characters on standard input and
// output, the end of a session through exit, and text on a real terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "expect.hpp"
#include "run.hpp"

namespace {

using zefrin::test::Env;
using zefrin::test::repeat;
using zefrin::test::Result;
using zefrin::test::Scratch;
using namespace std::chrono_literals;

// Runs argv (looked up on PATH) in dir, standard input read from the bytes
// of input and standard output and error collected in files of dir.
Result spawn(const Scratch& dir, const std::vector<std::string>& argv,
             const std::string& input = "", const std::vector<Env>& env = {}) {
    dir.write(".in", input);
    zefrin::test::Options o;
    o.argv = argv;
    o.stdin_file = dir.file(".in");
    o.streams_to_files = true;
    o.env = env;
    o.timeout_seconds = 20;
    return zefrin::test::run(dir, o);
}

Result probe(const Scratch& dir, std::vector<std::string> args, const std::string& input = "",
             const std::vector<Env>& env = {}) {
    args.insert(args.begin(), UTIL_PROBE);
    return spawn(dir, args, input, env);
}

const std::string star = " " + std::string(79, '*') + "\n";
// An older log, longer than anything the tests write.
const std::string old_log =
    repeat("1 an older session's line, to be cut away by the next one\n", 20);

TEST(Getcha, GivesEachByteThenMinusOneAtTheEnd) {
    struct Row {
        std::string input;
        const char* codes;  // each getcha until -1, then one more
    };
    const Row rows[] = {
        {"", "-1 -1\n"},
        {"A", "65 -1 -1\n"},
        {std::string("\0\n", 2), "0 10 -1 -1\n"},
        {"\x7f\x80\xfe\xff", "127 128 254 255 -1 -1\n"},  // byte 255 is not the end
    };
    const Scratch dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.codes);
        const Result r = probe(dir, {"codes"}, row.input);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, row.codes);
        EXPECT_EQ(r.out, "");
    }
}

TEST(Putcha, WritesTheByteOfTheCodeUnflushed) {
    struct Row {
        std::vector<std::string> args;
        std::string out;
    };
    const Row rows[] = {
        {{"put", "72", "put", "105", "put", "10"}, "Hi\n"},
        {{"put", "0", "put", "255"}, std::string("\0\xff", 2)},
        // putchar keeps the low byte: 256 + 65 is 'A', -1 is 255.
        {{"put", "256", "put", "321", "put", "-1"}, std::string("\0A\xff", 3)},
        // Not flushed: a direct write to the descriptor overtakes it.
        {{"put", "120", "raw", "W"}, "Wx"},
    };
    const Scratch dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.back());
        const Result r = probe(dir, row.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, row.out);
    }
}

// The log holds exactly the lines written before exit, as at a normal end.
TEST(Exit, EndsTheSessionWithItsStatusAndCutsTheLog) {
    struct Row {
        int stars;
        const char* n;
        int status;
        std::string log;
    };
    const Row rows[] = {
        {3, "0", 0, repeat(star, 3)},
        {3, "3", 3, repeat(star, 3)},
        {1, "3", 3, star},
        {0, "3", 3, old_log},  // nothing written: the older log stays whole
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.stars) + " lines, exit " + row.n);
        const Scratch dir;
        dir.write("ZEFRIN.LOG", old_log);
        std::vector<std::string> args{"start"};
        for (int k = 0; k < row.stars; ++k) args.push_back("star");
        for (const char* a : {"exit", row.n, "star"}) args.push_back(a);
        const Result r = probe(dir, args);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(dir.read("ZEFRIN.LOG"), row.log);
        EXPECT_EQ(r.out, repeat(star, row.stars));
        EXPECT_EQ(r.err, "");
    }
}

// ncurses ends the program through exit(1): the session still closes.
TEST(Gtext, WithoutAKnownTerminalEndsWithStatus1AndTheLogCut) {
    struct Row {
        const char* term;  // nullptr: TERM unset
        const char* message;
    };
    const Row rows[] = {
        {nullptr, "Error opening terminal: unknown.\n"},
        {"", "Error opening terminal: unknown.\n"},
        {"nonexistent-term", "Error opening terminal: nonexistent-term.\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        const Scratch dir;
        dir.write("ZEFRIN.LOG", old_log);
        const Result r = probe(dir, {"start", "star", "star", "gtext", "10", "2", "text", "star"},
                               "", {{"TERM", row.term}});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, row.message);
        EXPECT_EQ(r.out, repeat(star, 2));
        EXPECT_EQ(dir.read("ZEFRIN.LOG"), repeat(star, 2));
    }
}

// A tmux server of its own, with an 80 x 24 window, runs the probe; the
// probe holds the screen until the server goes.
class Screen {
   public:
    explicit Screen(const Scratch& dir) : dir_(dir), sock_(dir.file("tmux.sock")) {
        dir_.write("tmux.conf", "set -g default-terminal screen\nset -g remain-on-exit on\n");
    }
    ~Screen() { (void)tmux({"kill-server"}); }
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    bool start(const std::vector<std::string>& args) {
        std::vector<std::string> a{"new-session", "-d", "-s", "util",      "-x",      "80",
                                   "-y",          "24", "-c", dir_.path(), UTIL_PROBE};
        a.insert(a.end(), args.begin(), args.end());
        return tmux(a).status == 0;
    }
    std::string capture() { return tmux({"capture-pane", "-p", "-t", "util"}).out; }
    // Waits until the screen shows want, or for 10 s; returns the last screen.
    std::string await(const std::string& want) {
        std::string got;
        for (int k = 0; k < 200 && (got = capture()) != want; ++k)
            std::this_thread::sleep_for(50ms);
        return got;
    }

   private:
    Result tmux(std::vector<std::string> a) {
        a.insert(a.begin(), {"tmux", "-S", sock_, "-f", dir_.file("tmux.conf")});
        return spawn(dir_, a, "", {{"TMUX", nullptr}});
    }
    const Scratch& dir_;
    std::string sock_;
};

bool have_tmux() {
    const Scratch dir;
    return spawn(dir, {"tmux", "-V"}).status == 0;
}

TEST(Gtext, WritesAtColumnXAndRowYOfTheScreen) {
    if (!have_tmux())
        GTEST_SKIP() << "tmux is needed to read the screen";
    struct Row {
        const char* what;
        std::vector<std::string> args;
        std::vector<std::pair<int, std::string>> shown;  // row, its text; others blank
    };
    const Row rows[] = {
        {"third line from the eleventh column",
         {"gtext", "10", "2", "text"},
         {{2, "          text"}}},
        {"the screen opens once: the first text stays",
         {"gtext", "10", "2", "text", "gtext", "0", "0", "top"},
         {{0, "top"}, {2, "          text"}}},
        {"last column and last row are on the screen",
         {"gtext", "79", "0", "R", "gtext", "0", "23", "B"},
         {{0, std::string(79, ' ') + "R"}, {23, "B"}}},
        {"off the screen the text goes at the cursor",
         {"gtext", "10", "2", "text", "gtext", "80", "2", "far", "gtext", "0", "24", "low", "gtext",
          "-1", "0", "neg"},
         {{2, "          textfarlowneg"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const Scratch dir;
        Screen screen(dir);
        std::vector<std::string> args{"start"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        args.push_back("hold");
        ASSERT_TRUE(screen.start(args));
        std::vector<std::string> want(24);
        for (const auto& [y, text] : row.shown) want[static_cast<std::size_t>(y)] = text;
        std::string screenful;
        for (const std::string& l : want) screenful += l + "\n";
        EXPECT_EQ(screen.await(screenful), screenful);
    }
}

}  // namespace
