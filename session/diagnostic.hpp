// The one path by which an input/output error stops the run.
#pragma once

namespace zefrin {

enum class Unit { keyboard = 5, log = 7 };

// Writes the four-line diagnostic to standard error (context and message;
// the unit; the format of the statement under way, when there is one; what
// the unit was doing), closes every unit as at a normal end, and ends the
// process through the abort signal with its default action.
[[noreturn]] void fail(const char* context, const char* message, Unit unit, const char* format,
                       bool writing, bool direct = false);

// Restores the default action of the abort signal and raises it.
[[noreturn]] void abort_now() noexcept;

}  // namespace zefrin
