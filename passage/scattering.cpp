// Moliere's multiple scattering: characteristic angle, B, 1/e widths.
#include "passage/scattering.hpp"

#include "session/record.hpp"
#include "session/single.hpp"
#include "session/format/writer.hpp"

namespace zefrin {

namespace {

// Per-element kinematics, kept for the session like the rest of the report's
// working values.
float rmt[3], epslon[3], betacm[3], betpcm[3], pfcm[3];

}  // namespace

float chisum(float e0, float bta0) {
    const PassageInput& in = input;
    const float mass = in.mass;
    const float p0 = in.p0;
    float chic = 0.0f;
    for (int i = 0; i < 3; ++i) {
        // Elements no longer in the mixture keep their A but stay out.
        if (!(in.A[i] > 0.0f) || !takes_part(in, i)) continue;
        // 0.938256 GeV per unit of atomic weight.
        rmt[i] = in.A[i] * 0.938256f;
        const float denom = fsqrt((mass * mass + rmt[i] * rmt[i]) + (e0 + e0) * rmt[i]);
        epslon[i] = ((e0 + e0 + rmt[i]) + (mass * mass) / rmt[i]) / denom;
        betacm[i] = p0 / (fsqrt(p0 * p0 + mass * mass) + rmt[i]);
        betpcm[i] = (bta0 - betacm[i]) / (1.0f - betacm[i] * bta0);
        pfcm[i] = (mass * betpcm[i]) / fsqrt(1.0f - betpcm[i] * betpcm[i]);
        const float top = ((in.prop[i] * 0.000396f) * in.Z[i]) * fsqrt((in.rho * in.length) / in.A[i]);
        if (bta0 >= 0.999f) {
            // Near the speed of light 1 - betpcm^2 cancels in single precision.
            // The particle's velocity in the centre-of-mass frame is
            // p0 rmt / (mass^2 + e0 rmt) without cancellation, and pfcm times
            // epslon is p0 itself.
            const float bst = (p0 * rmt[i]) / (mass * mass + e0 * rmt[i]);
            chic = chic + top / (p0 * bst);
        } else {
            chic = chic + top / ((pfcm[i] * betpcm[i]) * epslon[i]);
        }
    }
    return chic;
}

void moliere(float chic, float chia, float rad) {
    const float length = input.length;
    const float ratio = chic / chia;
    const float omeg0 = ratio * ratio;
    float b, se, sye;
    if (omeg0 < 5.0f) {
        se = 0.0f;
        sye = 0.0f;
        b = 1.0f;
        star();
        line<"(' Number of Rutherford scatters is only ',F5.2,';  Moliere theory is not applicable.')">(
            omeg0);
        star();
    } else {
        // B - ln B = ln(omega0) - 0.154, fitted linearly in log10(omega0).
        b = (flog(omeg0) * 2.583f) / 2.3026f + 1.153f;
        const float by = (flog(omeg0) * 2.096f) / 2.3026f + 1.153f;
        se = fsqrt(b * 1.007f - 1.33f) * chic;
        sye = ((fsqrt(by * 1.007f - 1.33f) * chic) * length) / 1.7321f;
    }
    line<"(' 1/e sc.ang =',F8.3,' mr, 1/e disp =',F7.4,' mm, t (rad.leng) =',F7.3,', B =',F6.2)">(
        se * 1000.0f, sye * 10.0f, rad, b);
}

}  // namespace zefrin
