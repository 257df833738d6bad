// The kinds of ending of a run and the last steps they share. The bottom of
// the input/output layer: it knows no stream; the streams above tell it, when
// a run starts, how their units are shown and closed.
#pragma once

namespace zefrin::endings {

// How a run ends. Every ending closes the units first (the log cut to this
// session's complete lines); then:
enum class Ending {
    normal,      // exit status 0, or 1 when a write to a unit failed
    line_exit,   // one line on standard error, exit status 1 (interrupt, termination)
    line_abort,  // one line on standard error, then the abort signal (quit, traps, IOT)
    diagnostic,  // the four-line diagnostic of the input/output layer, then the abort signal
    reraised,    // no line: the signal's own default action (hang-up, timers, broken pipe, ...)
    refused,     // one line, exit status 1, before the first prompt: the log untouched
};

// Where an ending closes the units: on the program's path, or inside a signal
// handler, where only async-signal-safe calls are made, nothing waits on a
// stream and what a stream does not take at once is given up.
enum class Moment { orderly, in_handler };

// The streams as an ending sees them.
struct Units {
    // Writes what the terminal holds, before a message on standard error.
    void (*show)();
    // Closes every unit as at a normal end. Safe to call more than once.
    void (*close)(Moment) noexcept;
    // Gives the terminal back in the mode it had when the run started (the
    // line editor's raw mode undone), before any message. Async-signal-safe.
    void (*release)() noexcept;
};

// Registered by the streams when a run opens them; until then an ending
// closes nothing. A new run also forgets the failed writes of an earlier one
// in the same process.
void on_ending(Units units) noexcept;

// The registered steps (no-ops before on_ending).
void show_units();
void close_units(Moment moment) noexcept;
void release_units() noexcept;

// A write to a unit failed and was reported: a normal end gives status 1.
void note_failure() noexcept;
// The status of a normal end asked for with `status`: 1 instead of 0 after a
// failed write.
int normal_status(int status) noexcept;

// Writes all of text to standard error (async-signal-safe; a failure there
// has nowhere to be told).
void say(const char* text) noexcept;

// Restores the default action of the abort signal and raises it.
[[noreturn]] void abort_now() noexcept;

}  // namespace zefrin::endings
