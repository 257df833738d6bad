// The three units of a run together: standard streams guarded, the terminal
// and the log opened, and their closing handed to the endings below.
#pragma once

#include "session/streams/log.hpp"

namespace zefrin::streams {

// Makes sure descriptors 0, 1 and 2 are open (on /dev/null, for reading
// only, if they were closed: writes to a closed standard output still fail),
// so that the log can never take the place of a standard stream;
// a log beyond the file-size limit then fails with EFBIG instead of killing
// the run in the middle of a line.
void guard_standard_streams();

// Opens the terminal and the log (log::open) and tells the endings how to
// show and close them.
log::Opened open_units(int& err);

// Closes every unit as at a normal end: the log first (a terminal that takes
// nothing must not cost its lines), then the terminal.
void close_units(endings::Moment moment) noexcept;

}  // namespace zefrin::streams
