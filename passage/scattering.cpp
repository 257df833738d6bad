// Moliere's multiple scattering of the report: characteristic angle and the
// section's result line.
#include "passage/scattering.hpp"

#include "base/record.hpp"
#include "passage/angles.hpp"
#include "session/format/writer.hpp"

namespace zefrin {

float chisum(float e0, float bta0) {
    const PassageInput& in = input;
    physics::Element el[3];
    std::size_t n = 0;
    for (int i = 0; i < 3; ++i) {
        // Elements no longer in the mixture keep their A but stay out.
        if (!(in.A[i] > 0.0f) || !takes_part(in, i))
            continue;
        el[n++] = physics::Element{in.Z[i], in.prop[i], in.A[i]};
    }
    const physics::Layer layer{in.mass, in.p0, e0, bta0, in.rho, in.length};
    return physics::chisum({el, n}, layer);
}

void moliere(float chic, float chia, float rad) {
    const physics::Moliere m = physics::moliere(chic, chia, input.length);
    if (!m.applicable) {
        star();
        line<"(' Number of Rutherford scatters is only ',F5.2,';  Moliere theory is not applicable.')">(
            m.omeg0);
        star();
    }
    line<"(' 1/e sc.ang =',F8.3,' mr, 1/e disp =',F7.4,' mm, t (rad.leng) =',F7.3,', B =',F6.2)">(
        m.se * 1000.0f, m.sye * 10.0f, rad, m.b);
}

}  // namespace zefrin
