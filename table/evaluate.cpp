// The values of one case, in the order the dialogue's report computes them.
#include "table/evaluate.hpp"

namespace zefrin::table {

void evaluate(const Case& c, Values& v) {
    v.k = physics::kinematics(c.p0, c.mass);
    v.m = physics::mixture(c.elements, c.mass, c.p0, v.k.bta0);
    const physics::Layer layer{c.mass, c.p0, v.k.e0, v.k.bta0, c.rho, c.length};
    v.chic = physics::chisum(c.elements, layer);
    v.t = physics::radiation_lengths(v.m.rad, c.rho, c.length);
    v.radlos = physics::radiative_loss(c.p0, c.mass, v.t);
    v.mol = physics::moliere(v.chic, v.m.chia, c.length);
    v.loss = physics::loss(v.m.a3, v.m.a4, v.m.delta, c.mass, v.k.e0, c.length, c.rho);
    v.nuclear = c.siga > 0.0f;
    v.atoms.resize(c.elements.size());
    if (!v.nuclear)
        return;
    physics::Sums sums = physics::start();
    for (std::size_t i = 0; i < c.elements.size(); ++i) {
        const physics::Element& el = c.elements[i];
        v.atoms[i].n = physics::nucleus(el.A, el.prop, c.siga, c.sige, c.rho, c.p0);
        if (v.atoms[i].n.absorbs)
            sums = physics::add(sums, v.atoms[i].n);
    }
    v.x = physics::close(sums);
    for (Atom& a : v.atoms) a.pdi = physics::int_prob(a.n.dilam, v.x);
}

}  // namespace zefrin::table
