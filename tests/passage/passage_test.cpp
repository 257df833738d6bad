// The passage driver, multiple scattering and nuclear interaction, below the
// whole session: each routine alone on a record set up by the test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "base/record.hpp"
#include "captured.hpp"
#include "passage/nuclear.hpp"
#include "passage/scattering.hpp"
#include "passage/setup.hpp"

namespace {

using namespace zefrin;
using test::captured;
using test::starred;

// Expected lines from tests/model/unit_rows.py; chia 0.001 rad, length
// 2.5 cm, rad 0.125. By hand: at omeg0 = 5, B = ln 5 x 2.583 / 2.3026 +
// 1.153 = 2.958 and the 1/e angle is sqrt(1.007 B - 1.33) chic = 1.2842 x
// 2.2361 mr = 2.872 mr; just below 5 the number of scatters still prints as
// 5.00 in F5.2.
TEST(Moliere, ApplicabilityAtFiveScatters) {
    const auto not_applicable = [](const char* n) {
        return starred(" Number of Rutherford scatters is only " + std::string(n) +
                       ";  Moliere theory is not applicable.") +
               " 1/e sc.ang =   0.000 mr, 1/e disp = 0.0000 mm, t (rad.leng) =  0.125, B =  1.00\n";
    };
    const struct {
        const char* what;
        float chic;
        std::string lines;
    } cases[] = {
        // clang-format off
        {"omeg0 = 5: the theory applies",      0x1.2515fep-9f,
         " 1/e sc.ang =   2.872 mr, 1/e disp = 0.0369 mm, t (rad.leng) =  0.125, B =  2.96\n"},
        {"omeg0 just below 5: not applicable", 0x1.2515fcp-9f, not_applicable(" 5.00")},
        {"omeg0 = 1",                          0x1.0624dep-10f, not_applicable(" 1.00")},
        // clang-format on
    };
    input = PassageInput{};
    input.length = 2.5f;
    // An applicable layer first: nothing of it may show in the next rows.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            const auto text = captured([&] { moliere(c.chic, 0.001f, 0.125f); });
            EXPECT_EQ(text.terminal, c.lines);
            EXPECT_EQ(text.log, c.lines);
        }
    }
}

struct Layer {
    float mass, p0, rho, length;
    float z[3], prop[3], A[3];
};

float chic_of(const Layer& l) {
    input = PassageInput{};
    input.mass = l.mass;
    input.p0 = l.p0;
    input.rho = l.rho;
    input.length = l.length;
    for (int i = 0; i < 3; ++i) {
        input.Z[i] = l.z[i];
        input.prop[i] = l.prop[i];
        input.A[i] = l.A[i];
    }
    const float e0 = std::sqrt(l.p0 * l.p0 + l.mass * l.mass);
    return chisum(e0, l.p0 / e0);
}

// Only elements that take part enter the sum, whatever A they carry from an
// earlier report; the same element given twice with halves is the element.
TEST(CharacteristicAngle, ElementsOfTheSum) {
    const Layer alone = {0.9382796f, 1.206f, 8.96f, 1.0f, {29, 0, 0}, {1, 0, 0}, {63.54f, 0, 0}};
    const float chic = chic_of(alone);
    EXPECT_EQ(chic, 0x1.2bc92cp-8f);  // the model; closed form 0.004574
    const struct {
        const char* what;
        Layer layer;
    } same[] = {
        // clang-format off
        {"halves",                                {0.9382796f, 1.206f, 8.96f, 1.0f, {29, 29, 0},   {0.5f, 0.5f, 0}, {63.54f, 63.54f, 0}}},
        {"negative proportion with an earlier A", {0.9382796f, 1.206f, 8.96f, 1.0f, {29, 8, 0},    {1, -0.5f, 0},   {63.54f, 16.0f, 0}}},
        {"Z 100 with A",                          {0.9382796f, 1.206f, 8.96f, 1.0f, {29, 0, 100},  {1, 0, 1},       {63.54f, 0, 50}}},
        {"Z 0.5 with A",                          {0.9382796f, 1.206f, 8.96f, 1.0f, {0.5f, 29, 0}, {1, 1, 0},       {7, 63.54f, 0}}},
        // clang-format on
    };
    for (const auto& c : same) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(chic_of(c.layer), chic);
    }
}

