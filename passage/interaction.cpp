// Absorption and elastic cross sections of the nuclei, interaction length.
#include "passage/interaction.hpp"

#include "base/single.hpp"

namespace zefrin::physics {

Nucleus nucleus(float A, float prop, float siga, float sige, float rho, float p0) {
    Nucleus n{};
    const float a = A;
    // Absorption: a fit in A^0.69 with a correction quadratic in siga - 33 mb.
    const float s33 = siga - 33.0f;
    float sim = fpow(a, 0.36f) * s33;
    sim = sim * (0.039f - s33 * 0.0009f);
    sim = fpow(a, 0.69f) + sim;
    sim = sim * 44.0f;
    n.absorbs = sim > 0.0f;
    if (!n.absorbs)
        return n;
    // 6.03 x 0.0001 is Avogadro's number times 1 mb, giving 1/cm.
    float alam = (((sim * 6.03f) * rho) * prop) / a;
    alam = alam * 0.0001f;
    n.alam = alam;
    n.simot = sim;
    const float a067 = fpow(a, 0.67f);
    float sime;
    if (sige >= 0.0f)
        sime = sige;
    else if (a <= 70.0f)
        sime = 47.0f * fpow(a, 0.82f) - 42.0f * a067;
    else
        sime = 47.0f * a067;
    n.simet = sime;
    n.dilam = (alam * sime) / sim;
    // RMS angle of diffraction on the nucleus: as 1/(p0 R), with the
    // nuclear radius R growing as A^(1/3).
    const float q = 0.1396f / p0;
    n.as = fsqrt(((q * q) * 3.0f) / a067);
    return n;
}

Sums start() {
    // 1/dela with dela = 1.0e30: the sum starts at 1.0e-30 per cm.
    const float dela = 1.0e30f;
    return Sums{1.0f / dela, 0.0f};
}

Sums add(Sums s, const Nucleus& n) {
    s.al = s.al + n.alam;
    s.tlam = (s.tlam + n.alam) + n.dilam;
    return s;
}

Interaction close(Sums s) {
    Interaction x;
    x.tl = s.tlam - s.al;
    x.al = s.al / s.tlam;
    x.tlam = 1.0f / s.tlam;
    return x;
}

}  // namespace zefrin::physics
