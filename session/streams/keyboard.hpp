// The keyboard (unit 5): the lines of standard input.
#pragma once

#include <cstddef>

namespace zefrin::streams::keyboard {

// Characters of a line kept for its fields: seven fields of ten at most.
inline constexpr std::size_t kept = 80;

enum class Got {
    line,     // a line ended by a line end
    partial,  // a last line without a line end: the input has ended with it
    end,      // the input had ended: no line
    failed,   // a read failed: error() tells why; the input counts as ended
};

// Forgets what was read ahead of standard input: a new run reads afresh.
void reset();

// Reads the next line of standard input, keeping its first `kept`
// characters in head (length in n) and discarding the rest. The one place
// where the dialogue takes a line from the user.
Got read_line(char (&head)[kept], std::size_t& n);

// The errno of the read that failed (after Got::failed).
int error();

}  // namespace zefrin::streams::keyboard
