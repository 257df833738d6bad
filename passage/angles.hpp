// Moliere's multiple scattering as values: the characteristic angle of a
// layer of any number of elements, the number of scatters, B and the 1/e
// angle and displacement.
#pragma once

#include <span>

#include "material/constants.hpp"

namespace zefrin::physics {

// The particle and the layer the scattering angle depends on.
struct Layer {
    float mass;    // GeV/c2
    float p0;      // GeV/c
    float e0;      // GeV
    float bta0;    // units of c
    float rho;     // g/cm3
    float length;  // cm
};

// rad: one element's term of the characteristic angle chic, with the
// particle's kinematics in the centre-of-mass frame of its nucleus (A > 0).
float chic_term(const Element& el, const Layer& layer);

// rad: chic, the terms summed from 0 over the elements in their order.
float chisum(std::span<const Element> elements, const Layer& layer);

struct Moliere {
    float omeg0;      // number of Rutherford scatters, (chic / chia)^2
    bool applicable;  // omeg0 >= 5
    float b;          // Moliere's B; 1 when not applicable
    float se;         // rad: 1/e angle; 0 when not applicable
    float sye;        // cm: 1/e lateral displacement; 0 when not applicable
};

// From chic and the screening angle chia (rad) of a layer of length (cm).
Moliere moliere(float chic, float chia, float length);

}  // namespace zefrin::physics
