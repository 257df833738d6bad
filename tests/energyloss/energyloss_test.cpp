// The collision energy-loss distribution: regimes and warnings at their
// boundaries, each reached exactly in single precision.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/record.hpp"
#include "captured.hpp"
#include "energyloss/distribution.hpp"

namespace {

using namespace zefrin;
using test::captured;
using test::starred;

// One layer: a3 0.45 mol/g and a4 = ln 330 (copper-like), delta 0, a proton
// (mass 0.9382796) of total energy 1.6 GeV, tf = 0.66172 GeV, rho 8.96. Only
// the length (cm) and frac change from row to row. tests/model/unit_rows.py
// walks the length one float at a time, with the model's single-precision
// arithmetic, to the float where g is exactly 10 or 0.1, or dedx exactly
// 0.1 tf or tf, and to the first float past it; the lines are the model's.
// The counts by hand: just below g = 10, lx = trunc(10 x 9.999999 + 1) =
// 100; just above 0.1, trunc(1.0000002 + 1) = 2; at g = 0.37, trunc(4.7) = 4
// (not 5); at dedx = 0.45 tf, ncorr = trunc(4.5 + 1) = 5; just below tf,
// trunc(9.999998 + 1) = 10; at dedx = tf, ncor = 2 and ncorr = trunc(10 + 1)
// = 11 (dedx / (0.1 tf) rounds to 10); at 2.34 tf, ncor = 3, ncorr = 24. In
// the Gaussian regime prob. energy loss and average loss are the same.
// The warnings, each between two lines of asterisks.
std::string landau(const char* n) {
    return starred(" Landau  <  Energy loss distribution  <  Gauss: divide into" + std::string(n) +
                   " smaller elements.");
}
std::string ten_percent(const char* n) {
    return starred(" Energy loss  >  10% of entrance kinetic energy, divide into" + std::string(n) +
                   " smaller regions.");
}

const struct {
    const char* what;
    float length, frac;
    std::string lines;
} rows[] = {
    // clang-format off
    {"g = 10: Gaussian",                                  0x1.e9feeap+4f, 1,
     ten_percent("  8") +
     " *Gauss*   prob. energy loss =464.300, width =244.201, average loss =464.300 MeV\n"},
    {"g just below 10: Landau, lx = 100",                 0x1.e9fee8p+4f, 1,
     landau("100") + ten_percent("  8") +
     " *Landau*  prob. energy loss =571.444, width =124.071, average loss =464.300 MeV\n"},
    {"g = 0.1: Landau, no subdivision warning",           0x1.3998e8p-2f, 1,
     " *Landau*  prob. energy loss =  4.383, width =  1.241, average loss =  4.643 MeV\n"},
    {"g just above 0.1: lx = 2",                          0x1.3998ecp-2f, 1,
     landau("  2") +
     " *Landau*  prob. energy loss =  4.383, width =  1.241, average loss =  4.643 MeV\n"},
    {"g = 0.37: lx = 4, truncated",                       0x1.2213d6p+0f, 1,
     landau("  4") +
     " *Landau*  prob. energy loss = 17.617, width =  4.591, average loss = 17.179 MeV\n"},
    {"dedx = 0.1 tf: no ten-percent warning",             0x1.175648p+2f, 1,
     landau(" 15") +
     " *Landau*  prob. energy loss = 73.416, width = 17.683, average loss = 66.172 MeV\n"},
    {"dedx just above 0.1 tf: ncorr = 2",                 0x1.17564ap+2f, 1,
     landau(" 15") + ten_percent("  2") +
     " *Landau*  prob. energy loss = 73.416, width = 17.683, average loss = 66.172 MeV\n"},
    {"dedx = 0.45 tf: ncorr = 5",                         0x1.3a411p+4f,  1,
     landau(" 65") + ten_percent("  5") +
     " *Landau*  prob. energy loss =358.255, width = 79.572, average loss =297.774 MeV\n"},
    {"dedx just below tf: ten-percent warning, ncorr = 10", 0x1.5d2bd6p+5f, 1,
     ten_percent(" 10") +
     " *Gauss*   prob. energy loss =661.720, width =348.035, average loss =661.720 MeV\n"},
    {"dedx = tf, frac = 1: full-layer line, ncor = 2",    0x1.5d2bdap+5f, 1,
     starred(" Energy loss >= kinetic energy,  divide into  2, better into 11 smaller regions.")},
    {"dedx = tf, frac just below 1: partial-layer line",  0x1.5d2bdap+5f, 0x1.fffffep-1f,
     starred(" Energy loss would be  661.7 MeV > entrance kinetic energy =  661.7 MeV.........")},
    {"dedx = 2.34 tf, frac = 1: ncor = 3, ncorr = 24",    0x1.9887c8p+6f, 1,
     starred(" Energy loss >= kinetic energy,  divide into  3, better into 24 smaller regions.")},
    // Landau's most probable loss, ac (23.31 + ln ac) with ac = 9.43e-4 GeV/cm
    // times the length: positive (2.4e-9 GeV) at 1e-6 cm, negative
    // (-2.0e-11 GeV) at 1e-8 cm, where no result line may be written.
    {"most probable loss just positive: the Landau line",   1e-6f,        1,
     " *Landau*  prob. energy loss =  0.000, width =  0.000, average loss =  0.000 MeV\n"},
    {"most probable loss negative: no result line",       1e-8f,        1,
     starred(" Energy loss formulas give a loss <= 0 here: energy or thickness too small .....")},
    // clang-format on
};

TEST(EnergyLoss, RegimesAndWarningsAtTheirBoundaries) {
    // a4: ln 330 = 5.7990927 rounded to float.
    const float a3 = 0.45f, a4 = 0x1.732456p+2f, rad = 0.0f, delta = 0.0f;
    const float mass = 0.9382796f, e0 = 1.6f;
    ASSERT_NEAR(a4, std::log(330.0f), 1e-6f);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        input = PassageInput{};
        input.length = r.length;
        input.frac = r.frac;
        input.rho = 8.96f;
        const auto text = captured([&] { enrg1(a3, a4, rad, delta, mass, e0); });
        EXPECT_EQ(text.terminal, r.lines);
        EXPECT_EQ(text.log, r.lines);
        EXPECT_EQ(input.length, r.length) << "enrg1 changes nothing";
    }
}

// rad is carried but not read: no line depends on it.
TEST(EnergyLoss, ThicknessInRadiationLengthsNotRead) {
    input = PassageInput{};
    input.length = 1.0f;
    input.frac = 1.0f;
    input.rho = 8.96f;
    std::string first;
    for (const float rad : {0.0f, 0.692f, 1.0e30f}) {
        SCOPED_TRACE(rad);
        const auto text =
            captured([&] { enrg1(0.45f, 0x1.732456p+2f, rad, 0.0f, 0.9382796f, 1.6f); });
        if (first.empty())
            first = text.terminal;
        EXPECT_EQ(text.terminal, first);
    }
}

}  // namespace
