// The element tables, Z = 1 to 92, and the density-effect classes.
#include "material/tables.hpp"

#include <cassert>

namespace zefrin::material {

namespace {

// Mean excitation energy I in eV, Z = 1 to 92.
constexpr float eion_table[92] = {
    19.0f, 42.0f, 47.0f, 63.0f, 75.0f, 79.0f, 86.0f, 99.0f,
    119.0f, 135.0f, 141.0f, 149.0f, 162.0f, 159.0f, 169.0f, 179.0f,
    170.0f, 180.0f, 189.0f, 195.0f, 215.0f, 228.0f, 237.0f, 257.0f,
    275.0f, 284.0f, 304.0f, 314.0f, 330.0f, 323.0f, 335.0f, 323.0f,
    355.0f, 343.0f, 339.0f, 347.0f, 350.0f, 353.0f, 365.0f, 382.0f,
    391.0f, 393.0f, 416.0f, 429.0f, 436.0f, 456.0f, 470.0f, 466.0f,
    479.0f, 512.0f, 492.0f, 491.0f, 452.0f, 459.0f, 485.0f, 486.0f,
    494.0f, 513.0f, 520.0f, 540.0f, 537.0f, 546.0f, 547.0f, 567.0f,
    577.0f, 578.0f, 612.0f, 583.0f, 629.0f, 637.0f, 655.0f, 663.0f,
    682.0f, 695.0f, 714.0f, 727.0f, 744.0f, 760.0f, 742.0f, 768.0f,
    765.0f, 761.0f, 763.0f, 765.0f, 762.0f, 733.0f, 762.0f, 760.0f,
    768.0f, 776.0f, 807.0f, 808.0f,
};

// Atomic weight A in g/mol, Z = 1 to 92.
constexpr float at_table[92] = {
    1.008f, 4.003f, 6.94f, 9.013f, 10.82f, 12.01f, 14.01f, 16.0f,
    19.0f, 20.18f, 22.99f, 24.32f, 26.98f, 28.09f, 30.98f, 32.07f,
    35.46f, 39.94f, 39.1f, 40.08f, 44.96f, 47.9f, 50.95f, 52.01f,
    54.94f, 55.85f, 58.94f, 58.69f, 63.54f, 65.38f, 69.72f, 72.6f,
    74.91f, 78.96f, 79.92f, 83.8f, 85.48f, 87.63f, 88.92f, 91.22f,
    92.91f, 95.95f, 99.0f, 101.1f, 102.9f, 106.7f, 107.9f, 112.4f,
    114.8f, 118.7f, 121.8f, 127.6f, 126.9f, 131.3f, 132.9f, 137.4f,
    138.9f, 140.1f, 140.9f, 144.3f, 145.0f, 150.4f, 152.0f, 156.9f,
    158.9f, 162.5f, 164.9f, 167.2f, 168.9f, 173.0f, 175.0f, 178.6f,
    181.0f, 183.9f, 186.3f, 190.2f, 192.2f, 195.2f, 197.0f, 200.6f,
    204.4f, 207.2f, 209.0f, 210.0f, 210.0f, 222.0f, 223.0f, 226.0f,
    227.0f, 232.0f, 231.0f, 238.1f,
};

// Sternheimer's density-effect parameters of the seven classes.
constexpr float ce_table[7] = {2.83f, 3.18f, 4.21f, 4.38f, 5.09f, 6.16f, 5.89f};
constexpr float ca_table[7] = {0.413f, 0.509f, 0.091f, 0.107f, 0.183f, 0.344f, 0.318f};
constexpr float cm_table[7] = {2.82f, 2.67f, 3.51f, 3.39f, 3.05f, 2.66f, 2.66f};
constexpr float cx1_table[7] = {2.0f, 2.0f, 3.0f, 3.0f, 3.0f, 3.0f, 3.0f};
constexpr float cx0_table[7] = {-0.1f, -0.05f, 0.05f, 0.17f, 0.02f, 0.39f, 0.2f};

// Clamped so that no read ever leaves a table, whatever the caller passes.
std::int32_t clamp(std::int32_t v, std::int32_t lo, std::int32_t hi) {
    assert(v >= lo && v <= hi);
    return v < lo ? lo : (v > hi ? hi : v);
}

}  // namespace

std::int32_t row(float z) {
    assert(z >= 1.0f && z < 93.0f);
    if (!(z >= 1.0f)) return 1;
    if (!(z < 93.0f)) return 92;
    return static_cast<std::int32_t>(z);
}

float eion(std::int32_t iz) { return eion_table[clamp(iz, 1, 92) - 1]; }
float at(std::int32_t iz) { return at_table[clamp(iz, 1, 92) - 1]; }

std::int32_t element_class(std::int32_t iz) {
    std::int32_t ie = 1;
    if (iz > 4) ie = 2;
    if (iz > 9) ie = 3;
    if (iz > 21) ie = 4;
    if (iz > 38) ie = 5;
    if (iz > 65) ie = 6;
    if (iz > 87) ie = 7;
    return ie;
}

float ce(std::int32_t ie) { return ce_table[clamp(ie, 1, 7) - 1]; }
float ca(std::int32_t ie) { return ca_table[clamp(ie, 1, 7) - 1]; }
float cm(std::int32_t ie) { return cm_table[clamp(ie, 1, 7) - 1]; }
float cx1(std::int32_t ie) { return cx1_table[clamp(ie, 1, 7) - 1]; }
float cx0(std::int32_t ie) { return cx0_table[clamp(ie, 1, 7) - 1]; }

}  // namespace zefrin::material
