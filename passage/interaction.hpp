// Nuclear interaction as values: absorption and elastic cross sections of
// each nucleus, the RMS elastic angle, and the interaction length and
// absorption share of a mixture of any number of elements.
#pragma once

namespace zefrin::physics {

// One element's part for a particle of absorption cross section siga > 0
// (mb) and elastic cross section sige (mb; negative: derived from A), at
// momentum p0 (GeV/c), in a material of density rho (g/cm3).
struct Nucleus {
    bool absorbs;  // the absorption fit gives sim > 0; otherwise the element
                   // takes no part and every value below is 0
    float simot;   // mb: absorption cross section (ab.cs)
    float simet;   // mb: elastic cross section (el.cs)
    float alam;    // 1/cm: absorption coefficient
    float dilam;   // 1/cm: elastic coefficient
    float as;      // rad: RMS elastic scattering angle
};
Nucleus nucleus(float A, float prop, float siga, float sige, float rho, float p0);

// The running sums of a mixture, elements added in their order.
struct Sums {
    float tlam;  // 1/cm: total interaction coefficient
    float al;    // 1/cm: absorption coefficient
};
// The start of the sums: tlam = 1 / 1.0e30 per cm, al = 0.
Sums start();
Sums add(Sums s, const Nucleus& n);

struct Interaction {
    float tl;    // 1/cm: elastic coefficient of the mixture (tlam - al)
    float al;    // absorption share of the interactions
    float tlam;  // cm: total interaction length
};
Interaction close(Sums s);

// One element's interaction probability: its dilam over tl of the mixture.
inline float int_prob(float dilam, const Interaction& x) {
    return dilam / x.tl;
}

}  // namespace zefrin::physics
