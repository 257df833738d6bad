// The nuclear-interaction section of the report.
#include "passage/nuclear.hpp"

#include <cstdint>

#include "base/record.hpp"
#include "passage/interaction.hpp"
#include "session/format/writer.hpp"

namespace zefrin {

namespace {

// Saved for the session; the printed ones are renewed in every report.
float simot[3], simet[3], dilam[3], as[3];
physics::Sums sums;

}  // namespace

void nuclear_reset() {
    for (int i = 0; i < 3; ++i) {
        dilam[i] = 0.0f;
        as[i] = 0.0f;
    }
    sums = physics::start();
}

void nuclear_elements() {
    const PassageInput& in = input;
    if (!(in.siga > 0.0f))
        return;
    for (int i = 0; i < 3; ++i) {
        simot[i] = 0.0f;
        simet[i] = 0.0f;
        if (!takes_part(in, i))
            continue;
        const physics::Nucleus n =
            physics::nucleus(in.A[i], in.prop[i], in.siga, in.sige, in.rho, in.p0);
        if (!n.absorbs) {
            // Outside the band of siga that the fit covers there is no
            // absorption cross section: the atom stays out of the section.
            star();
            line<"(' Atom',I1,': siga =',F7.1,' mb gives no absorption cross section: atom left out ',6('.'))">(
                static_cast<std::int32_t>(i + 1), in.siga);
            star();
            continue;
        }
        sums = physics::add(sums, n);
        simot[i] = n.simot;
        simet[i] = n.simet;
        dilam[i] = n.dilam;
        as[i] = n.as;
    }
}

void nuclear_close() {
    const PassageInput& in = input;
    const physics::Interaction x = physics::close(sums);
    for (int i = 0; i < 3; ++i) {
        const float pdi = physics::int_prob(dilam[i], x);
        if (in.sige != 0.0f && in.rho > 0.0f && pdi > 0.0f)
            line<"(' Atom',I1,': int.prob =',F6.3,', RMS.ang =',F6.1,' mr, el.cs =',F6.1,' mb, ab.cs =',F6.1,' mb')">(
                static_cast<std::int32_t>(i + 1), pdi, as[i] * 1000.0f, simet[i], simot[i]);
    }
    if (x.tlam > 999.0f)
        line<"(' Total interaction length =',F7.1,' m, ........... absorbtion probability =',F6.3)">(
            x.tlam / 100.0f, x.al);
    else
        line<"(' Total interaction length =',F7.3,' cm, .......... absorbtion probability =',F6.3)">(
            x.tlam, x.al);
    point(1);
}

}  // namespace zefrin
