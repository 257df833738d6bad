// The program's units: the terminal (unit 6) and the log "ZEFRIN.LOG"
// (unit 7), both buffered here and written with write(2), and their closing.
#pragma once

#include <cstddef>
#include <string>

namespace zefrin::units {

inline constexpr char log_name[] = "ZEFRIN.LOG";

// Makes sure descriptors 0, 1 and 2 are open (on /dev/null if they were
// closed), so that the log can never take the place of a standard stream.
void guard_standard_streams();

// Opens the log for update, else for reading, else creates it; the session
// then writes it from its first byte. Returns 0, or the errno of the last
// refusal when all three fail.
int open_log();

// Sends what is pending on the terminal (prompts call this).
void flush_terminal();

// Closes every unit as at a normal end: the terminal's pending bytes are
// written; the log's complete lines are written and, if this session wrote
// any line to it, the file is cut after them. Safe to call more than once
// and from a signal handler (only async-signal-safe calls there; a failing
// last write of the log is then not reported).
void close_all(bool from_handler = false) noexcept;

// Test hook: while set, lines go to these strings and not to the files.
struct Capture {
    std::string terminal;
    std::string log;
};
void capture(Capture* c);

}  // namespace zefrin::units
