// Where the lines of the report writer go. One sink is installed at a time:
// the program's units by default; a test, or a program that wants a report
// somewhere else, installs its own.
#pragma once

#include <cstddef>

namespace zefrin::streams {

class Sink {
   public:
    // Bytes for the terminal (unit 6): whole lines, a prompt, or the line of
    // two blanks that opens a cycle.
    virtual void terminal(const char* bytes, std::size_t n) = 0;
    // One complete line for the log (unit 7); format is the statement that
    // made it.
    virtual void log(const char* format, const char* line, std::size_t n) = 0;
    // What the terminal holds is due now.
    virtual void flush() = 0;
    // A prompt: the terminal's bytes, then a flush.
    virtual void prompt(const char* bytes, std::size_t n);

   protected:
    ~Sink() = default;
};

// The installed sink.
namespace installed {
extern Sink* current;
}
inline Sink& sink() {
    return *installed::current;
}

// Installs s (nullptr: the units again) and returns the sink it replaces.
Sink* install(Sink* s);

// The units of the dialogue: the terminal and the log.
Sink& units();

// The terminal alone: lines for the log (the page control included) are
// dropped. A report through this sink is its 80-column lines on standard
// output, without prompts and without the log.
Sink& terminal_only();

}  // namespace zefrin::streams