// An electron of 5 GeV/c has bta0 = 1 in single precision, so betpcm = 1 and
// pfcm = mass / sqrt(0) is infinite: the term is then 0.000396 prop Z
// sqrt(rho length / A) / (p0 betpcm), by hand 0.000396 x 82 x sqrt(1.135 /
// 207.2) / 5 = 4.8066e-4 rad, and not 0.
TEST(CharacteristicAngle, InfiniteMomentumInTheCentreOfMassFrame) {
    const Layer l = {0.00051f, 5.0f, 11.35f, 0.1f, {82, 0, 0}, {1, 0, 0}, {207.2f, 0, 0}};
    const float chic = chic_of(l);
    EXPECT_EQ(chic, 0x1.f8036ap-12f);
    EXPECT_NEAR(chic, 4.8066e-4f, 1e-8f);
}

// The nuclear section alone. Lines from tests/model/unit_rows.py; by hand:
// siga 33 leaves ab.cs = 44 x 63.54^0.69 = 771.9 mb; copper has
// el.cs = 47 x 63.54^0.82 - 42 x 63.54^0.67 = 736.4 mb; at A = 70 that
// formula gives 807.8 mb and just above, 47 x A^0.67 = 809.7 mb; hydrogen at
// rho 0.01 has 1/(alam + dilam) = 3656 cm = 36.6 m and alam / total =
// 0.889; siga 5 gives hydrogen 44 (1.0055 - 28 x 1.0029 x 0.0642) < 0 but
// carbon 51.0 mb.
TEST(NuclearInteraction, Lines) {
    // A proton of 1.206 GeV/c in every row.
    const struct {
        const char* what;
        float rho, siga, sige, z[3], prop[3], A[3];
        std::string lines;
    } cases[] = {
        // clang-format off
        {"copper, built-in",
         8.96f, 31.0f, -1.0f,             {29, 0, 0},  {1, 0, 0},     {63.54f, 0, 0},
         " Atom1: int.prob = 1.000, RMS.ang =  49.9 mr, el.cs = 736.4 mb, ab.cs = 755.9 mb\n"
         " Total interaction length =  7.881 cm, .......... absorbtion probability = 0.507\n"},
        {"hydrogen at rho 0.01: metres",
         0.01f, 31.0f, -1.0f,             {1, 0, 0},   {1, 0, 0},     {1.008f, 0, 0},
         " Atom1: int.prob = 1.000, RMS.ang = 200.0 mr, el.cs =   5.1 mb, ab.cs =  40.6 mb\n"
         " Total interaction length =   36.6 m, ........... absorbtion probability = 0.889\n"},
        {"siga not positive: nothing",
         8.96f, -1.0f, -1.0f,             {29, 0, 0},  {1, 0, 0},     {63.54f, 0, 0},
         " Total interaction length =******* m, ........... absorbtion probability = 0.000\n"},
        {"siga 33: ab.cs = 44 A^0.69",
         8.96f, 33.0f, -1.0f,             {29, 0, 0},  {1, 0, 0},     {63.54f, 0, 0},
         " Atom1: int.prob = 1.000, RMS.ang =  49.9 mr, el.cs = 736.4 mb, ab.cs = 771.9 mb\n"
         " Total interaction length =  7.797 cm, .......... absorbtion probability = 0.512\n"},
        {"sige 250 for every element",
         1.0f,  31.0f, 250.0f,            {29, 8, 0},  {0.5f, 0.5f, 0}, {63.54f, 16.0f, 0},
         " Atom1: int.prob = 0.201, RMS.ang =  49.9 mr, el.cs = 250.0 mb, ab.cs = 755.9 mb\n"
         " Atom2: int.prob = 0.799, RMS.ang =  79.2 mr, el.cs = 250.0 mb, ab.cs = 288.3 mb\n"
         " Total interaction length = 67.039 cm, .......... absorbtion probability = 0.605\n"},
        {"A = 70: 47 A^0.82 - 42 A^0.67",
         8.96f, 31.0f, -1.0f,             {31, 0, 0},  {1, 0, 0},     {70.0f, 0, 0},
         " Atom1: int.prob = 1.000, RMS.ang =  48.3 mr, el.cs = 807.8 mb, ab.cs = 808.6 mb\n"
         " Total interaction length =  8.015 cm, .......... absorbtion probability = 0.500\n"},
        {"A just above 70: 47 A^0.67",
         8.96f, 31.0f, -1.0f,             {31, 0, 0},  {1, 0, 0},     {0x1.180002p+6f, 0, 0},
         " Atom1: int.prob = 1.000, RMS.ang =  48.3 mr, el.cs = 809.7 mb, ab.cs = 808.6 mb\n"
         " Total interaction length =  8.006 cm, .......... absorbtion probability = 0.500\n"},
        {"siga 5 on hydrogen: no absorption, atom left out",
         8.96f, 5.0f,  -1.0f,             {1, 6, 0},   {1, 1, 0},     {1.008f, 12.01f, 0},
         starred(" Atom1: siga =    5.0 mb gives no absorption cross section: atom left out ......") +
         " Atom2: int.prob = 1.000, RMS.ang =  87.2 mr, el.cs = 138.7 mb, ab.cs =  51.0 mb\n"
         " Total interaction length = 11.716 cm, .......... absorbtion probability = 0.269\n"},
        {"only element 3, earlier A of element 1 kept",
         8.96f, 31.0f, -1.0f,             {29, 0, 13}, {-1, 0, 1},    {63.54f, 0, 26.98f},
         " Atom3: int.prob = 1.000, RMS.ang =  66.5 mr, el.cs = 318.7 mb, ab.cs = 415.7 mb\n"
         " Total interaction length =  6.799 cm, .......... absorbtion probability = 0.566\n"},
        {"999 cm: centimetres",
         0.05f, 31.0f, 0x1.526bf6p+10f,   {29, 0, 0},  {1, 0, 0},     {63.54f, 0, 0},
         " Atom1: int.prob = 1.000, RMS.ang =  49.9 mr, el.cs =1353.7 mb, ab.cs = 755.9 mb\n"
         " Total interaction length =999.000 cm, .......... absorbtion probability = 0.358\n"},
        {"just above 999 cm: metres",
         0.05f, 31.0f, 0x1.526bf4p+10f,   {29, 0, 0},  {1, 0, 0},     {63.54f, 0, 0},
         " Atom1: int.prob = 1.000, RMS.ang =  49.9 mr, el.cs =1353.7 mb, ab.cs = 755.9 mb\n"
         " Total interaction length =   10.0 m, ........... absorbtion probability = 0.358\n"},
        // clang-format on
    };
    const std::string dots = " " + std::string(79, '.') + "\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        input = PassageInput{};
        input.rho = c.rho;
        input.siga = c.siga;
        input.sige = c.sige;
        input.p0 = 1.206f;
        for (int i = 0; i < 3; ++i) {
            input.Z[i] = c.z[i];
            input.prop[i] = c.prop[i];
            input.A[i] = c.A[i];
        }
        const auto text = captured([] {
            nuclear_reset();
            nuclear_elements();
            nuclear_close();
        });
        EXPECT_EQ(text.terminal, c.lines + dots);
        EXPECT_EQ(text.log, c.lines + dots);
    }
}

