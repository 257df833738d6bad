// The terminal (unit 6): standard output, buffered here and written with
// write(2) in pieces that a handler can account for.
#pragma once

#include <cstddef>

#include "session/endings/ending.hpp"

namespace zefrin::streams::terminal {

// A new run: nothing held, the stream alive. Notes whether the broken pipe
// (SIGPIPE) was ignored when the program started, and ignores it from now on:
// a vanished reader shows as EPIPE and ends the run as that signal would.
void open();

// Holds bytes for the terminal; they go out when the buffer fills and at flush.
void put(const char* bytes, std::size_t n);

// Writes what is held (prompts call this). A broken pipe ends the run: the
// log closed, then SIGPIPE in its default action, or status 1 when it was
// ignored at start. Any other failure is said once on standard error,
// "zefrin: standard output: " and the system's message; the terminal then
// takes nothing more and a normal end gives status 1.
void flush();

// At an ending: orderly, what is held is written; in a handler, what the
// terminal takes at once (a stalled reader must not hold the ending back).
void close(endings::Moment moment) noexcept;

}  // namespace zefrin::streams::terminal
