// setup: kinematics, page control, header and the order of the sections.
#include "passage/setup.hpp"

#include <cstdint>

#include "base/record.hpp"
#include "energyloss/distribution.hpp"
#include "material/mixture.hpp"
#include "passage/kinematics.hpp"
#include "passage/nuclear.hpp"
#include "passage/scattering.hpp"
#include "session/format/writer.hpp"

namespace zefrin {

namespace {

// The header and composition lines, and the warnings on inputs that leave an
// element, or every section, out of the report.
void composition(const PassageInput& in) {
    const float tf = derived.tf;
    line<"(F7.2,' % of length =',F8.4,' cm covered by material with',' density =',F7.3,' g/cm3')">(
        in.frac * 100.0f, in.length, in.rho);
    line<"(' Entr. energy =',F7.1,' MeV, Composition of material:  Z1 =',F5.1,',  prop1 =',F7.4)">(
        tf * 1000.0f, in.Z[0], in.prop[0]);
    if (in.prop[1] > 0.0f)
        line<"(1X,51('.'),'  Z2 =',F5.1,',  prop2 =',F7.4)">(in.Z[1], in.prop[1]);
    if (in.prop[2] > 0.0f)
        line<"(1X,51('.'),'  Z3 =',F5.1,',  prop3 =',F7.4)">(in.Z[2], in.prop[2]);
    bool any = false;
    for (int i = 0; i < 3; ++i) {
        if (!(in.prop[i] > 0.0f)) continue;
        if (in_tables(in.Z[i])) {
            any = true;
            continue;
        }
        star();
        line<"(' Z',I1,' =',F5.1,' has no row in the element tables (Z from 1 to 92): left out ',9('.'))">(
            static_cast<std::int32_t>(i + 1), in.Z[i]);
        star();
    }
    if (!any) {
        star();
        line<"(' No element with a positive proportion and a Z from 1 to 92: no material ',7('.'))">();
        star();
    }
    if (!(in.mass > 0.0f) || !(in.p0 > 0.0f)) {
        star();
        line<"(' Mass and momentum must be positive: no passage calculated ',21('.'))">();
        star();
    }
}

}  // namespace

void setup() {
    PassageInput& in = input;
    Derived& d = derived;
    const physics::Kinematics k = physics::kinematics(in.p0, in.mass);
    d.e0 = k.e0;
    d.bta0 = k.bta0;
    d.tf = k.tf;

    // Page control of the log: a new page before reports 4, 7, 10, ...
    if (icount > 0 && icount % 3 == 0)
        log_line<"('1')">();
    else
        log_line<"('0')">();
    if (icount < INT32_MAX) ++icount;

    point(1);
    composition(in);
    point(1);

    nuclear_reset();
    if (!(in.length > 0.0f)) return;
    // No logarithm of p0/mass and no velocity without a positive mass and momentum.
    if (!(in.mass > 0.0f) || !(in.p0 > 0.0f)) return;
    bool material = false;
    for (int i = 0; i < 3; ++i) material = material || takes_part(in, i);

    if (in.rho > 0.0f && material) {
        enrg0(d.chia, d.a3, d.a4, d.a5, d.rad, d.delta, in.mass, in.p0, d.e0, d.bta0);
        const float chic = chisum(d.e0, d.bta0);
        d.rad = physics::radiation_lengths(d.rad, in.rho, in.length);
        d.radlos = physics::radiative_loss(in.p0, in.mass, d.rad);

        line<"(' ......................... Moliere angular','distribution .........................')">();
        moliere(chic, d.chia, d.rad);
        point(1);

        line<"(' ........................... Energy loss','distribution ...........................')">();
        enrg1(d.a3, d.a4, d.rad, d.delta, in.mass, d.e0);
        if (physics::is_electron(in.mass))
            line<"(' Radiative energy loss =',F7.1,' MeV ',44('.'))">(d.radlos * 1000.0f);

        point(1);
        line<"(' ....................... Nuclear interaction','distribution .......................')">();
        nuclear_elements();
    }
    nuclear_close();
}

}  // namespace zefrin
