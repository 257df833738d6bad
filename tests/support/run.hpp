// Runs the real zefrin executable (or another program) in a scratch
// directory: input given at once or staged between waits for output and
// signals, standard streams closed, broken, non-blocking or on files, signals
// ignored at start, a file-size limit, and a root that permission bits bind.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zefrin::test {

// A fresh empty directory under the temporary directory, removed with its
// contents when the object goes.
class Scratch {
   public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes a file (creating or replacing it) in the directory.
    void write(const std::string& name, const std::string& bytes) const;
    // Reads a regular file of the directory (a link to /dev/full or a
    // directory reads as ""); "exists" tells whether the name is there.
    std::string read(const std::string& name, bool* exists = nullptr) const;

   private:
    std::string path_;
};

// One thing the test does while the program runs, in order.
struct Step {
    enum Kind {
        feed,
        await,
        signal,
        close_input,
        close_output,
        blocked_in_write,
        waiting_for_input,
        output_stalled,
        call
    };
    Kind kind;
    std::string text;                   // feed: bytes to send; await: text to wait for on stdout
    int number = 1;                     // await: how many times; signal: the signal; pause: ms
    std::function<void()> action = {};  // call: run in the test while the program runs
};

inline Step feed(std::string s) {
    return {Step::feed, std::move(s)};
}
// Waits until standard output holds s `times` times (or is closed).
inline Step await(std::string s, int times = 1) {
    return {Step::await, std::move(s), times};
}
inline Step send(int sig) {
    return {Step::signal, {}, sig};
}
inline Step close_input() {
    return {Step::close_input, {}};
}
// The reader of standard output goes away.
inline Step close_output() {
    return {Step::close_output, {}};
}
// Waits until the program is blocked in write(2) (or has ended).
inline Step await_blocked_in_write() {
    return {Step::blocked_in_write, {}};
}
// Waits until the program sleeps waiting for input, in read(2) of standard
// input or in poll(2), with no signal pending (or has ended).
inline Step await_waiting_for_input() {
    return {Step::waiting_for_input, {}};
}
// Reads nothing of standard output until the program sleeps waiting for room
// on it, in write(2) to it or in poll(2) (or has ended): a reader that
// falls behind.
inline Step await_output_stalled() {
    return {Step::output_stalled, {}};
}
// Runs f in the test (another session, say) while the program waits.
inline Step call(std::function<void()> f) {
    return {Step::call, {}, 1, std::move(f)};
}

// A change of the environment: value nullptr removes the name.
struct Env {
    const char* name;
    const char* value;
};

struct Options {
    std::string input;              // bytes sent first on standard input
    std::vector<Step> steps;        // then these, in order
    bool keep_input_open = false;   // else standard input is closed after the last step
    std::string stdin_file;         // standard input from this file instead of a pipe
    std::string stdout_file;        // standard output on this file (e.g. /dev/full)
    bool streams_to_files = false;  // standard output and error on regular files
    bool stdin_nonblocking = false;
    bool stdout_nonblocking = false;
    bool close_stdin = false;    // start with descriptor 0 closed
    bool close_stdout = false;   // start with descriptor 1 closed
    bool close_stderr = false;   // start with descriptor 2 closed
    bool stdout_broken = false;  // standard output a pipe whose reader is gone at start
    bool ignore_sigint = false;  // these signals ignored when the program starts
    bool ignore_sigquit = false;
    bool ignore_sigpipe = false;
    bool ignore_sigxfsz = false;
    std::vector<int> ignore_signals;  // more signals ignored when the program starts
    long file_size_limit = -1;        // RLIMIT_FSIZE in bytes, if not negative
    bool bind_root = false;           // run without the capability to override permissions
    std::vector<std::string> argv;    // program (looked up on PATH) and arguments; empty: zefrin
    std::vector<Env> env;
    int timeout_seconds = 60;  // then the program is killed
};

struct Result {
    std::string out;  // standard output
    std::string err;  // standard error
    std::string log;  // ZEFRIN.LOG afterwards if a regular file, else ""
    bool log_exists = false;
    bool exited = false;  // ended by exit: status holds the exit status
    int status = -1;
    int term_signal = 0;  // ended by this signal
    bool timed_out = false;
};

// Path of the executable under test.
const char* exe();

// Runs the program in dir and collects what it wrote. A step that cannot be
// done (a text that never comes) waits until the program ends or the timeout.
Result run(const Scratch& dir, const Options& opt);
Result run(const Scratch& dir, const std::string& input);

// True when a process of this test can run without overriding permission
// bits: not root, or root able to drop that capability for its children.
bool permissions_bind();

// Number of times needle stands in hay.
std::size_t count(const std::string& hay, const std::string& needle);

}  // namespace zefrin::test
