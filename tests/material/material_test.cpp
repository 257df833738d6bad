// The element tables and the mixture constants of enrg0.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "base/record.hpp"
#include "material/mixture.hpp"
#include "material/tables.hpp"

namespace {

using namespace zefrin;

// Rows typed from the element table: I in eV, A in g/mol.
struct Row {
    float z;
    std::int32_t iz;
    float eion, at;
};
const Row rows[] = {
    {1.0f, 1, 19.0f, 1.008f},    {2.0f, 2, 42.0f, 4.003f},    {8.0f, 8, 99.0f, 16.0f},
    {13.0f, 13, 162.0f, 26.98f}, {14.0f, 14, 159.0f, 28.09f}, {18.0f, 18, 180.0f, 39.94f},
    {19.0f, 19, 189.0f, 39.1f},  {29.0f, 29, 330.0f, 63.54f}, {29.9f, 29, 330.0f, 63.54f},
    {31.0f, 31, 335.0f, 69.72f}, {32.0f, 32, 323.0f, 72.6f},  {53.0f, 53, 452.0f, 126.9f},
    {82.0f, 82, 761.0f, 207.2f}, {90.0f, 90, 776.0f, 232.0f}, {91.0f, 91, 807.0f, 231.0f},
    {92.0f, 92, 808.0f, 238.1f}, {92.5f, 92, 808.0f, 238.1f}, {1.9f, 1, 19.0f, 1.008f},
};

TEST(ElementTables, RowsByTruncatedZ) {
    for (const Row& r : rows) {
        SCOPED_TRACE(r.z);
        const std::int32_t iz = material::row(r.z);
        EXPECT_EQ(iz, r.iz);
        EXPECT_EQ(material::eion(iz), r.eion);
        EXPECT_EQ(material::at(iz), r.at);
    }
}

// Both sides of every class boundary, and the ends of the table.
TEST(ElementTables, ClassBoundaries) {
    const struct {
        std::int32_t iz, ie;
    } cases[] = {{1, 1},  {4, 1},  {5, 2},  {9, 2},  {10, 3}, {21, 3}, {22, 4},
                 {38, 4}, {39, 5}, {65, 5}, {66, 6}, {87, 6}, {88, 7}, {92, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.iz);
        EXPECT_EQ(material::element_class(c.iz), c.ie);
    }
}

TEST(ElementTables, DensityEffectParameters) {
    const struct {
        std::int32_t ie;
        float ce, ca, cm, cx1, cx0;
    } cases[] = {
        {1, 2.83f, 0.413f, 2.82f, 2.0f, -0.1f}, {2, 3.18f, 0.509f, 2.67f, 2.0f, -0.05f},
        {3, 4.21f, 0.091f, 3.51f, 3.0f, 0.05f}, {4, 4.38f, 0.107f, 3.39f, 3.0f, 0.17f},
        {5, 5.09f, 0.183f, 3.05f, 3.0f, 0.02f}, {6, 6.16f, 0.344f, 2.66f, 3.0f, 0.39f},
        {7, 5.89f, 0.318f, 2.66f, 3.0f, 0.2f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ie);
        EXPECT_EQ(material::ce(c.ie), c.ce);
        EXPECT_EQ(material::ca(c.ie), c.ca);
        EXPECT_EQ(material::cm(c.ie), c.cm);
        EXPECT_EQ(material::cx1(c.ie), c.cx1);
        EXPECT_EQ(material::cx0(c.ie), c.cx0);
    }
}

struct Mix {
    float chia, a3, a4, a5, rad, delta;
};

Mix run_enrg0(float mass, float p0) {
    input.mass = mass;
    input.p0 = p0;
    const float e0 = std::sqrt(p0 * p0 + mass * mass);
    const float bta0 = p0 / e0;
    Mix m{};
    enrg0(m.chia, m.a3, m.a4, m.a5, m.rad, m.delta, input.mass, input.p0, e0, bta0);
    return m;
}

void set_elements(const float (&z)[3], const float (&prop)[3]) {
    input = PassageInput{};
    for (int i = 0; i < 3; ++i) {
        input.Z[i] = z[i];
        input.prop[i] = prop[i];
    }
}

// Expected values from tests/model/unit_rows.py (the Python model of the
// whole calculation, single precision step by step), bit for bit. By hand:
// copper has a3 = 29/63.54 = 0.4564, a4 = ln 330 = 5.7991 and rad = 0.0772
// cm2/g (X0 = 12.96 g/cm2); a proton of 1.206 GeV/c has X = 0.109 < X0 =
// 0.17, so delta = 0; an electron of 0.01 GeV/c has X = 1.292 between X0 and
// X1 = 3: delta = 2 ln 19.61 - 4.38 + 0.107 (3 - 1.292)^3.39 = 2.228; at
// 1 GeV/c X = 3.29 > X1: delta = 2 ln 1960.8 - 4.38 = 10.782. Closed-form
// double sums (tests/model/closed_form.py) agree with the reports.
// clang-format off
const struct {
    const char* what;
    float mass, p0, z[3], prop[3], A[3];
    float chia, a3, a4, a5, rad, delta;
} mixtures[] = {
    //                    mass        p0      z               prop                A
    //                    chia             a3              a4              a5              rad             delta
    {"proton in copper, built-in",
                          0.9382796f, 1.206f, {29, 0, 0},     {1, 0, 0},          {0x1.fc51ecp+5f, 0, 0},
                          0x1.49d394p-17f, 0x1.d35bfp-2f,  0x1.732456p+2f, 0x1.010a7p-2f,  0x1.3c27fcp-4f, 0.0f},
    {"electron in copper, p0 0.01",
                          0.00051f,   0.01f,  {29, 0, 0},     {1, 0, 0},          {0x1.fc51ecp+5f, 0, 0},
                          0x1.2503e4p-10f, 0x1.d35bfp-2f,  0x1.732456p+2f, 0x1.7ceb44p+1f, 0x1.3c27fcp-4f, 0x1.1d35d8p+1f},
    {"electron in copper, p0 1",
                          0.00051f,   1.0f,   {29, 0, 0},     {1, 0, 0},          {0x1.fc51ecp+5f, 0, 0},
                          0x1.76f55ep-17f, 0x1.d35bfp-2f,  0x1.732456p+2f, 0x1.e530bep+2f, 0x1.3c27fcp-4f, 0x1.5907c8p+3f},
    {"proton in water: classes 1 and 2",
                          0.9382796f, 1.206f, {1, 8, 0},      {0.111f, 0.889f, 0}, {0x1.020c4ap+0f, 0x1p+4f, 0},
                          0x1.5982b4p-18f, 0x1.1bf708p-1f, 0x1.111cbcp+2f, 0x1.010a7p-2f,  0x1.b845ap-6f,  0x1.0577p-3f},
    {"Z 29.9 uses row 29",
                          0.9382796f, 1.206f, {29.9f, 0, 0},  {1, 0, 0},          {0x1.fc51ecp+5f, 0, 0},
                          0x1.504adp-17f,  0x1.e1dd06p-2f, 0x1.732456p+2f, 0x1.010a7p-2f,  0x1.4e9928p-4f, 0.0f},
    {"pion in lead, only element 3",
                          0.13957f,   10.0f,  {29, 0, 82},    {-1, 0, 0.5f},      {0, 0, 0x1.9e6666p+7f},
                          0x1.4bec08p-20f, 0x1.95404p-3f,  0x1.a89dd6p+2f, 0x1.1164cp+2f,  0x1.3a8b84p-4f, 0x1.702f0cp+1f},
};
// clang-format on

TEST(MixtureConstants, AgainstTheModel) {
    for (const auto& c : mixtures) {
        SCOPED_TRACE(c.what);
        set_elements(c.z, c.prop);
        const Mix m = run_enrg0(c.mass, c.p0);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(input.A[i], c.A[i]) << "A of element " << i + 1;
        EXPECT_EQ(m.chia, c.chia);
        EXPECT_EQ(m.a3, c.a3);
        EXPECT_EQ(m.a4, c.a4);
        EXPECT_EQ(m.a5, c.a5);
        EXPECT_EQ(m.rad, c.rad);
        EXPECT_EQ(m.delta, c.delta);
    }
}

// The same mixture with every proportion doubled: a3 and chia double exactly
// (a power of two), a4, a5 and delta do not move, rad doubles up to its
// starting 1e-30 and a rounding.
TEST(MixtureConstants, DoublingEveryProportion) {
    const float z[3] = {1.0f, 8.0f, 29.0f};
    const float once[3] = {0.111f, 0.589f, 0.3f};
    const float twice[3] = {2.0f * once[0], 2.0f * once[1], 2.0f * once[2]};
    set_elements(z, once);
    const Mix a = run_enrg0(0.13957f, 2.0f);
    set_elements(z, twice);
    const Mix b = run_enrg0(0.13957f, 2.0f);
    EXPECT_EQ(b.a3, 2.0f * a.a3);
    EXPECT_EQ(b.chia, 2.0f * a.chia);
    EXPECT_EQ(b.a4, a.a4);
    EXPECT_EQ(b.a5, a.a5);
    EXPECT_EQ(b.delta, a.delta);
    EXPECT_FLOAT_EQ(b.rad, 2.0f * a.rad);
    EXPECT_GT(a.delta, 0.0f);  // X lies between the means of X0 and X1
}

// Z 29.9 reads row 29 but enters the formulas unrounded.
TEST(MixtureConstants, FractionalZ) {
    set_elements({29.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f});
    const Mix whole = run_enrg0(0.9382796f, 1.206f);
    set_elements({29.9f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f});
    const Mix frac = run_enrg0(0.9382796f, 1.206f);
    EXPECT_GT(frac.rad, whole.rad);
    EXPECT_GT(frac.a3, whole.a3);
    EXPECT_FLOAT_EQ(frac.a4, std::log(330.0f));
    EXPECT_EQ(input.A[0], 63.54f);
}

// Only elements that take part (positive proportion, Z from 1 to 92) are
// looked up; the A of any other element stays as it was.
TEST(MixtureConstants, ElementsLeftOutKeepTheirA) {
    const struct {
        const char* what;
        float z2, prop2, a2_before;
    } cases[] = {
        {"negative proportion, A of an earlier report", 8.0f, -0.5f, 16.0f},
        {"negative proportion, never used", 8.0f, -0.5f, 0.0f},
        {"Z 100 with a positive proportion", 100.0f, 0.5f, 0.0f},
        {"Z 0.5 with a positive proportion", 0.5f, 0.5f, 7.0f},
        {"Z 93 with a positive proportion", 93.0f, 0.5f, 0.0f},
    };
    set_elements({29.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f});
    const Mix alone = run_enrg0(0.9382796f, 1.206f);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        set_elements({29.0f, c.z2, 0.0f}, {1.0f, c.prop2, 0.0f});
        input.A[1] = c.a2_before;
        const Mix m = run_enrg0(0.9382796f, 1.206f);
        EXPECT_EQ(input.A[1], c.a2_before);
        EXPECT_EQ(m.a3, alone.a3);
        EXPECT_EQ(m.rad, alone.rad);
        EXPECT_EQ(m.chia, alone.chia);
        EXPECT_EQ(m.delta, alone.delta);
    }
}

}  // namespace
