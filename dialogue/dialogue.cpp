// The dialogue loop: three prompts, thirteen numbers, a report, a question.
#include "dialogue/dialogue.hpp"

#include <cstdlib>
#include <cstring>

#include "base/record.hpp"
#include "passage/setup.hpp"
#include "session/endings/orderly.hpp"
#include "session/endings/signals.hpp"
#include "session/format/reader.hpp"
#include "session/format/writer.hpp"
#include "session/streams/keyboard.hpp"
#include "session/streams/sink.hpp"
#include "session/streams/units.hpp"

namespace zefrin {

namespace {

using endings::fail;
using endings::finish;
using streams::keyboard::Got;
using streams::keyboard::kept;

// The diagnostic of the keyboard (unit 5) at a prompt whose answer has the
// given format.
[[noreturn]] void keyboard_fails(const char* context, const char* message, const char* format) {
    fail({context, message, endings::Unit::keyboard, nullptr, format, endings::Lately::reading});
}

// The input ended inside the last answer line (no line end after it).
bool input_ended = false;

// A zero entry, of either sign, takes the remembered value.
void keep(float& v, float remembered) {
    if (v == 0.0f) v = remembered;
}

// Reads one answer line for a prompt whose answer has the given format.
// End of input and a failed read stop the run with their diagnostic.
void answer(char (&head)[kept], std::size_t& n, const char* format) {
    if (input_ended) keyboard_fails("read start", "end of file", format);
    const Got got = streams::keyboard::read_line(head, n);
    if (got == Got::failed)
        keyboard_fails("fmt", std::strerror(streams::keyboard::error()), format);
    if (got == Got::end) keyboard_fails("fmt", "end of file", format);
    input_ended = got == Got::partial;
}

// Reads the n numbers of one numeric answer. Returns false on a bad entry.
bool numbers(const char* format, int count, float* values) {
    char head[kept];
    std::size_t n = 0;
    answer(head, n, format);
    return reader::fields(head, n, count, values);
}

// An exit() that did not come through finish (the exit routine of the
// utilities, a library that gives up) still closes the units.
void at_exit() {
    endings::close_units(endings::Moment::orderly);
    endings::hold_signals();
}

}  // namespace

void start() {
    streams::guard_standard_streams();
    endings::catch_signals();
    int err = 0;
    switch (streams::open_units(err)) {
        case streams::log::Opened::yes:
            break;
        case streams::log::Opened::in_use:
            endings::refuse("zefrin: ZEFRIN.LOG is in use by another session\n");
        case streams::log::Opened::refused:
            fail({"open", std::strerror(err), endings::Unit::log, streams::log::name, nullptr,
                  endings::Lately::writing_direct});
    }
    std::atexit(at_exit);
}

[[noreturn]] void dialogue() {
    // The values of the last report, first the built-in ones: a proton of
    // 1.206 GeV/c through 1 cm of copper.
    float rms0x = 0.9382796f, sigax = 31.0f, sigex = -1.0f;
    float p0x = 1.206f, rhox = 8.96f, fracx = 1.0f;
    float p1x = 1.0f, z1x = 29.0f, p2x = 0.0f, z2x = 0.0f, p3x = 0.0f, z3x = 0.0f;
    float tx = 0.01f;  // m

    input_ended = false;
    streams::keyboard::reset();
    input = PassageInput{};
    derived = Derived{};
    icount = 0;

    PassageInput& in = input;
    for (;;) {
        streams::sink().terminal("  \n", 3);

        float v[7];
        prompt<"('Enter: mass (GeV/c2), siga (mb), sige (mb) ',$)">();
        // A bad first answer is the way out: no report, status 0.
        if (!numbers("(3F10.1)", 3, v)) finish(0);
        in.mass = v[0];
        in.siga = v[1];
        in.sige = v[2];
        keep(in.mass, rms0x);
        keep(in.siga, sigax);
        keep(in.sige, sigex);

        prompt<"('Enter: p0 (GeV/c), rho (g/cm3), frac ( <=1 ) ',$)">();
        if (!numbers("(3F10.1)", 3, v))
            keyboard_fails("fmt", "read unexpected character", "(3F10.1)");
        in.p0 = v[0];
        in.rho = v[1];
        in.frac = v[2];
        keep(in.p0, p0x);
        keep(in.rho, rhox);
        keep(in.frac, fracx);

        prompt<"('Enter: length (m), Z1, prop1, Z2, prop2, Z3, prop3 ',$)">();
        if (!numbers("(7F10.1)", 7, v))
            keyboard_fails("fmt", "read unexpected character", "(7F10.1)");
        in.length = v[0];
        in.Z[0] = v[1];
        in.prop[0] = v[2];
        in.Z[1] = v[3];
        in.prop[1] = v[4];
        in.Z[2] = v[5];
        in.prop[2] = v[6];
        keep(in.length, tx);
        keep(in.Z[0], z1x);
        keep(in.prop[0], p1x);
        keep(in.Z[1], z2x);
        keep(in.prop[1], p2x);
        keep(in.Z[2], z3x);
        keep(in.prop[2], p3x);

        in.length = in.length * 100.0f;  // m to cm
        setup();

        rms0x = in.mass;
        sigax = in.siga;
        sigex = in.sige;
        p0x = in.p0;
        rhox = in.rho;
        fracx = in.frac;
        p1x = in.prop[0];
        z1x = in.Z[0];
        p2x = in.prop[1];
        z2x = in.Z[1];
        p3x = in.prop[2];
        z3x = in.Z[2];
        tx = in.length / 100.0f;

        prompt<"(' continue [Y/N] ? ',$)">();
        char head[kept];
        std::size_t n = 0;
        answer(head, n, "(A1)");
        const char ans = n > 0 ? head[0] : ' ';
        if (ans == 'N' || ans == 'n') finish(0);
    }
}

[[noreturn]] void session() {
    start();
    dialogue();
}

}  // namespace zefrin
