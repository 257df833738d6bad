// The shared record of one passage: the inputs of the report, and the
// derived quantities handed from routine to routine by reference.
#pragma once

#include <cstdint>

namespace zefrin {

// Sixteen single-precision fields, in this order. Zero at the start.
struct PassageInput {
    float length;   // cm (typed in m): path through the layer
    float frac;     // fraction of the path covered by material
    float rho;      // g/cm3
    float prop[3];  // proportions by weight; an element takes part when positive
    float Z[3];     // atomic numbers as typed
    float A[3];     // g/mol: atomic weights, filled from the element table
    float mass;     // GeV/c2
    float siga;     // mb: absorption cross section of the particle
    float sige;     // mb: elastic cross section; negative: derived from A
    float p0;       // GeV/c
};
static_assert(sizeof(PassageInput) == 16 * sizeof(float));

// The record of the session.
extern PassageInput input;

// The derived quantities: one storage place each for the whole session.
struct Derived {
    float e0;      // GeV: total energy
    float bta0;    // velocity in units of c
    float tf;      // GeV: kinetic energy at entrance
    float chia;    // rad: screening angle of the mixture
    float a3;      // mol/g: sum of prop Z / A
    float a4;      // ln of the mean excitation energy in eV
    float a5;      // ln(p0 / mass)
    float rad;     // cm2/g, then the thickness in radiation lengths
    float delta;   // density-effect correction
    float radlos;  // GeV: mean radiative loss
};
extern Derived derived;

// Reports written in this session (page control of the log).
extern std::int32_t icount;

// Atomic numbers with a row in the element tables: 1 <= Z < 93.
inline bool in_tables(float z) { return z >= 1.0f && z < 93.0f; }

// Element i (0-based) takes part in the calculation: a positive proportion
// and a row in the element tables.
inline bool takes_part(const PassageInput& in, int i) {
    return in.prop[i] > 0.0f && in_tables(in.Z[i]);
}

}  // namespace zefrin
