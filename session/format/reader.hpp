// The fixed-field reader: answer lines of 10-character number fields with
// one implied decimal, and the lines of the keyboard (unit 5).
#pragma once

#include <cstddef>

namespace zefrin::reader {

// Characters of a line kept for its fields: seven fields of ten at most.
inline constexpr std::size_t kept = 80;

// Reads one field (its characters without the ending comma) into value.
// Blanks are ignored; a field with no digit reads as 0. Returns false for a
// bad entry: any other character, or characters that do not form a number.
bool field(const char* s, std::size_t n, float& value);

// Cuts the line into n consecutive fields of 10 characters (a comma ends a
// field early; a field beyond the end of the line reads as 0) and reads them
// into values[0..n). Returns false when any field is a bad entry.
bool fields(const char* line, std::size_t len, int n, float* values);

enum class Got {
    line,     // a line ended by a line end
    partial,  // a last line without a line end: the input has ended with it
    end,      // the input had ended: no line
};

// Forgets what was read ahead of standard input: a new run reads afresh.
void reset();

// Reads the next line of standard input, keeping its first `kept`
// characters in head (length in n) and discarding the rest.
Got read_line(char (&head)[kept], std::size_t& n);

}  // namespace zefrin::reader
