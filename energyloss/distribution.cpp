// enrg1: the energy-loss section of the report, Gaussian or Landau, with the
// warnings to subdivide the layer.
#include "energyloss/distribution.hpp"

#include "base/record.hpp"
#include "energyloss/straggling.hpp"
#include "session/format/writer.hpp"

namespace zefrin {

void enrg1(const float& a3, const float& a4, const float& /*rad*/, const float& delta,
           const float& mass, const float& e0) {
    const PassageInput& in = input;
    const physics::Loss s = physics::loss(a3, a4, delta, mass, e0, in.length, in.rho);
    if (s.divide) {
        star();
        line<"(' Landau  <  Energy loss distribution  <  Gauss:',' divide into',I3,' smaller elements.')">(
            s.lx);
        star();
    }
    if (s.stops) {
        star();
        if (in.frac < 1.0f)
            line<"(' Energy loss would be',F7.1,' MeV > entrance kinetic energy =',F7.1,' MeV.........')">(
                s.dedx * 1000.0f, s.tf * 1000.0f);
        else
            line<"(' Energy loss >= kinetic energy,  divide into',I3,', better into',I3,' smaller regions.')">(
                s.ncor, s.ncorr);
        star();
        return;
    }
    if (s.tenth) {
        star();
        line<"(' Energy loss  >  10% of entrance kinetic energy,',' divide into',I3,' smaller regions.')">(
            s.ncorr);
        star();
    }
    if (!s.positive) {
        // Below the range of the formulas the bracket turns negative: no result.
        star();
        line<"(' Energy loss formulas give a loss <= 0 here: energy or thickness too small ',5('.'))">();
        star();
    } else if (s.gauss)
        line<"(' *Gauss*   prob. energy loss =',F7.3,', width =',F7.3,', average loss =',F7.3,' MeV')">(
            s.enloss * 1000.0f, s.w * 1000.0f, s.dedx * 1000.0f);
    else
        line<"(' *Landau*  prob. energy loss =',F7.3,', width =',F7.3,', average loss =',F7.3,' MeV')">(
            s.enloss * 1000.0f, s.w * 1000.0f, s.dedx * 1000.0f);
}

}  // namespace zefrin
