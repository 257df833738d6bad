// The dialogue loop: three prompts, thirteen numbers, a report, a question.
#include "session/dialogue.hpp"

#include <cstdlib>
#include <cstring>

#include "passage/setup.hpp"
#include "session/diagnostic.hpp"
#include "session/reader.hpp"
#include "session/record.hpp"
#include "session/signals.hpp"
#include "session/units.hpp"
#include "session/writer.hpp"

namespace zefrin {

namespace {

// The input ended inside the last answer line (no line end after it).
bool input_ended = false;

// A zero entry, of either sign, takes the remembered value.
void keep(float& v, float remembered) {
    if (v == 0.0f) v = remembered;
}

// Reads one answer line for a prompt whose answer has the given format.
// End of input stops the run with its diagnostic.
void answer(char (&head)[reader::kept], std::size_t& n, const char* format) {
    if (input_ended) fail("read start", "end of file", Unit::keyboard, format, false);
    const reader::Got got = reader::read_line(head, n);
    if (got == reader::Got::end) fail("fmt", "end of file", Unit::keyboard, format, false);
    input_ended = got == reader::Got::partial;
}

// Reads the n numbers of one numeric answer. Returns false on a bad entry.
bool numbers(const char* format, int count, float* values) {
    char head[reader::kept];
    std::size_t n = 0;
    answer(head, n, format);
    return reader::fields(head, n, count, values);
}

void normal_end() {
    hold_signals();
    units::close_all();
}

}  // namespace

void start() {
    units::guard_standard_streams();
    catch_signals();
    if (const int err = units::open_log())
        fail("open", std::strerror(err), Unit::log, nullptr, true, true);
    // Every orderly end passes through exit(), and with it this closing.
    std::atexit(normal_end);
}

[[noreturn]] void dialogue() {
    // The values of the last report, first the built-in ones: a proton of
    // 1.206 GeV/c through 1 cm of copper.
    float rms0x = 0.9382796f, sigax = 31.0f, sigex = -1.0f;
    float p0x = 1.206f, rhox = 8.96f, fracx = 1.0f;
    float p1x = 1.0f, z1x = 29.0f, p2x = 0.0f, z2x = 0.0f, p3x = 0.0f, z3x = 0.0f;
    float tx = 0.01f;  // m

    input_ended = false;
    reader::reset();
    input = PassageInput{};
    derived = Derived{};
    icount = 0;

    PassageInput& in = input;
    for (;;) {
        units::terminal("  \n", 3);

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
            fail("fmt", "read unexpected character", Unit::keyboard, "(3F10.1)", false);
        in.p0 = v[0];
        in.rho = v[1];
        in.frac = v[2];
        keep(in.p0, p0x);
        keep(in.rho, rhox);
        keep(in.frac, fracx);

        prompt<"('Enter: length (m), Z1, prop1, Z2, prop2, Z3, prop3 ',$)">();
        if (!numbers("(7F10.1)", 7, v))
            fail("fmt", "read unexpected character", Unit::keyboard, "(7F10.1)", false);
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
        char head[reader::kept];
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
