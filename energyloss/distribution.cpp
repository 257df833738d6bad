// enrg1: Bethe-Bloch mean loss with the density effect, and Gaussian or
// Landau straggling with the warnings to subdivide the layer.
#include "energyloss/distribution.hpp"

#include <cstdint>

#include "session/record.hpp"
#include "session/single.hpp"
#include "session/format/writer.hpp"

namespace zefrin {

void enrg1(const float& a3, const float& a4, const float& /*rad*/, const float& delta,
           const float& mass, const float& e0) {
    const PassageInput& in = input;
    const float pf = fsqrt(e0 * e0 - mass * mass);
    const float a5 = flog(pf / mass);
    const float btaf = pf / e0;
    // xi = 0.1536 MeV cm2/g (Z/A) x / beta^2, with x = length rho in g/cm2.
    const float ac = a3 * 0.0001536f * in.length * in.rho / (btaf * btaf);
    // Largest transfer to a free electron; 0.00102 GeV is twice the
    // electron mass and 2.6e-7 GeV2 its square.
    const float qmax = (pf * pf * 0.00102f) / (mass * mass + 2.6e-7f + e0 * 0.00102f);
    const float r = (1.0f - 0.5f * btaf * btaf) * ac * qmax;
    const float g = r / (qmax * qmax);
    // 13.84 = ln(2 m c^2 in eV): the bracket is ln(2 m c^2 beta^2 gamma^2 / I)
    // - beta^2 - delta/2, the Bethe-Bloch mean loss per 2 xi.
    const float dedx = 2.0f * ac * (a5 + 13.84f - a4 - btaf * btaf - 0.5f * delta + a5);
    float enloss, w;
    bool gauss;
    if (g >= 10.0f) {
        enloss = dedx;
        const float delt = fsqrt(in.length * r * in.rho);
        w = 2.4f * delt;
        gauss = true;
    } else {
        // Landau's most probable loss; ac enters the logarithm in GeV.
        enloss = ac * (2.0f * a5 + 34.92f - 2.0f * a4 + flog(ac) - btaf * btaf - delta);
        const float delt = 1.48f * ac;
        w = 2.9f * delt;
        gauss = false;
        const std::int32_t lx = itrunc(10.0f * g + 1.0f);
        if (g > 0.1f) {
            star();
            line<"(' Landau  <  Energy loss distribution  <  Gauss:',' divide into',I3,' smaller elements.')">(
                lx);
            star();
        }
    }
    const float tf = e0 - mass;
    if (dedx >= tf) {
        const std::int32_t ncor = itrunc(dedx / tf + 1.0f);
        const std::int32_t ncorr = itrunc(dedx / (0.1f * tf) + 1.0f);
        star();
        if (in.frac < 1.0f)
            line<"(' Energy loss would be',F7.1,' MeV > entrance kinetic energy =',F7.1,' MeV.........')">(
                dedx * 1000.0f, tf * 1000.0f);
        else
            line<"(' Energy loss >= kinetic energy,  divide into',I3,', better into',I3,' smaller regions.')">(
                ncor, ncorr);
        star();
        return;
    }
    if (dedx > 0.1f * tf) {
        const std::int32_t ncorr = itrunc(dedx / (0.1f * tf) + 1.0f);
        star();
        line<"(' Energy loss  >  10% of entrance kinetic energy,',' divide into',I3,' smaller regions.')">(
            ncorr);
        star();
    }
    if (!(enloss > 0.0f) || !(dedx > 0.0f)) {
        // Below the range of the formulas the bracket turns negative: no result.
        star();
        line<"(' Energy loss formulas give a loss <= 0 here: energy or thickness too small ',5('.'))">();
        star();
    } else if (gauss)
        line<"(' *Gauss*   prob. energy loss =',F7.3,', width =',F7.3,', average loss =',F7.3,' MeV')">(
            enloss * 1000.0f, w * 1000.0f, dedx * 1000.0f);
    else
        line<"(' *Landau*  prob. energy loss =',F7.3,', width =',F7.3,', average loss =',F7.3,' MeV')">(
            enloss * 1000.0f, w * 1000.0f, dedx * 1000.0f);
}

}  // namespace zefrin
