// The log "ZEFRIN.LOG" (unit 7): this session's report lines from the file's
// first byte, buffered here in blocks of 64 KiB, the file cut after them at
// the end, and locked against a second session in the same directory.
#pragma once

#include <cstddef>

#include "session/endings/ending.hpp"

namespace zefrin::streams::log {

inline constexpr char name[] = "ZEFRIN.LOG";

enum class Opened {
    yes,      // open and rewound
    refused,  // neither for update, nor for reading, nor created: errno in err
    in_use,   // a regular file locked by another session: closed again untouched
};

// Opens the log for update, else for reading, else creates it; the session
// then writes it from its first byte. A regular file is locked (flock,
// exclusive, without waiting); a system that has no lock to give runs
// without one, a file that is not regular takes none.
Opened open(int& err);

// Holds one complete line (with its line end) for the log. format is the
// statement that made it, named by the diagnostic when the log may only be
// read. The first line of the session cuts an older log; a failing write is
// said once on standard error ("zefrin: ZEFRIN.LOG: " and the system's
// message), the log then keeps the complete lines it had, and a normal end
// gives status 1.
void put(const char* format, const char* line, std::size_t n);

// Writes what is held and, when this session wrote a line, cuts the file
// after it. Safe to run again if interrupted. In a handler, a log that is not
// a regular file gets what it takes at once, and a failure goes unsaid.
void close(endings::Moment moment) noexcept;

}  // namespace zefrin::streams::log
