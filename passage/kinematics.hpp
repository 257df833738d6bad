// The kinematics of the particle entering the layer, the thickness in
// radiation lengths and the radiative loss, as values.
#pragma once

namespace zefrin::physics {

// A particle of momentum p0 (GeV/c) and mass (GeV/c2), both positive.
struct Kinematics {
    float e0;    // GeV: total energy
    float bta0;  // velocity in units of c
    float tf;    // GeV: kinetic energy
};
Kinematics kinematics(float p0, float mass);

// The thickness in radiation lengths of a layer of density rho (g/cm3) and
// length (cm), from the inverse radiation length rad (cm2/g) of the mixture.
float radiation_lengths(float rad, float rho, float length);

// GeV: the mean radiative loss E (1 - e^-t) in t radiation lengths, scaled
// from the electron by (m_e / mass)^2 (momentum p0 in GeV/c, mass in GeV/c2).
float radiative_loss(float p0, float mass, float t);

// The radiative loss is reported for electrons: mass at most 0.00052 GeV/c2.
inline bool is_electron(float mass) {
    return mass <= 0.00052f;
}

}  // namespace zefrin::physics
