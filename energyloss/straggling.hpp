// The collision energy loss of a layer as values: Bethe-Bloch mean loss with
// the density effect, Gaussian or Landau straggling, and the counts of the
// warnings that advise dividing the layer.
#pragma once

#include <cstdint>

namespace zefrin::physics {

struct Loss {
    float pf;            // GeV/c: momentum, from e0 and mass
    float a5;            // ln(pf / mass)
    float btaf;          // velocity in units of c
    float ac;            // GeV: Landau's xi of the layer
    float qmax;          // GeV: largest transfer to a free electron
    float r;             // GeV2: Bohr variance (1 - beta^2/2) xi qmax
    float g;             // r / qmax^2: Gaussian from 10 up, else Landau
    bool gauss;          // g >= 10
    float enloss;        // GeV: most probable loss
    float w;             // GeV: width as reported (Gauss 2.4 sigma, Landau 2.9 x 1.48 xi)
    float dedx;          // GeV: mean loss of the layer
    float tf;            // GeV: kinetic energy e0 - mass
    std::int32_t lx;     // Landau: number of elements the warning proposes
    bool divide;         // Landau with g > 0.1: the layer should be divided
    bool stops;          // dedx >= tf: the whole kinetic energy would be lost
    bool tenth;          // not stops, and dedx > 0.1 tf
    std::int32_t ncor;   // stops: regions so that each loses less than tf
    std::int32_t ncorr;  // stops or tenth: regions losing at most a tenth of tf
    bool positive;       // enloss > 0 and dedx > 0: the formulas give a result
};

// From the mixture constants a3 (mol/g), a4 (ln of I in eV) and delta, the
// particle's mass (GeV/c2) and total energy e0 (GeV), and the layer's length
// (cm) and density rho (g/cm3). Counts not defined by their flag are 0.
Loss loss(float a3, float a4, float delta, float mass, float e0, float length, float rho);

}  // namespace zefrin::physics
