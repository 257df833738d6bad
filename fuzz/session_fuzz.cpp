// Fuzzes whole sessions inside one process: the input bytes are what the user
// types. Every run must end (status 0, or the abort after a diagnostic), the
// terminal and the log must keep their shape, and the log must hold exactly
// this session's report lines, or an older log untouched.
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue/dialogue.hpp"
#include "session/endings/orderly.hpp"
#include "session/format/reader.hpp"
#include "session/streams/units.hpp"

namespace {

void check(bool ok) {
    if (!ok)
        __builtin_trap();
}

constexpr std::string_view prompts[] = {
    "Enter: mass (GeV/c2), siga (mb), sige (mb) ",
    "Enter: p0 (GeV/c), rho (g/cm3), frac ( <=1 ) ",
    "Enter: length (m), Z1, prop1, Z2, prop2, Z3, prop3 ",
    " continue [Y/N] ? ",
};

// What the terminal shows, piece by piece.
enum Piece : int { blank_line = 0, p1, p2, p3, p4, report };

constexpr std::size_t report_width = 80;

// The run ended through the end hook with this status.
struct Ended {
    int status;
};

[[noreturn]] void on_end(int status) {
    throw Ended{status};
}

// The descriptors the fuzzer itself uses, kept while a run borrows 0, 1, 2;
// its working directory, and the scratch directory where the runs work.
int saved_in = -1, saved_out = -1, saved_err = -1;
int home_dir = -1, scratch_dir = -1;

// An older, longer log: lines of a character that no report contains.
const std::string& older_log() {
    static const std::string text = [] {
        std::string s;
        for (int i = 0; i < 400; ++i) s += std::string(79, '~') + "\n";
        return s;
    }();
    return text;
}

void put_file(const char* name, std::string_view bytes) {
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    check(fd >= 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t r = ::write(fd, bytes.data() + done, bytes.size() - done);
        check(r > 0);
        done += static_cast<std::size_t>(r);
    }
    ::close(fd);
}

std::string get_file(const char* name, bool* exists = nullptr) {
    std::string s;
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (exists != nullptr)
        *exists = fd >= 0;
    if (fd < 0)
        return s;
    struct stat sb {};
    check(::fstat(fd, &sb) == 0);
    s.resize(static_cast<std::size_t>(sb.st_size));
    std::size_t done = 0;
    while (done < s.size()) {
        const ssize_t r = ::read(fd, s.data() + done, s.size() - done);
        check(r > 0);
        done += static_cast<std::size_t>(r);
    }
    ::close(fd);
    return s;
}

void onto(const char* name, int flags, int target) {
    const int fd = ::open(name, flags | O_CLOEXEC, 0644);
    check(fd >= 0);
    check(::dup2(fd, target) == target);
    ::close(fd);
}

// What a session on this input must do, worked out line by line from the
// dialogue's rules: which prompts appear, how many reports, how it ends.
struct Expected {
    std::vector<int> pieces;
    int status = 0;
    std::string err;
};

std::string diagnostic(const char* context, const char* message, const char* format) {
    return std::string(context) + ": " + message +
           "\napparent state: unit 5 (unnamed)\nlast format: " + format +
           "\nlately reading sequential formatted external IO\n";
}

Expected expect(std::string_view in) {
    Expected e;
    std::size_t pos = 0;
    bool partial = false;  // the last line taken had no line end
    auto next = [&](std::string_view& line) {
        if (pos >= in.size())
            return false;
        const std::size_t nl = in.find('\n', pos);
        if (nl == std::string_view::npos) {
            line = in.substr(pos);
            pos = in.size();
            partial = true;
        } else {
            line = in.substr(pos, nl - pos);
            pos = nl + 1;
        }
        return true;
    };
    auto ended = [&](const char* format) {
        e.status = -SIGABRT;
        e.err = diagnostic(partial ? "read start" : "fmt", "end of file", format);
        return e;
    };
    auto bad = [&](const char* format) {
        e.status = -SIGABRT;
        e.err = diagnostic("fmt", "read unexpected character", format);
        return e;
    };
    float v[7];
    for (;;) {
        std::string_view line;
        e.pieces.push_back(blank_line);
        e.pieces.push_back(p1);
        if (!next(line))
            return ended("(3F10.1)");
        if (!zefrin::reader::fields(line.data(), line.size(), 3, v))
            return e;  // status 0
        e.pieces.push_back(p2);
        if (!next(line))
            return ended("(3F10.1)");
        if (!zefrin::reader::fields(line.data(), line.size(), 3, v))
            return bad("(3F10.1)");
        e.pieces.push_back(p3);
        if (!next(line))
            return ended("(7F10.1)");
        if (!zefrin::reader::fields(line.data(), line.size(), 7, v))
            return bad("(7F10.1)");
        e.pieces.push_back(report);
        e.pieces.push_back(p4);
        if (!next(line))
            return ended("(A1)");
        const char ans = line.empty() ? ' ' : line[0];
        if (ans == 'N' || ans == 'n')
            return e;
    }
}

// True when the text holds the word in any mix of upper and lower case.
bool has_word(std::string text, const char* word) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return text.find(word) != std::string::npos;
}

