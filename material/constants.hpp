// The constants of a mixture of any number of elements, as values: no record,
// no output, nothing kept between calls.
#pragma once

#include <span>

namespace zefrin::physics {

// One element of a mixture. Z is the atomic number as given (a whole number
// from 1 to 92 is expected; the tables are read at its truncation), prop its
// proportion by weight (used as given, never normalised), A its atomic weight
// in g/mol.
struct Element {
    float Z;
    float prop;
    float A;
};

// The element of atomic number z (1 <= z < 93) and proportion prop, with A
// from the element table.
Element element(float z, float prop);

// The constants of a mixture for a particle of momentum p0 (GeV/c), mass
// (GeV/c2) and velocity bta0 (units of c):
struct Mixture {
    float chia;   // rad: screening angle, sum of prop x Moliere's chi_a
    float a3;     // mol/g: sum of prop Z / A
    float a4;     // ln of the mean excitation energy in eV
    float a5;     // ln(p0 / mass)
    float rad;    // cm2/g: inverse radiation length (starts at 1.0e-30)
    float delta;  // Sternheimer's density-effect correction
};

// Sums over the elements in their order; every element must have 1 <= Z < 93
// and is counted whatever its prop (the caller leaves out those with
// prop <= 0). At least one element: otherwise a4 and delta are NaN.
Mixture mixture(std::span<const Element> elements, float mass, float p0, float bta0);

}  // namespace zefrin::physics
