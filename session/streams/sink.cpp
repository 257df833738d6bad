// The two sinks of the program's own streams.
#include "session/streams/sink.hpp"

#include "session/streams/editor.hpp"
#include "session/streams/log.hpp"
#include "session/streams/terminal.hpp"

namespace zefrin::streams {

void Sink::prompt(const char* bytes, std::size_t n) {
    terminal(bytes, n);
    flush();
}

namespace {

class Units final : public Sink {
   public:
    void terminal(const char* bytes, std::size_t n) override { terminal::put(bytes, n); }
    void log(const char* format, const char* line, std::size_t n) override {
        log::put(format, line, n);
    }
    void flush() override { terminal::flush(); }
    void prompt(const char* bytes, std::size_t n) override {
        if (!editor::active()) {
            Sink::prompt(bytes, n);
            return;
        }
        // At a terminal the line editor draws the prompt with the answer, so
        // that it can redraw a long line whole.
        terminal::flush();
        editor::prompt(bytes, n);
    }
};

class TerminalOnly final : public Sink {
   public:
    void terminal(const char* bytes, std::size_t n) override { terminal::put(bytes, n); }
    void log(const char*, const char*, std::size_t) override {}
    void flush() override { terminal::flush(); }
};

Units the_units;
TerminalOnly the_terminal;

}  // namespace

Sink* installed::current = &the_units;

Sink* install(Sink* s) {
    Sink* const was = installed::current;
    installed::current = s != nullptr ? s : &the_units;
    return was;
}

Sink& units() { return the_units; }

Sink& terminal_only() { return the_terminal; }

}  // namespace zefrin::streams