// A whole report of an electron-like particle through 1 mm of aluminium.
std::string report(float mass) {
    input = PassageInput{};
    input.mass = mass;
    input.siga = 31.0f;
    input.sige = -1.0f;
    input.p0 = 0.5f;
    input.rho = 2.699f;
    input.frac = 1.0f;
    input.length = 0.1f;
    input.Z[0] = 13.0f;
    input.prop[0] = 1.0f;
    const auto text = captured(setup);
    EXPECT_EQ(text.log.substr(2), text.terminal) << "the log holds the terminal lines";
    return text.log;
}

// The log of reports 1 to 7 opens with 0, 0, 0, 1, 0, 0, 1.
TEST(PassageDriver, PageControl) {
    icount = 0;
    const char expected[] = {'0', '0', '0', '1', '0', '0', '1'};
    for (int k = 0; k < 7; ++k) {
        SCOPED_TRACE(k + 1);
        const std::string log = report(0.1f);
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[0], expected[k]);
        EXPECT_EQ(log[1], '\n');
    }
    EXPECT_EQ(icount, 7);
}

// The radiative line is written for a mass up to and including 0.00052.
// By hand for 0.00051: t = 0.2699 g/cm2 / 24.39 g/cm2 = 0.01107 radiation
// lengths, radlos = 500.0 MeV x (1 - exp(-t)) = 5.5 MeV.
TEST(PassageDriver, RadiativeLine) {
    const struct {
        float mass;
        const char* line;  // nullptr: no radiative line
    } cases[] = {
        {0.00051f,
         " Radiative energy loss =    5.5 MeV ............................................\n"},
        {0.00052f,
         " Radiative energy loss =    5.3 MeV ............................................\n"},
        {std::nextafter(0.00052f, 1.0f), nullptr},
        {0.1f, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mass);
        const std::string log = report(c.mass);
        const bool found = log.find(" Radiative energy loss =") != std::string::npos;
        EXPECT_EQ(found, c.line != nullptr);
        if (c.line) {
            EXPECT_NE(log.find(c.line), std::string::npos);
        }
        EXPECT_EQ(input.A[0], 26.98f);
    }
}

}  // namespace
