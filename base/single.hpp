// Single-precision arithmetic helpers: the calculation is carried in float,
// while sqrt, exp, log and pow are taken in double and rounded back.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace zefrin {

static_assert(std::numeric_limits<float>::is_iec559, "the reports assume IEEE single precision");

// Rounds a double to the nearest float, overflowing to an infinity of the
// right sign where IEEE rounding would (a plain cast of an out-of-range
// double is undefined in C++).
inline float f32(double x) {
    // Halfway between FLT_MAX and 2^128: from here on IEEE rounding gives inf.
    constexpr double limit = 0x1.ffffffp127;
    if (x >= limit) return std::numeric_limits<float>::infinity();
    if (x <= -limit) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(x);
}

inline float fsqrt(float x) { return f32(std::sqrt(static_cast<double>(x))); }
inline float fexp(float x) { return f32(std::exp(static_cast<double>(x))); }
inline float flog(float x) { return f32(std::log(static_cast<double>(x))); }
inline float fpow(float x, float y) {
    return f32(std::pow(static_cast<double>(x), static_cast<double>(y)));
}

// Truncates toward zero as a 32-bit integer, saturating at the ends of the
// range; NaN gives 0. The counts of the warnings never wrap around.
inline std::int32_t itrunc(float x) {
    if (!(x == x)) return 0;
    if (x >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
    if (x <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(x);
}

}  // namespace zefrin
