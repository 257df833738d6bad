// Radiation length, electrons per nucleon, excitation energy, Sternheimer's
// density effect and the screening angle of a mixture, as values.
#include "material/constants.hpp"

#include <cstdint>

#include "base/single.hpp"
#include "material/tables.hpp"

namespace zefrin::physics {

Element element(float z, float prop) {
    return Element{z, prop, material::at(material::row(z))};
}

Mixture mixture(std::span<const Element> elements, float mass, float p0, float bta0) {
    using namespace material;
    Mixture m{};
    m.rad = 1.0e-30f;
    m.chia = 0.0f;
    m.a3 = 0.0f;
    m.a4 = 0.0f;
    float ec = 0.0f, ea = 0.0f, em = 0.0f, ex1 = 0.0f, ex0 = 0.0f;
    for (const Element& el : elements) {
        const float z = el.Z;
        const float p = el.prop;
        const std::int32_t iz = row(z);
        const float a = el.A;
        // Radiation term after Tsai's simplified form: Z(Z+1) ln(183 Z^-1/3),
        // with a Coulomb correction in (Z/82)^2.
        const float zr = z / 82.0f;
        m.rad = m.rad + (z * 0.0014f * (z + 1.0f) * flog(183.0f / fpow(z, 0.33333f)) * p) /
                            ((zr * zr * 0.12f + 1.0f) * a);
        const float b3 = (p * z) / a;
        m.a3 = m.a3 + b3;
        m.a4 = m.a4 + flog(eion(iz)) * b3;
        const std::int32_t ie = element_class(iz);
        ec = ec + ce(ie) * b3;
        ea = ea + ca(ie) * b3;
        em = em + cm(ie) * b3;
        ex1 = ex1 + cx1(ie) * b3;
        ex0 = ex0 + cx0(ie) * b3;
        // Screening after Moliere: alpha = Z/(137 beta), Thomas-Fermi radius
        // 0.885 a0 Z^-1/3 = 4.68e-9 cm Z^-1/3, and 1.97327e-14 GeV cm = hbar c.
        const float alpha = z / (bta0 * 137.0f);
        const float r0 = 4.68e-9f / fpow(z, 0.333333f);
        const float v0 = 1.97327e-14f / (p0 * r0);
        m.chia = m.chia + (p * v0) * fsqrt(alpha * alpha * 3.44f + 0.59f);
    }
    m.a4 = m.a4 / m.a3;
    m.a5 = flog(p0 / mass);
    ec = ec / m.a3;
    ea = ea / m.a3;
    em = em / m.a3;
    ex1 = ex1 / m.a3;
    ex0 = ex0 / m.a3;
    // Sternheimer: X = log10(p/m); 0 up to X0, a power term up to X1, then
    // 2 ln(p/m) - C-bar.
    const float x = m.a5 * 0.4343f;
    if (x < ex1)
        ea = fpow(ex1 - x, em) * ea;
    m.delta = 0.0f;
    if (x > ex0)
        m.delta = (m.a5 + m.a5 - ec) + ea;
    if (x >= ex1)
        m.delta = m.a5 + m.a5 - ec;
    return m;
}

}  // namespace zefrin::physics
