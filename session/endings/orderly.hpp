// The orderly endings of a run on the program's own path: the normal end
// with an exit status, the diagnostic of the input/output layer with the
// abort, and the refusal before the first prompt.
#pragma once

namespace zefrin::endings {

// What the unit of a diagnostic was doing, for its last line.
enum class Lately {
    reading,         // "reading sequential formatted"
    writing,         // "writing sequential formatted"
    writing_direct,  // "writing direct unformatted" (the log refused at its opening)
};

// The units a diagnostic can name, by their numbers.
enum class Unit { keyboard = 5, log = 7 };

struct Diagnostic {
    const char* context;  // first line: context and message
    const char* message;
    Unit unit;
    const char* name;    // the unit's file name; nullptr: "(unnamed)"
    const char* format;  // the format of the statement under way; nullptr: none
    Lately lately;
};

// The normal end (Ending::normal): the units closed, then exit with status,
// or 1 instead of 0 when a write to a unit failed. Until the units are
// closed a caught signal can still end the run its own way.
[[noreturn]] void finish(int status);

// Ending::diagnostic: what the terminal holds is shown, the four lines go to
// standard error, the units are closed, and the process ends through the
// abort signal with its default action.
[[noreturn]] void fail(const Diagnostic& d);

// Ending::refused: the line on standard error and exit status 1, with
// nothing shown and no unit written.
[[noreturn]] void refuse(const char* line);

// For tests and fuzzing inside one process: when set, finish and fail close
// the units and then call the hook (with the status, or -SIGABRT for the
// abort) instead of ending the process. The hook must not return: it throws.
using EndHook = void (*)(int status);
void set_end_hook(EndHook hook);

}  // namespace zefrin::endings
