// The log at fault: refused by the file system or by permissions, a device
// that is always full, a file-size limit reached in the middle of a line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "expect.hpp"
#include "run.hpp"

namespace zefrin::test {
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
const std::string up_to_prompt_3 = blank + p1 + p2 + p3;

enum class After { older_kept, this_session, directory, no_file, link_kept };

struct Refusal {
    const char* name;
    void (*prepare)(const Scratch&);
    bool aborts;  // else status 0
    std::string out, err;
    After log;
};

void expect_log(const Scratch& dir, const Result& r, After after) {
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
        case After::link_kept:
            EXPECT_TRUE(there && S_ISLNK(sb.st_mode));
            EXPECT_FALSE(r.log_exists);
            break;
    }
}

void check(const Refusal& row, bool bind_root) {
    SCOPED_TRACE(row.name);
    Scratch dir;
    row.prepare(dir);
    Options o;
    o.bind_root = bind_root;
    o.input = "\n\n\nn\n";
    const Result r = run(dir, o);
    if (row.aborts)
        expect_killed(r, SIGABRT);
    else
        expect_exit(r, 0);
    EXPECT_TRUE(same_text(r.out, row.out));
    EXPECT_EQ(r.err, row.err);
    expect_log(dir, r, row.log);
}

// What stands in the directory before the run.
void a_directory(const Scratch& d) {
    ::mkdir(d.file("ZEFRIN.LOG").c_str(), 0755);
}
void a_link_into_a_missing_directory(const Scratch& d) {
    (void)!::symlink("missing/ZEFRIN.LOG", d.file("ZEFRIN.LOG").c_str());
}
void a_link_to_itself(const Scratch& d) {
    (void)!::symlink("ZEFRIN.LOG", d.file("ZEFRIN.LOG").c_str());
}
void read_only_dir(const Scratch& d) {
    ::chmod(d.path().c_str(), 0555);
}
void read_only_log(const Scratch& d) {
    d.write("ZEFRIN.LOG", older);
    ::chmod(d.file("ZEFRIN.LOG").c_str(), 0444);
}
void writable_log_in_read_only_dir(const Scratch& d) {
    d.write("ZEFRIN.LOG", older);
    read_only_dir(d);
}
void read_only_log_in_read_only_dir(const Scratch& d) {
    read_only_log(d);
    read_only_dir(d);
}

// Refusals that no permission of the user overrides.
TEST(LogRefused, ByTheFileSystem) {
    // clang-format off
    const Refusal rows[] = {
        {"ZEFRIN.LOG is a directory: opened for reading only, refused at the first line",
         a_directory,                     true,  up_to_prompt_3, cannot_write, After::directory},
        {"a symbolic link into a directory that does not exist",
         a_link_into_a_missing_directory, true,  "", cannot_open("No such file or directory"), After::link_kept},
        {"a symbolic link to itself",
         a_link_to_itself,                true,  "", cannot_open("Too many levels of symbolic links"), After::link_kept},
        {"a read-only directory holding a writable older log: overwritten and cut",
         writable_log_in_read_only_dir,   false, copper_cycle(), "", After::this_session},
    };
    // clang-format on
    for (const Refusal& row : rows) check(row, false);
}

// Refusals by permission bits. Root overrides them unless it gives up that
// capability, which these runs do where they can.
TEST(LogRefused, ByPermissionBits) {
    if (!permissions_bind())
        GTEST_SKIP() << "running as root without the means to drop the capability that "
                        "overrides permission bits: a read-only log would simply be written";
    // clang-format off
    const Refusal rows[] = {
        {"a read-only older log: the dialogue runs until the first line is due",
         read_only_log,                  true, up_to_prompt_3, cannot_write, After::older_kept},
        {"a read-only directory without a log: stopped before the first prompt",
         read_only_dir,                  true, "", cannot_open("Permission denied"), After::no_file},
        {"a read-only directory holding a read-only older log",
         read_only_log_in_read_only_dir, true, up_to_prompt_3, cannot_write, After::older_kept},
    };
    // clang-format on
    for (const Refusal& row : rows) check(row, true);
}

