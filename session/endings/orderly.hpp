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

// The orderly end of the run with an exit status: through exit(), which
// closes the units (see start()).
[[noreturn]] void finish(int status);

// For tests and fuzzing inside one process: when set, finish and fail close
// the units and then call the hook (with the status, or -SIGABRT for the
// abort) instead of ending the process. The hook must not return: it throws.
using EndHook = void (*)(int status);
void set_end_hook(EndHook hook);

// Restores the default action of the abort signal and raises it.
[[noreturn]] void abort_now() noexcept;

}  // namespace zefrin
