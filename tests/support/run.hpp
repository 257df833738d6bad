// Runs the real zefrin executable on scripted input in a scratch directory.
#pragma once

#include <functional>
#include <string>

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
    // Reads a file of the directory; "exists" tells whether it was there.
    std::string read(const std::string& name, bool* exists = nullptr) const;

private:
    std::string path_;
};

struct Options {
    std::string input;            // bytes on standard input; then end of input
    bool keep_input_open = false; // leave stdin open after the input (signal tests)
    // Send this signal once standard output holds `after` `count` times.
    int signal = 0;
    std::string after;
    int count = 1;
    // Signals ignored in the child before exec (e.g. SIGINT, SIGQUIT).
    bool ignore_sigint = false;
    bool ignore_sigquit = false;
    bool close_stdout = false;    // start with descriptor 1 closed
    bool stdout_broken = false;   // standard output a pipe whose reader is gone
    int timeout_seconds = 20;
};

struct Result {
    std::string out;     // standard output
    std::string err;     // standard error
    std::string log;     // ZEFRIN.LOG afterwards ("" if absent)
    bool log_exists = false;
    bool exited = false;  // ended by exit: status holds the exit status
    int status = -1;
    int term_signal = 0;  // ended by this signal
    bool timed_out = false;
};

// Path of the executable under test.
const char* exe();

// Runs zefrin in dir with the options; the log is read back afterwards.
Result run(const Scratch& dir, const Options& opt);
Result run(const Scratch& dir, const std::string& input);

}  // namespace zefrin::test
