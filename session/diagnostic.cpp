// The diagnostic of the input/output layer and the abort that follows it.
#include "session/diagnostic.hpp"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "session/signals.hpp"
#include "session/streams/editor.hpp"
#include "session/units.hpp"

namespace zefrin {

namespace {

struct Text {
    char buf[512];
    std::size_t n = 0;
    void add(const char* s) {
        for (; *s && n < sizeof buf; ++s) buf[n++] = *s;
    }
};

EndHook end_hook = nullptr;

}  // namespace

void set_end_hook(EndHook hook) { end_hook = hook; }

void finish(int status) {
    if (end_hook != nullptr) {
        units::close_all();
        end_hook(status);
    }
    std::exit(status);
}

[[noreturn]] void abort_now() noexcept {
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGABRT, &sa, nullptr);
    std::abort();
}

void fail(const char* context, const char* message, Unit unit, const char* format, bool writing,
          bool direct) {
    if (end_hook == nullptr) hold_signals();
    Text t;
    t.add(context);
    t.add(": ");
    t.add(message);
    t.add("\napparent state: unit ");
    t.add(unit == Unit::keyboard ? "5 (unnamed)" : "7 named ");
    if (unit == Unit::log) t.add(units::log_name);
    t.add("\n");
    if (format != nullptr) {
        t.add("last format: ");
        t.add(format);
        t.add("\n");
    }
    t.add("lately ");
    t.add(writing ? "writing" : "reading");
    t.add(direct ? " direct unformatted" : " sequential formatted");
    t.add(" external IO\n");
    editor::restore_terminal();
    // What the terminal holds goes first, so the diagnostic follows the dialogue.
    units::flush_terminal();
    const char* p = t.buf;
    std::size_t left = t.n;
    while (left > 0) {
        const ssize_t r = ::write(2, p, left);
        if (r <= 0) break;
        p += r;
        left -= static_cast<std::size_t>(r);
    }
    units::close_all();
    if (end_hook != nullptr) end_hook(-SIGABRT);
    abort_now();
}

}  // namespace zefrin
