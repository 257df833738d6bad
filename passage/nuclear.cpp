// Absorption and elastic cross sections of the nuclei, interaction length.
#include "passage/nuclear.hpp"

#include <cstdint>

#include "session/record.hpp"
#include "session/single.hpp"
#include "session/format/writer.hpp"

namespace zefrin {

namespace {

// Saved for the session; the printed ones are renewed in every report.
float simot[3], simet[3], dilam[3], as[3], pdi[3];
float tlam, al;
// 1/dela is the starting value of tlam: 1.0e-30 per cm.
float dela;

}  // namespace

void nuclear_reset() {
    for (int i = 0; i < 3; ++i) {
        dilam[i] = 0.0f;
        as[i] = 0.0f;
    }
    al = 0.0f;
    dela = 1.0e30f;
    tlam = 1.0f / dela;
}

void nuclear_elements() {
    const PassageInput& in = input;
    if (!(in.siga > 0.0f)) return;
    for (int i = 0; i < 3; ++i) {
        simot[i] = 0.0f;
        simet[i] = 0.0f;
        if (!takes_part(in, i)) continue;
        const float a = in.A[i];
        const float p = in.prop[i];
        // Absorption: a fit in A^0.69 with a correction quadratic in siga - 33 mb.
        const float s33 = in.siga - 33.0f;
        float sim = fpow(a, 0.36f) * s33;
        sim = sim * (0.039f - s33 * 0.0009f);
        sim = fpow(a, 0.69f) + sim;
        sim = sim * 44.0f;
        if (!(sim > 0.0f)) {
            // Outside the band of siga that the fit covers there is no
            // absorption cross section: the atom stays out of the section.
            star();
            line<"(' Atom',I1,': siga =',F7.1,' mb gives no absorption cross section: atom left out ',6('.'))">(
                static_cast<std::int32_t>(i + 1), in.siga);
            star();
            continue;
        }
        // 6.03 x 0.0001 is Avogadro's number times 1 mb, giving 1/cm.
        float alam = (((sim * 6.03f) * in.rho) * p) / a;
        alam = alam * 0.0001f;
        al = al + alam;
        simot[i] = sim;
        const float a067 = fpow(a, 0.67f);
        float sime;
        if (in.sige >= 0.0f)
            sime = in.sige;
        else if (a <= 70.0f)
            sime = 47.0f * fpow(a, 0.82f) - 42.0f * a067;
        else
            sime = 47.0f * a067;
        simet[i] = sime;
        dilam[i] = (alam * sime) / sim;
        // RMS angle of diffraction on the nucleus: as 1/(p0 R), with the
        // nuclear radius R growing as A^(1/3).
        const float q = 0.1396f / in.p0;
        as[i] = fsqrt(((q * q) * 3.0f) / a067);
        tlam = (tlam + alam) + dilam[i];
    }
}

void nuclear_close() {
    const PassageInput& in = input;
    const float tl = tlam - al;
    al = al / tlam;
    for (int i = 0; i < 3; ++i) {
        pdi[i] = dilam[i] / tl;
        if (in.sige != 0.0f && in.rho > 0.0f && pdi[i] > 0.0f)
            line<"(' Atom',I1,': int.prob =',F6.3,', RMS.ang =',F6.1,' mr, el.cs =',F6.1,' mb, ab.cs =',F6.1,' mb')">(
                static_cast<std::int32_t>(i + 1), pdi[i], as[i] * 1000.0f, simet[i], simot[i]);
    }
    tlam = 1.0f / tlam;
    if (tlam > 999.0f)
        line<"(' Total interaction length =',F7.1,' m, ........... absorbtion probability =',F6.3)">(
            tlam / 100.0f, al);
    else
        line<"(' Total interaction length =',F7.3,' cm, .......... absorbtion probability =',F6.3)">(
            tlam, al);
    point(1);
}

}  // namespace zefrin
