// The element tables (mean excitation energy, atomic weight) and the seven
// classes of the density-effect correction.
#pragma once

#include <cstdint>

namespace zefrin::material {

// Row index of an atomic number: Z truncated toward zero. Only for Z with a
// row (1 <= Z < 93); the result is then 1..92.
std::int32_t row(float z);

// Mean excitation energy in eV and atomic weight in g/mol of row iz (1..92).
float eion(std::int32_t iz);
float at(std::int32_t iz);

// Density-effect class of row iz: 1..7.
std::int32_t element_class(std::int32_t iz);

// Sternheimer's parameters of class ie (1..7): C-bar, a, m, X1, X0.
float ce(std::int32_t ie);
float ca(std::int32_t ie);
float cm(std::int32_t ie);
float cx1(std::int32_t ie);
float cx0(std::int32_t ie);

}  // namespace zefrin::material
