// The normal end, the diagnostic of the input/output layer and the refusal.
#include "session/endings/orderly.hpp"

#include <signal.h>

#include <cstdlib>

#include "session/endings/ending.hpp"
#include "session/endings/signals.hpp"

namespace zefrin::endings {

namespace {

struct Text {
    char buf[512];
    std::size_t n = 0;
    void add(const char* s) {
        for (; *s && n + 1 < sizeof buf; ++s) buf[n++] = *s;
        buf[n] = '\0';
    }
};

EndHook end_hook = nullptr;

}  // namespace

void set_end_hook(EndHook hook) { end_hook = hook; }

// Signals stay deliverable while the units are shown and closed: a stream
// that waits (a log on a FIFO nobody reads) must never make the run
// unkillable. A signal meanwhile ends the run its own way; once the units are
// closed, nothing more is let through.
void finish(int status) {
    // Closed before the status is known: the last write of the log may fail.
    release_units();
    close_units(Moment::orderly);
    if (end_hook == nullptr) hold_signals();
    status = normal_status(status);
    if (end_hook != nullptr) end_hook(status);
    std::exit(status);
}

void fail(const Diagnostic& d) {
    Text t;
    t.add(d.context);
    t.add(": ");
    t.add(d.message);
    t.add("\napparent state: unit ");
    t.add(d.unit == Unit::keyboard ? "5 " : "7 ");
    if (d.name != nullptr) {
        t.add("named ");
        t.add(d.name);
    } else {
        t.add("(unnamed)");
    }
    t.add("\n");
    if (d.format != nullptr) {
        t.add("last format: ");
        t.add(d.format);
        t.add("\n");
    }
    t.add("lately ");
    t.add(d.lately == Lately::reading   ? "reading sequential formatted"
          : d.lately == Lately::writing ? "writing sequential formatted"
                                        : "writing direct unformatted");
    t.add(" external IO\n");
    // What the terminal holds goes first, so the diagnostic follows the dialogue.
    release_units();
    show_units();
    say(t.buf);
    close_units(Moment::orderly);
    if (end_hook != nullptr) end_hook(-SIGABRT);
    hold_signals();
    abort_now();
}

void refuse(const char* line) {
    hold_signals();
    say(line);
    std::exit(1);
}

}  // namespace zefrin::endings
