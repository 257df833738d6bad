// Moliere's characteristic angle, B and the 1/e widths.
#include "passage/angles.hpp"

#include "base/single.hpp"

namespace zefrin::physics {

float chic_term(const Element& el, const Layer& layer) {
    const float mass = layer.mass;
    const float p0 = layer.p0;
    const float e0 = layer.e0;
    const float bta0 = layer.bta0;
    // 0.938256 GeV per unit of atomic weight.
    const float rmt = el.A * 0.938256f;
    const float denom = fsqrt((mass * mass + rmt * rmt) + (e0 + e0) * rmt);
    const float epslon = ((e0 + e0 + rmt) + (mass * mass) / rmt) / denom;
    const float betacm = p0 / (fsqrt(p0 * p0 + mass * mass) + rmt);
    const float betpcm = (bta0 - betacm) / (1.0f - betacm * bta0);
    const float pfcm = (mass * betpcm) / fsqrt(1.0f - betpcm * betpcm);
    const float top = ((el.prop * 0.000396f) * el.Z) * fsqrt((layer.rho * layer.length) / el.A);
    if (bta0 >= 0.999f) {
        // Near the speed of light 1 - betpcm^2 cancels in single precision.
        // The particle's velocity in the centre-of-mass frame is
        // p0 rmt / (mass^2 + e0 rmt) without cancellation, and pfcm times
        // epslon is p0 itself.
        const float bst = (p0 * rmt) / (mass * mass + e0 * rmt);
        return top / (p0 * bst);
    }
    return top / ((pfcm * betpcm) * epslon);
}

float chisum(std::span<const Element> elements, const Layer& layer) {
    float chic = 0.0f;
    for (const Element& el : elements) chic = chic + chic_term(el, layer);
    return chic;
}

Moliere moliere(float chic, float chia, float length) {
    Moliere m;
    const float ratio = chic / chia;
    m.omeg0 = ratio * ratio;
    m.applicable = !(m.omeg0 < 5.0f);
    if (!m.applicable) {
        m.se = 0.0f;
        m.sye = 0.0f;
        m.b = 1.0f;
        return m;
    }
    // B - ln B = ln(omega0) - 0.154, fitted linearly in log10(omega0).
    m.b = (flog(m.omeg0) * 2.583f) / 2.3026f + 1.153f;
    const float by = (flog(m.omeg0) * 2.096f) / 2.3026f + 1.153f;
    m.se = fsqrt(m.b * 1.007f - 1.33f) * chic;
    m.sye = ((fsqrt(by * 1.007f - 1.33f) * chic) * length) / 1.7321f;
    return m;
}

}  // namespace zefrin::physics
