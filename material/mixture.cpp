// enrg0: the constants of the mixture of the shared record.
#include "material/mixture.hpp"

#include "base/record.hpp"
#include "material/constants.hpp"

namespace zefrin {

void enrg0(float& chia, float& a3, float& a4, float& a5, float& rad, float& delta,
           const float& mass, const float& p0, const float& /*e0*/, const float& bta0) {
    PassageInput& in = input;
    physics::Element el[3];
    std::size_t n = 0;
    for (int i = 0; i < 3; ++i) {
        if (!takes_part(in, i))
            continue;
        el[n] = physics::element(in.Z[i], in.prop[i]);
        in.A[i] = el[n].A;
        ++n;
    }
    const physics::Mixture m = physics::mixture({el, n}, mass, p0, bta0);
    chia = m.chia;
    a3 = m.a3;
    a4 = m.a4;
    a5 = m.a5;
    rad = m.rad;
    delta = m.delta;
}

}  // namespace zefrin
