// The lines that a piece of code sends to the terminal and to the log, taken
// in the test process through a sink instead of written to the files.
#pragma once

#include <string>

#include "session/streams/sink.hpp"

namespace zefrin::test {

struct Capture final : streams::Sink {
    std::string terminal_text;
    std::string log_text;
    void terminal(const char* bytes, std::size_t n) override { terminal_text.append(bytes, n); }
    void log(const char*, const char* line, std::size_t n) override { log_text.append(line, n); }
    void flush() override {}
};

struct Captured {
    std::string terminal;
    std::string log;
};

template <class Write>
Captured captured(Write write) {
    Capture sink;
    streams::Sink* const was = streams::install(&sink);
    write();
    streams::install(was);
    return {sink.terminal_text, sink.log_text};
}

// A report line set apart between two lines of asterisks, as warnings are.
inline std::string starred(const std::string& line) {
    const std::string stars = " " + std::string(79, '*') + "\n";
    return stars + line + "\n" + stars;
}

}  // namespace zefrin::test
