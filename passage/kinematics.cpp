// Kinematics, thickness in radiation lengths and radiative loss.
#include "passage/kinematics.hpp"

#include "base/single.hpp"

namespace zefrin::physics {

Kinematics kinematics(float p0, float mass) {
    Kinematics k;
    k.e0 = fsqrt(p0 * p0 + mass * mass);
    k.bta0 = p0 / k.e0;
    k.tf = k.e0 - mass;
    return k;
}

float radiation_lengths(float rad, float rho, float length) {
    return (rho * rad) * length;
}

float radiative_loss(float p0, float mass, float t) {
    // 0.00051 GeV is the electron mass.
    const float loss = fsqrt(p0 * p0 + mass * mass) * (1.0f - fexp(-t));
    const float ratio = 0.00051f / mass;
    return ratio * ratio * loss;
}

}  // namespace zefrin::physics
