// A second way to run the real executable, for what the shared harness does
// not offer: staged input, a reader of standard output that goes away, closed
// standard descriptors, SIGPIPE or SIGXFSZ ignored at start, a file-size
// limit, and a root that permission bits bind.
#pragma once

#include <string>
#include <vector>

#include "run.hpp"

namespace zefrin::faults {

// One thing the test does while the program runs, in order.
struct Step {
    enum Kind { feed, await, signal, close_input, close_output, pause };
    Kind kind;
    std::string text;  // feed: bytes to send; await: text to wait for on stdout
    int number = 1;    // await: how many times; signal: the signal; pause: ms
};

inline Step feed(std::string s) {
    return {Step::feed, std::move(s)};
}
inline Step await(std::string s, int times = 1) {
    return {Step::await, std::move(s), times};
}
inline Step send(int sig) {
    return {Step::signal, {}, sig};
}
inline Step close_input() {
    return {Step::close_input, {}};
}
inline Step close_output() {
    return {Step::close_output, {}};
}
inline Step pause_ms(int ms) {
    return {Step::pause, {}, ms};
}

struct Launch {
    std::vector<Step> steps;          // after the last step the input is closed
    std::string stdin_file;           // standard input from this file instead of a pipe
    bool stdin_nonblocking = false;   // standard input set O_NONBLOCK
    bool stdout_nonblocking = false;  // standard output set O_NONBLOCK
    bool close_stdin = false;         // start with descriptor 0 closed
    bool close_stdout = false;        // start with descriptor 1 closed
    bool close_stderr = false;        // start with descriptor 2 closed
    bool ignore_sigint = false;       // SIGINT ignored when the program starts
    bool ignore_sigquit = false;      // SIGQUIT ignored when the program starts
    bool ignore_sigpipe = false;      // SIGPIPE ignored when the program starts
    bool ignore_sigxfsz = false;      // SIGXFSZ ignored when the program starts
    long file_size_limit = -1;        // RLIMIT_FSIZE in bytes, if not negative
    bool bind_root = false;           // run without the capability to override permissions
    int timeout_seconds = 60;
};

// Runs zefrin in dir. A step that cannot be done (a text that never comes)
// ends the run at the timeout.
test::Result launch(const test::Scratch& dir, const Launch& how);

// True when a process of this test can run without overriding permission
// bits: not root, or root able to drop that capability for its children.
bool permissions_bind();

}  // namespace zefrin::faults