// What root does with the same files when it keeps its capabilities: the
// permission bits do not stop it, so the session is an ordinary one.
TEST(LogRefused, RootWritesThroughPermissionBits) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "not root: permission bits bind this user";
    // clang-format off
    const Refusal rows[] = {
        {"a read-only older log, as root",                read_only_log, false, copper_cycle(), "", After::this_session},
        {"a read-only directory without a log, as root",  read_only_dir, false, copper_cycle(), "", After::this_session},
    };
    // clang-format on
    for (const Refusal& row : rows) check(row, false);
}

// The log accepts no byte (/dev/full) or stops accepting bytes at a size
// limit: the failure is said once, the dialogue goes on, a normal end gives
// status 1 instead of 0, and the log keeps only complete lines. The log's buffer of
// 64 KiB holds some 47 reports; standard output and error may be files.
struct Failing {
    const char* name;
    bool dev_full;
    long limit;  // file-size limit in bytes (with /dev/full: none)
    int cycles;
    bool ends_with_n;  // else end of input at the question
    bool files;        // standard output and error on files
    std::string err;
};

TEST(LogWriteFails, SaidOnceAndTheDialogueGoesOn) {
    const std::string full = "zefrin: ZEFRIN.LOG: No space left on device\n";
    const std::string big = "zefrin: ZEFRIN.LOG: File too large\n";
    const std::string eof_at_question = fmt_eof("(A1)");
    // clang-format off
    const Failing rows[] = {
        {"/dev/full, the buffer filling in the middle of the session",      true,  -1,     60,  true,  false, full},
        {"/dev/full, then end of input at the question",                    true,  -1,     60,  false, false, full + eof_at_question},
        {"/dev/full, one report written at the end",                        true,  -1,     1,   true,  false, full},
        {"/dev/full, one report, output and error on files",                true,  -1,     1,   true,  true,  full},
        {"/dev/full, the buffer filled twice, output and error on files",   true,  -1,     100, true,  true,  full},
        {"a size limit inside a line, in the middle of the session",        false, 100000, 100, true,  false, big},
        {"a size limit inside a line, met at the end",                      false, 3000,   5,   true,  false, big},
        {"a size limit of zero",                                            false, 0,      3,   true,  false, big},
        {"a size limit inside a line, then end of input at the question",   false, 3000,   5,   false, false, eof_at_question + big},
    };
    // clang-format on
    for (const Failing& row : rows) {
        SCOPED_TRACE(row.name);
        Scratch dir;
        if (row.dev_full)
            ASSERT_EQ(::symlink("/dev/full", dir.file("ZEFRIN.LOG").c_str()), 0);
        else
            dir.write("ZEFRIN.LOG", older_log(200000));
        Options o;
        o.file_size_limit = row.limit;
        o.ignore_sigxfsz = true;
        o.streams_to_files = row.files;
        o.input = empty_cycles(row.cycles - 1) + empty_answers + (row.ends_with_n ? "n\n" : "");
        const Result r = run(dir, o);
        if (row.ends_with_n)
            expect_exit(r, 1);
        else
            expect_killed(r, SIGABRT);
        EXPECT_EQ(r.err, row.err);
        EXPECT_TRUE(same_text(r.out, copper_cycles(row.cycles)));
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

// Two sessions in one directory. Regression: the second session wrote its
// report over the first one's log, and the first one's end then left NUL
// bytes and half reports in it; both ended with status 0.
const std::string in_use = "zefrin: ZEFRIN.LOG is in use by another session\n";

// The second session stops before its first prompt: one line, status 1,
// nothing on the terminal, the log as the first session has it.
void expect_second_refused(const Result& r) {
    expect_exit(r, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, in_use);
}

TEST(LogInUse, ASecondSessionStopsBeforeItsFirstPrompt) {
    {
        SCOPED_TRACE("the first session waits at its question after one report");
        Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        Result second;
        Options first;
        first.steps = {feed(empty_answers), await(p4),
                       call([&] { second = run(dir, "\n\n\nn\n"); }), feed("n\n")};
        const Result r = run(dir, first);
        expect_second_refused(second);
        // Meanwhile the file is as the first session left it: the older log
        // cut at its first line, the report still in its buffer.
        EXPECT_EQ(second.log, "");
        expect_exit(r, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(same_text(r.log, copper_log(1)));
    }
    {
        SCOPED_TRACE("a lock held by another process on a log opened for reading");
        Scratch dir;
        dir.write("ZEFRIN.LOG", older);
        const int fd = ::open(dir.file("ZEFRIN.LOG").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        const Result r = run(dir, "\n\n\nn\n");
        ::close(fd);
        expect_second_refused(r);
        EXPECT_TRUE(same_text(r.log, older));
    }
}

// A log that is not a regular file takes no lock: two sessions on a log
// linked to /dev/null both run to their end.
TEST(LogInUse, NoLockOnALogThatIsNoRegularFile) {
    Scratch dir;
    ASSERT_EQ(::symlink("/dev/null", dir.file("ZEFRIN.LOG").c_str()), 0);
    Result second;
    Options first;
    first.steps = {feed(empty_answers), await(p4), call([&] { second = run(dir, "\n\n\nn\n"); }),
                   feed("n\n")};
    const Result r = run(dir, first);
    for (const Result* each : {&r, static_cast<const Result*>(&second)}) {
        expect_exit(*each, 0);
        EXPECT_EQ(each->err, "");
        EXPECT_TRUE(same_text(each->out, copper_cycle()));
    }
}

// A log that blocks: a FIFO that nobody reads fills after some 47 reports
// (its 64 KiB), and the next block of the log waits, in the middle of the
// session or at its normal end. Regression: signals were held across that
// write, so none of them ended the run. Every signal must end it, with its
// line and its status, and the log gets only what it takes at once: a
// beginning of this session's lines.
struct Blocked {
    int sig;
    const char* line;
    bool aborts;  // else: status 1, or killed by sig when line is empty
};

TEST(LogBlocks, EverySignalStillEndsTheRun) {
    // clang-format off
    const Blocked rows[] = {
        {SIGINT,  "Interrupt\n",          false}, {SIGTERM, "Killed\n",             false},
        {SIGQUIT, "Quit signal\n",        true},  {SIGFPE,  "Floating Exception\n", true},
        {SIGTRAP, "Trace trap\n",         true},  {SIGABRT, "IOT Trap\n",           true},
        {SIGHUP,  "",                     false},
    };
    // clang-format on
    struct Where {
        const char* name;
        int cycles;
        std::string input;
    };
    const Where wheres[] = {
        {"in the middle of the session", 200, empty_cycles(200)},
        {"at the normal end", 60, empty_cycles(59) + empty_answers + "n\n"},
    };
    for (const Where& where : wheres)
        for (const Blocked& row : rows) {
            SCOPED_TRACE(std::string(where.name) + ", " + (row.line[0] ? row.line : "hang-up"));
            const int cycles = where.cycles;
            const std::string full_log = copper_log(cycles);
            Scratch dir;
            ASSERT_EQ(::mkfifo(dir.file("ZEFRIN.LOG").c_str(), 0600), 0);
            // Held open and never read until the end, so the test can see what
            // the log took.
            const int reader = ::open(dir.file("ZEFRIN.LOG").c_str(), O_RDONLY | O_NONBLOCK);
            ASSERT_GE(reader, 0);
            Options o;
            o.input = where.input;
            o.steps = {await_blocked_in_write(), send(row.sig)};
            o.keep_input_open = true;
            o.timeout_seconds = 20;
            const Result r = run(dir, o);
            std::string taken;
            char buf[65536];
            for (ssize_t k; (k = ::read(reader, buf, sizeof buf)) > 0;)
                taken.append(buf, static_cast<std::size_t>(k));
            ::close(reader);
            EXPECT_FALSE(r.timed_out);
            EXPECT_EQ(r.err, row.line);
            if (row.aborts)
                expect_killed(r, SIGABRT);
            else if (row.line[0] == '\0')
                expect_killed(r, row.sig);
            else
                expect_exit(r, 1);
            // The reports shown stop where the log blocked; the first block of
            // the log went whole into the FIFO.
            EXPECT_LE(count(r.out, p4), static_cast<std::size_t>(cycles));
            EXPECT_EQ(full_log.compare(0, taken.size(), taken), 0)
                << "not a beginning of this session's log";
            EXPECT_GE(taken.size(), copper_log(40).size());
        }
}

}  // namespace
}  // namespace zefrin::test
