// enrg0: radiation length, electrons per nucleon, excitation energy,
// Sternheimer's density effect and the screening angle of the mixture.
#include "material/mixture.hpp"

#include "material/tables.hpp"
#include "session/record.hpp"
#include "session/single.hpp"

namespace zefrin {

void enrg0(float& chia, float& a3, float& a4, float& a5, float& rad, float& delta,
           const float& mass, const float& p0, const float& /*e0*/, const float& bta0) {
    using namespace material;
    PassageInput& in = input;
    rad = 1.0e-30f;
    chia = 0.0f;
    a3 = 0.0f;
    a4 = 0.0f;
    float ec = 0.0f, ea = 0.0f, em = 0.0f, ex1 = 0.0f, ex0 = 0.0f;
    float alpha[3] = {}, r0[3] = {}, v0[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (!takes_part(in, i)) continue;
        const float z = in.Z[i];
        const float p = in.prop[i];
        const std::int32_t iz = row(z);
        const float a = at(iz);
        in.A[i] = a;
        // Radiation term after Tsai's simplified form: Z(Z+1) ln(183 Z^-1/3),
        // with a Coulomb correction in (Z/82)^2.
        const float zr = z / 82.0f;
        rad = rad + (z * 0.0014f * (z + 1.0f) * flog(183.0f / fpow(z, 0.33333f)) * p) /
                        ((zr * zr * 0.12f + 1.0f) * a);
        const float b3 = (p * z) / a;
        a3 = a3 + b3;
        a4 = a4 + flog(eion(iz)) * b3;
        const std::int32_t ie = element_class(iz);
        ec = ec + ce(ie) * b3;
        ea = ea + ca(ie) * b3;
        em = em + cm(ie) * b3;
        ex1 = ex1 + cx1(ie) * b3;
        ex0 = ex0 + cx0(ie) * b3;
        // Screening after Moliere: alpha = Z/(137 beta), Thomas-Fermi radius
        // 0.885 a0 Z^-1/3 = 4.68e-9 cm Z^-1/3, and 1.97327e-14 GeV cm = hbar c.
        alpha[i] = z / (bta0 * 137.0f);
        r0[i] = 4.68e-9f / fpow(z, 0.333333f);
        v0[i] = 1.97327e-14f / (p0 * r0[i]);
        chia = chia + (p * v0[i]) * fsqrt(alpha[i] * alpha[i] * 3.44f + 0.59f);
    }
    a4 = a4 / a3;
    a5 = flog(p0 / mass);
    ec = ec / a3;
    ea = ea / a3;
    em = em / a3;
    ex1 = ex1 / a3;
    ex0 = ex0 / a3;
    // Sternheimer: X = log10(p/m); 0 up to X0, a power term up to X1, then
    // 2 ln(p/m) - C-bar.
    const float x = a5 * 0.4343f;
    if (x < ex1) ea = fpow(ex1 - x, em) * ea;
    delta = 0.0f;
    if (x > ex0) delta = (a5 + a5 - ec) + ea;
    if (x >= ex1) delta = a5 + a5 - ec;
}

}  // namespace zefrin
