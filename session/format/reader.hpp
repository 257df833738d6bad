// The fixed-field reader: answer lines of 10-character number fields with
// one implied decimal.
#pragma once

#include <cstddef>

namespace zefrin::reader {

// Reads one field (its characters without the ending comma) into value.
// Blanks are ignored; a field with no digit reads as 0. Returns false for a
// bad entry: any other character, or characters that do not form a number.
bool field(const char* s, std::size_t n, float& value);

// Cuts the line into n consecutive fields of 10 characters (a comma ends a
// field early; a field beyond the end of the line reads as 0) and reads them
// into values[0..n). Returns false when any field is a bad entry.
bool fields(const char* line, std::size_t len, int n, float* values);

}  // namespace zefrin::reader
