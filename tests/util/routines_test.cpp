// The routines that run inside the test process: scaling, seeding, the clock.
#include "util/routines.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <vector>

namespace util = zefrin::util;

namespace {

constexpr std::int32_t imax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t imin = std::numeric_limits<std::int32_t>::min();

std::vector<float> draws(std::int32_t n, int count) {
    util::seed(n);
    std::vector<float> v;
    for (int k = 0; k < count; ++k) {
        float x = -1.0f;
        util::random(x);
        v.push_back(x);
    }
    return v;
}

}  // namespace

// Floats in [2^k, 2^(k+1)) are 2^(k-23) apart; ties go to the even mantissa.
TEST(Scale, RoundsToSinglePrecisionThenDividesBy2To31) {
    struct Row {
        std::int32_t r;
        float x;
    };
    const Row rows[] = {
        {0, 0.0f},
        {1, 0x1p-31f},
        {64, 0x1p-25f},
        {16777217, 0x1p-7f},           // 2^24 + 1: tie, down to 2^24
        {1073741824, 0.5f},            // 2^30
        {1073741888, 0.5f},            // 2^30 + 64: tie, down to even 2^30
        {1073741889, 0x1.000002p-1f},  // 2^30 + 65: up to 2^30 + 128
        {2147483520, 0x1.fffffep-1f},  // 2^31 - 128: the float below 2^31
        {2147483583, 0x1.fffffep-1f},  // 2^31 - 65: 0.99999994, not 1
        {2147483584, 1.0f},            // 2^31 - 64: tie, up to even 2^31
        {imax, 1.0f},                  // the largest value of rand
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.r);
        EXPECT_EQ(util::scale(row.r), row.x);
    }
}

TEST(Scale, TheTop64ValuesGiveOneAndTheNext64DoNot) {
    for (std::int32_t r = 2147483584; r <= imax - 1; ++r) EXPECT_EQ(util::scale(r), 1.0f) << r;
    EXPECT_EQ(util::scale(imax), 1.0f);
    for (std::int32_t r = 2147483520; r < 2147483584; ++r) EXPECT_LT(util::scale(r), 1.0f) << r;
}

TEST(Random, SameSeedSameSequenceWithinZeroToOne) {
    for (const std::int32_t n : {0, 1, 12345, -1, imin, imax}) {
        SCOPED_TRACE(n);
        const std::vector<float> a = draws(n, 500);
        const std::vector<float> b = draws(n, 500);
        EXPECT_EQ(a, b);
        for (const float x : a) {
            EXPECT_GE(x, 0.0f);
            EXPECT_LE(x, 1.0f);
        }
    }
    EXPECT_NE(draws(1, 20), draws(2, 20)) << "seed ignores its argument";
}

// random draws rand seeded by srand of n's bits read as unsigned; the
// expected value is r / 2^31 in double, rounded once to float.
TEST(Random, FollowsThePlatformGenerator) {
    struct Row {
        std::int32_t n;
        unsigned u;
    };
    const Row rows[] = {{42, 42u}, {-1, 4294967295u}, {imin, 2147483648u}, {imax, 2147483647u}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.n);
        const std::vector<float> got = draws(row.n, 50);
        std::srand(row.u);
        for (const float x : got) {
            const int r = std::rand();
            EXPECT_EQ(x, static_cast<float>(static_cast<double>(r) / 2147483648.0)) << r;
        }
    }
}

TEST(Getsecs, ReadsTheClock) {
    const std::time_t before = std::time(nullptr);
    std::int32_t t = 0;
    util::getsecs(t);
    const std::time_t after = std::time(nullptr);
    EXPECT_LE(before, static_cast<std::time_t>(t));
    EXPECT_LE(static_cast<std::time_t>(t), after);
}

TEST(Getsecs, HoldsTimesOutsideThe32BitRangeAtItsEnds) {
    static_assert(sizeof(std::time_t) >= 8, "rows beyond 32 bits need a 64-bit time_t");
    struct Row {
        std::time_t now;
        std::int32_t t;
    };
    const Row rows[] = {
        {0, 0},
        {-1, -1},            // time's failure passes through
        {2147483647, imax},  // 2038-01-19 03:14:07 UTC
        {2147483648, imax},  // one second later
        {4102444800, imax},  // 2100-01-01
        {-2147483648LL, imin},
        {-2147483649LL, imin},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<long long>(row.now));
        EXPECT_EQ(util::secs(row.now), row.t);
    }
}