// Cuts the terminal text into pieces; the lines of each report go to reports.
std::vector<int> pieces_of(const std::string& t, std::vector<std::string>& reports) {
    std::vector<int> out;
    std::size_t p = 0;
    while (p < t.size()) {
        if (t.compare(p, 3, "  \n") == 0) {
            out.push_back(blank_line);
            p += 3;
            continue;
        }
        bool prompt = false;
        for (int k = 0; k < 4; ++k) {
            const std::string_view s = prompts[k];
            if (t.compare(p, s.size(), s) == 0) {
                out.push_back(p1 + k);
                p += s.size();
                prompt = true;
                break;
            }
        }
        if (prompt)
            continue;
        const std::size_t nl = t.find('\n', p);
        check(nl != std::string::npos);  // no partial line on the terminal
        check(nl - p == report_width);   // every report line is 80 characters
        if (out.empty() || out.back() != report) {
            out.push_back(report);
            reports.emplace_back();
        }
        reports.back().append(t, p, nl + 1 - p);
        p = nl + 1;
    }
    return out;
}

void run(const std::uint8_t* data, std::size_t size, bool seeded) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    check(::fchdir(scratch_dir) == 0);
    struct Home {
        ~Home() { (void)!::fchdir(home_dir); }
    } home;
    put_file("input", in);
    if (seeded)
        put_file(zefrin::streams::log::name, older_log());
    else
        ::unlink(zefrin::streams::log::name);

    onto("input", O_RDONLY, 0);
    onto("terminal", O_WRONLY | O_CREAT | O_TRUNC, 1);
    onto("errors", O_WRONLY | O_CREAT | O_TRUNC, 2);
    bool ended = false;
    int status = 0;
    int err = 0;
    check(zefrin::streams::open_units(err) == zefrin::streams::log::Opened::yes);
    try {
        zefrin::dialogue();
    } catch (const Ended& e) {
        ended = true;
        status = e.status;
    }
    ::dup2(saved_in, 0);
    ::dup2(saved_out, 1);
    ::dup2(saved_err, 2);

    check(ended);
    const Expected want = expect(in);
    check(status == want.status);
    check(get_file("errors") == want.err);

    const std::string terminal = get_file("terminal");
    bool exists = false;
    const std::string log = get_file(zefrin::streams::log::name, &exists);
    check(exists);
    check(!has_word(terminal, "nan") && !has_word(terminal, "inf"));
    check(!has_word(log, "nan") && !has_word(log, "inf"));

    std::vector<std::string> reports;
    check(pieces_of(terminal, reports) == want.pieces);

    if (reports.empty()) {
        // No report: an older log keeps every byte; a new one stays empty.
        check(log == (seeded ? older_log() : std::string()));
        return;
    }
    // The log holds the session's reports line for line, each opened by its
    // page-control line: a new page before reports 4, 7, 10, ... and nothing
    // of the older log.
    std::string want_log;
    for (std::size_t k = 0; k < reports.size(); ++k) {
        want_log += (k > 0 && k % 3 == 0) ? "1\n" : "0\n";
        want_log += reports[k];
    }
    check(log == want_log);
}

// The scratch directory of the runs, removed at exit.
std::string scratch;

void remove_scratch() {
    for (const char* name : {"input", "terminal", "errors", zefrin::streams::log::name})
        ::unlink((scratch + "/" + name).c_str());
    ::rmdir(scratch.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A memory file system where there is one: a disk file system may write a
    // file through to the disk when it is cut to zero and closed, every run.
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    if (::access("/dev/shm", W_OK | X_OK) == 0)
        base = "/dev/shm";
    std::string dir = base + "/zefrin-fuzz-XXXXXX";
    check(::mkdtemp(dir.data()) != nullptr);
    scratch = dir;
    std::atexit(remove_scratch);
    home_dir = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    scratch_dir = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    check(home_dir >= 0 && scratch_dir >= 0);
    saved_in = ::fcntl(0, F_DUPFD_CLOEXEC, 10);
    saved_out = ::fcntl(1, F_DUPFD_CLOEXEC, 10);
    saved_err = ::fcntl(2, F_DUPFD_CLOEXEC, 10);
    check(saved_in >= 0 && saved_out >= 0 && saved_err >= 0);
    // Sanitizer reports go to the real standard error even while a run has
    // descriptor 2 on its own file.
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(saved_err)));
    zefrin::endings::set_end_hook(on_end);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    run(data, size, false);
    run(data, size, true);
    return 0;
}
