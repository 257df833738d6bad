// Bethe-Bloch mean loss with the density effect, and Gaussian or Landau
// straggling, as values.
#include "energyloss/straggling.hpp"

#include "base/single.hpp"

namespace zefrin::physics {

Loss loss(float a3, float a4, float delta, float mass, float e0, float length, float rho) {
    Loss s{};
    s.pf = fsqrt(e0 * e0 - mass * mass);
    s.a5 = flog(s.pf / mass);
    s.btaf = s.pf / e0;
    const float btaf = s.btaf;
    const float a5 = s.a5;
    // xi = 0.1536 MeV cm2/g (Z/A) x / beta^2, with x = length rho in g/cm2.
    s.ac = a3 * 0.0001536f * length * rho / (btaf * btaf);
    const float ac = s.ac;
    // Largest transfer to a free electron; 0.00102 GeV is twice the
    // electron mass and 2.6e-7 GeV2 its square.
    s.qmax = (s.pf * s.pf * 0.00102f) / (mass * mass + 2.6e-7f + e0 * 0.00102f);
    s.r = (1.0f - 0.5f * btaf * btaf) * ac * s.qmax;
    s.g = s.r / (s.qmax * s.qmax);
    // 13.84 = ln(2 m c^2 in eV): the bracket is ln(2 m c^2 beta^2 gamma^2 / I)
    // - beta^2 - delta/2, the Bethe-Bloch mean loss per 2 xi.
    s.dedx = 2.0f * ac * (a5 + 13.84f - a4 - btaf * btaf - 0.5f * delta + a5);
    s.gauss = s.g >= 10.0f;
    if (s.gauss) {
        s.enloss = s.dedx;
        // length rho, already in ac and so in r, multiplies r once more.
        const float delt = fsqrt(length * s.r * rho);
        s.w = 2.4f * delt;
    } else {
        // Landau's most probable loss; ac enters the logarithm in GeV.
        s.enloss = ac * (2.0f * a5 + 34.92f - 2.0f * a4 + flog(ac) - btaf * btaf - delta);
        const float delt = 1.48f * ac;
        s.w = 2.9f * delt;
        s.lx = itrunc(10.0f * s.g + 1.0f);
        s.divide = s.g > 0.1f;
    }
    s.tf = e0 - mass;
    const float tf = s.tf;
    s.stops = s.dedx >= tf;
    if (s.stops) {
        s.ncor = itrunc(s.dedx / tf + 1.0f);
        s.ncorr = itrunc(s.dedx / (0.1f * tf) + 1.0f);
    } else if (s.dedx > 0.1f * tf) {
        s.tenth = true;
        s.ncorr = itrunc(s.dedx / (0.1f * tf) + 1.0f);
    }
    s.positive = s.enloss > 0.0f && s.dedx > 0.0f;
    return s;
}

}  // namespace zefrin::physics
