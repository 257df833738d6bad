// The log at fault: refused by the file system or by permissions, a device
// that is always full, a file-size limit reached in the middle of a line.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <functional>
#include <string>

#include "expect.hpp"
#include "launch.hpp"
#include "run.hpp"

namespace zefrin::faults {
namespace {

// The diagnostic of the log (unit 7) when its first line is due and it may
// only be read: the first line due is the page-control line of report 1.
const std::string cannot_write =
    "write start: can't write file\napparent state: unit 7 named ZEFRIN.LOG\n"
    "last format: ('0')\nlately writing sequential formatted external IO\n";

std::string cannot_open(const std::string& why) {
    return "open: " + why +
           "\napparent state: unit 7 named ZEFRIN.LOG\nlately writing direct unformatted external "
           "IO\n";
}

const std::string older = older_log(40000);
const std::string up_to_prompt_3 = std::string("  \n") + p1 + p2 + p3;

enum class After { older_kept, this_session, directory, no_file, dangling };

struct Refusal {
    const char* name;
    std::function<void(const test::Scratch&)> prepare;
    bool aborts;  // else status 0
    std::string out, err;
    After log;
};

void expect_log(const test::Scratch& dir, const test::Result& r, After after) {
    struct stat sb {};
    const bool there = ::lstat(dir.file("ZEFRIN.LOG").c_str(), &sb) == 0;
    switch (after) {
        case After::older_kept:
            EXPECT_TRUE(same_text(r.log, older));
            break;
        case After::this_session:
            EXPECT_TRUE(same_text(r.log, copper_log(1)));
            break;
        case After::directory:
            EXPECT_TRUE(there && S_ISDIR(sb.st_mode));
            break;
        case After::no_file:
            EXPECT_FALSE(there);
            break;
        case After::dangling:
            EXPECT_TRUE(there && S_ISLNK(sb.st_mode));
            EXPECT_FALSE(r.log_exists);
            break;
    }
}

void check(const Refusal& row, bool bind_root) {
    SCOPED_TRACE(row.name);
    test::Scratch dir;
    row.prepare(dir);
    Launch how;
    how.bind_root = bind_root;
    how.steps = {feed("\n\n\nn\n")};
    const test::Result r = launch(dir, how);
    EXPECT_FALSE(r.timed_out);
    if (row.aborts) {
        EXPECT_FALSE(r.exited) << "exit status " << r.status;
        EXPECT_EQ(r.term_signal, SIGABRT);
    } else {
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, 0);
    }
    EXPECT_TRUE(same_text(r.out, row.out));
    EXPECT_EQ(r.err, row.err);
    expect_log(dir, r, row.log);
}

void read_only_dir(const test::Scratch& dir) {
    ::chmod(dir.path().c_str(), 0555);
}

// Refusals that no permission of the user overrides.
TEST(LogRefused, ByTheFileSystem) {
    const Refusal rows[] = {
        {"ZEFRIN.LOG is a directory: opened for reading only, refused at the first line",
         [](const test::Scratch& d) { ::mkdir(d.file("ZEFRIN.LOG").c_str(), 0755); }, true,
         up_to_prompt_3, cannot_write, After::directory},
        {"a symbolic link into a directory that does not exist",
         [](const test::Scratch& d) {
             (void)!::symlink("missing/ZEFRIN.LOG", d.file("ZEFRIN.LOG").c_str());
         },
         true, "", cannot_open("No such file or directory"), After::dangling},
        {"a read-only directory holding a writable older log: overwritten and cut",
         [](const test::Scratch& d) {
             d.write("ZEFRIN.LOG", older);
             read_only_dir(d);
         },
         false, copper_cycle(), "", After::this_session},
    };
    for (const Refusal& row : rows) check(row, false);
}

// Refusals by permission bits. Root overrides them unless it gives up that
// capability, which these runs do where they can.
TEST(LogRefused, ByPermissionBits) {
    if (!permissions_bind())
        GTEST_SKIP() << "running as root without the means to drop the capability that "
                        "overrides permission bits: a read-only log would simply be written";
    const Refusal rows[] = {
        {"a read-only older log: the dialogue runs until the first line is due",
         [](const test::Scratch& d) {
             d.write("ZEFRIN.LOG", older);
             ::chmod(d.file("ZEFRIN.LOG").c_str(), 0444);
         },
         true, up_to_prompt_3, cannot_write, After::older_kept},
        {"a read-only directory without a log: stopped before the first prompt", read_only_dir,
         true, "", cannot_open("Permission denied"), After::no_file},
        {"a read-only directory holding a read-only older log",
         [](const test::Scratch& d) {
             d.write("ZEFRIN.LOG", older);
             ::chmod(d.file("ZEFRIN.LOG").c_str(), 0444);
             read_only_dir(d);
         },
         true, up_to_prompt_3, cannot_write, After::older_kept},
    };
    for (const Refusal& row : rows) check(row, true);
}

// What root does with the same files when it keeps its capabilities: the
// permission bits do not stop it, so the session is an ordinary one.
TEST(LogRefused, RootWritesThroughPermissionBits) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "not root: permission bits bind this user";
    const Refusal rows[] = {
        {"a read-only older log, as root",
         [](const test::Scratch& d) {
             d.write("ZEFRIN.LOG", older);
             ::chmod(d.file("ZEFRIN.LOG").c_str(), 0444);
         },
         false, copper_cycle(), "", After::this_session},
        {"a read-only directory without a log, as root", read_only_dir, false, copper_cycle(), "",
         After::this_session},
    };
    for (const Refusal& row : rows) check(row, false);
}

