// The element tables (mean excitation energy, atomic weight) and the seven
// classes of the density-effect correction.
#pragma once

#include <cassert>
#include <cstdint>

namespace zefrin::material {

// Row index of an atomic number: Z truncated toward zero. Only for Z with a
// row (1 <= Z < 93); the result is then 1..92.
inline std::int32_t row(float z) {
    assert(z >= 1.0f && z < 93.0f);
    if (!(z >= 1.0f))
        return 1;
    if (!(z < 93.0f))
        return 92;
    return static_cast<std::int32_t>(z);
}

// Density-effect class of row iz: 1..7.
inline std::int32_t element_class(std::int32_t iz) {
    std::int32_t ie = 1;
    if (iz > 4)
        ie = 2;
    if (iz > 9)
        ie = 3;
    if (iz > 21)
        ie = 4;
    if (iz > 38)
        ie = 5;
    if (iz > 65)
        ie = 6;
    if (iz > 87)
        ie = 7;
    return ie;
}

// The tables themselves; read them through the functions below, which are
// inline because every report reads them for every element.
namespace tables {
extern const float eion[92], at[92];                     // eV, g/mol; Z = 1 to 92
extern const float ce[7], ca[7], cm[7], cx1[7], cx0[7];  // classes 1 to 7
}  // namespace tables

// Clamped so that no read ever leaves a table, whatever the caller passes.
inline std::int32_t clamped(std::int32_t v, std::int32_t lo, std::int32_t hi) {
    assert(v >= lo && v <= hi);
    return v < lo ? lo : (v > hi ? hi : v);
}

// Mean excitation energy in eV and atomic weight in g/mol of row iz (1..92).
inline float eion(std::int32_t iz) {
    return tables::eion[clamped(iz, 1, 92) - 1];
}
inline float at(std::int32_t iz) {
    return tables::at[clamped(iz, 1, 92) - 1];
}

// Sternheimer's parameters of class ie (1..7): C-bar, a, m, X1, X0.
inline float ce(std::int32_t ie) {
    return tables::ce[clamped(ie, 1, 7) - 1];
}
inline float ca(std::int32_t ie) {
    return tables::ca[clamped(ie, 1, 7) - 1];
}
inline float cm(std::int32_t ie) {
    return tables::cm[clamped(ie, 1, 7) - 1];
}
inline float cx1(std::int32_t ie) {
    return tables::cx1[clamped(ie, 1, 7) - 1];
}
inline float cx0(std::int32_t ie) {
    return tables::cx0[clamped(ie, 1, 7) - 1];
}

}  // namespace zefrin::material