// The log accepts no byte (/dev/full) or stops accepting bytes at a size
// limit: the failure is said once, the dialogue goes on, the status is
// unchanged, and the log keeps only complete lines.
struct Failing {
    const char* name;
    bool dev_full;
    long limit;  // file-size limit in bytes (with /dev/full: none)
    int cycles;
    bool ends_with_n;  // else end of input at the question
    std::string err;
};

TEST(LogWriteFails, SaidOnceAndTheDialogueGoesOn) {
    const std::string full = "zefrin: ZEFRIN.LOG: No space left on device\n";
    const std::string big = "zefrin: ZEFRIN.LOG: File too large\n";
    const std::string eof_at_question = keyboard_diagnostic("fmt", "end of file", "(A1)");
    const Failing rows[] = {
        {"/dev/full, the buffer filling in the middle of the session", true, -1, 60, true, full},
        {"/dev/full, then end of input at the question", true, -1, 60, false,
         full + eof_at_question},
        {"/dev/full, one report written at the end", true, -1, 1, true, full},
        {"a size limit inside a line, in the middle of the session", false, 100000, 100, true, big},
        {"a size limit inside a line, met at the end", false, 3000, 5, true, big},
        {"a size limit of zero", false, 0, 3, true, big},
        {"a size limit inside a line, then end of input at the question", false, 3000, 5, false,
         eof_at_question + big},
    };
    for (const Failing& row : rows) {
        SCOPED_TRACE(row.name);
        test::Scratch dir;
        if (row.dev_full)
            ASSERT_EQ(::symlink("/dev/full", dir.file("ZEFRIN.LOG").c_str()), 0);
        else
            dir.write("ZEFRIN.LOG", older_log(200000));
        Launch how;
        how.file_size_limit = row.limit;
        how.ignore_sigxfsz = true;
        std::string input = empty_cycles(row.cycles);
        input.resize(input.size() - 2);  // the last answer to the question
        input += row.ends_with_n ? "n\n" : "";
        how.steps = {feed(input)};
        const test::Result r = launch(dir, how);
        EXPECT_FALSE(r.timed_out);
        if (row.ends_with_n) {
            EXPECT_TRUE(r.exited);
            EXPECT_EQ(r.status, 0);
        } else {
            EXPECT_EQ(r.term_signal, SIGABRT);
        }
        EXPECT_EQ(r.err, row.err);
        std::string out;
        for (int k = 0; k < row.cycles; ++k) out += copper_cycle();
        EXPECT_TRUE(same_text(r.out, out));
        if (row.dev_full) {
            char target[PATH_MAX] = {};
            EXPECT_GT(::readlink(dir.file("ZEFRIN.LOG").c_str(), target, sizeof target - 1), 0);
            EXPECT_STREQ(target, "/dev/full");
        } else {
            // Every complete line that fits under the limit, and no more.
            const std::string whole = copper_log(row.cycles);
            const std::size_t limit = static_cast<std::size_t>(row.limit);
            const std::size_t cut = limit == 0 ? 0 : whole.rfind('\n', limit - 1) + 1;
            EXPECT_EQ(r.log.size(), cut);
            EXPECT_TRUE(same_text(r.log, whole.substr(0, cut)));
            expect_log_shape(r.log);
        }
    }
}

}  // namespace
}  // namespace zefrin::faults
