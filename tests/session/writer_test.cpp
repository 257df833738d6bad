// The report writer: Fw.d and Iw fields, separator lines and whole formats.
#include "session/format/writer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "captured.hpp"

namespace {

using zefrin::edit_f;
using zefrin::edit_i;

constexpr float inf = std::numeric_limits<float>::infinity();
constexpr char guard = '#';

// Runs an edit into a buffer fenced by guard bytes: the edit must write
// exactly w characters and touch nothing on either side.
template <class Edit>
std::string fenced(int w, Edit edit) {
    char buf[40];
    std::memset(buf, guard, sizeof buf);
    edit(buf + 8);
    const std::string out(buf + 8, static_cast<std::size_t>(w));
    for (int k = 0; k < 8; ++k) EXPECT_EQ(buf[k], guard) << "written before the field";
    for (std::size_t k = 8 + static_cast<std::size_t>(w); k < sizeof buf; ++k)
        EXPECT_EQ(buf[k], guard) << "written after the field";
    return out;
}

std::string f(int w, int d, float x) {
    return fenced(w, [&](char* p) { edit_f(p, w, d, x); });
}

std::string i(int w, std::int32_t v) {
    return fenced(w, [&](char* p) { edit_i(p, w, v); });
}

struct FRow {
    float x;
    int w, d;
    const char* expected;
};

TEST(EditF, HandWorkedFields) {
    const FRow rows[] = {
        // Right-justified, at least one digit before the point.
        {0.5f, 7, 3, "  0.500"},
        {-0.5f, 7, 3, " -0.500"},
        {29.0f, 5, 1, " 29.0"},
        {1.0f, 7, 4, " 1.0000"},
        {100.0f, 7, 2, " 100.00"},
        {-1.5f, 4, 1, "-1.5"},
        // One character too many: only a lone leading zero gives way.
        {0.5f, 4, 3, ".500"},
        {-0.5f, 5, 3, "-.500"},
        {-0.5f, 4, 3, "****"},
        {0.5f, 3, 3, "***"},
        {-1.5f, 3, 1, "***"},
        {0.25f, 3, 0, " 0."},
        {0.25f, 1, 0, "."},
        // Exactly full, and one over.
        {12.5f, 4, 1, "12.5"},
        {123.5f, 4, 1, "****"},
        {-12.5f, 4, 1, "****"},
        {-12.5f, 5, 1, "-12.5"},
        {1.0e6f, 7, 1, "*******"},
        {999999.0f, 8, 1, "999999.0"},
        {16777216.0f, 11, 1, " 16777216.0"},
        {1.0e10f, 12, 0, "10000000000."},
        {1.0e10f, 12, 1, "************"},
        // Ties on the exact binary value go to the even digit.
        {0.125f, 5, 2, " 0.12"},
        {0.375f, 5, 2, " 0.38"},
        {0.625f, 5, 2, " 0.62"},
        {-0.125f, 5, 2, "-0.12"},
        {2.5f, 3, 0, " 2."},
        {3.5f, 3, 0, " 4."},
        {0.5f, 3, 0, " 0."},
        // 2.675 is stored as 2.67499995...; 2.345 as 2.34500002...
        {2.675f, 5, 2, " 2.67"},
        {2.345f, 5, 2, " 2.35"},
        // 0.005 is stored below the tie, 0.025 above it.
        {0.005f, 5, 2, " 0.00"},
        {0.025f, 5, 2, " 0.03"},
        // The rounding adds a digit: it fits, or it does not.
        {9.96f, 4, 1, "10.0"},
        {9.96f, 3, 1, "***"},
        {9.94f, 3, 1, "9.9"},
        {99.995f, 6, 2, "100.00"},  // stored as 99.99500274...
        {99.995f, 5, 2, "*****"},
        {99.994f, 5, 2, "99.99"},
        {99999.94f, 7, 1, "99999.9"},  // stored as 99999.9375
        {99999.96f, 7, 1, "*******"},  // stored as 99999.9609375
        {99999.96f, 8, 1, "100000.0"},
        {999.5f, 4, 0, "****"},  // 1000. by the tie to even
        {999.4f, 4, 0, "999."},
        // No sign on a value that rounds to zero.
        {-1.0e-5f, 7, 4, " 0.0000"},
        {-0.0f, 7, 3, "  0.000"},
        {-0.004f, 5, 2, " 0.00"},
        {-0.004f, 4, 2, "0.00"},
        {-0.006f, 5, 2, "-0.01"},
        {-0.006f, 4, 2, "-.01"},
        {-0.006f, 3, 2, "***"},
        // Subnormals are tiny ordinary values.
        {std::numeric_limits<float>::denorm_min(), 8, 4, "  0.0000"},
        {-std::numeric_limits<float>::denorm_min(), 8, 4, "  0.0000"},
        // Values that are not finite, and values far too large.
        {std::numeric_limits<float>::quiet_NaN(), 6, 2, "******"},
        {-std::numeric_limits<float>::quiet_NaN(), 6, 2, "******"},
        {inf, 6, 2, "******"},
        {-inf, 12, 1, "************"},
        {1.0e30f, 7, 1, "*******"},
        {std::numeric_limits<float>::max(), 12, 6, "************"},
        {-std::numeric_limits<float>::max(), 12, 0, "************"},
    };
    for (const FRow& r : rows) {
        SCOPED_TRACE(testing::Message() << r.x << " in F" << r.w << '.' << r.d);
        EXPECT_EQ(f(r.w, r.d, r.x), r.expected);
    }
}

// The field rules applied to an exact conversion of the double: printf
// rounds the exact binary value to d decimals, ties to even.
std::string reference_f(float x, int w, int d) {
    const std::string stars(static_cast<std::size_t>(w), '*');
    if (!std::isfinite(x))
        return stars;
    char text[80];
    std::snprintf(text, sizeof text, "%#.*f", d, std::fabs(static_cast<double>(x)));
    const std::string t = text;
    const bool minus = std::signbit(x) && t.find_first_of("123456789") != std::string::npos;
    const std::size_t n = t.size() + (minus ? 1 : 0);
    const auto w_ = static_cast<std::size_t>(w);
    const std::string sign = minus ? "-" : "";
    if (n <= w_)
        return std::string(w_ - n, ' ') + sign + t;
    if (n == w_ + 1 && t[0] == '0' && t[1] == '.')
        return sign + t.substr(1);
    return stars;
}

TEST(EditF, AgreesWithExactConversionOverManyFloats) {
    std::mt19937 gen(20240611u);  // fixed seed: the same floats on every run
    std::vector<float> xs;
    // Every bit pattern class: NaNs, infinities, subnormals, all exponents.
    for (int k = 0; k < 4000; ++k) {
        const auto bits = static_cast<std::uint32_t>(gen());
        float x;
        std::memcpy(&x, &bits, sizeof x);
        xs.push_back(x);
    }
    // Each binade from 2^-30 to 2^40, both signs.
    std::uniform_real_distribution<double> mant(1.0, 2.0);
    for (int e = -30; e <= 40; ++e)
        for (int k = 0; k < 40; ++k) {
            const auto x = static_cast<float>(std::ldexp(mant(gen), e));
            xs.push_back(k % 2 ? -x : x);
        }
    // Decimal ties n.5 at the last printed digit, and their neighbouring floats.
    std::uniform_int_distribution<std::uint32_t> digits(0, 9999999);
    for (int k = 0; k < 3000; ++k) {
        const int d = k % 7;
        const double tie = (digits(gen) * 10.0 + 5.0) / std::pow(10.0, d + 1);
        const auto x = static_cast<float>(tie);
        for (float y : {x, std::nextafter(x, 0.0f), std::nextafter(x, inf)}) xs.push_back(y);
    }
    // Exact ties at d decimals are the odd multiples of 2^-(d+1).
    std::uniform_int_distribution<int> odd(0, (1 << 23) - 1);
    for (int d = 0; d <= 6; ++d)
        for (int k = 0; k < 300; ++k)
            xs.push_back(static_cast<float>(std::ldexp(2 * odd(gen) + 1, -(d + 1))));

    int mismatches = 0;
    for (float x : xs)
        for (int d = 0; d <= 6; ++d)
            for (int w = 1; w <= 12; ++w) {
                const std::string want = reference_f(x, w, d);
                const std::string got = f(w, d, x);
                if (got == want)
                    continue;
                if (++mismatches <= 10)
                    ADD_FAILURE() << std::hexfloat << x << std::defaultfloat << " (" << x
                                  << ") in F" << w << '.' << d << ": got \"" << got << "\", want \""
                                  << want << '"';
            }
    EXPECT_EQ(mismatches, 0) << "of " << xs.size() * 84 << " fields";
}

struct IRow {
    std::int32_t v;
    int w;
    const char* expected;
};

TEST(EditI, HandWorkedFields) {
    constexpr std::int32_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t hi = std::numeric_limits<std::int32_t>::max();
    const IRow rows[] = {
        {5, 3, "  5"},
        {-12, 3, "-12"},
        {-123, 3, "***"},
        {123, 3, "123"},
        {1000, 3, "***"},
        {0, 1, "0"},
        {9, 1, "9"},
        {10, 1, "*"},
        {-1, 1, "*"},
        {-1, 2, "-1"},
        {hi, 10, "2147483647"},
        {hi, 9, "*********"},
        {hi, 3, "***"},
        {lo, 11, "-2147483648"},
        {lo, 12, " -2147483648"},
        {lo, 10, "**********"},
        {lo, 3, "***"},
    };
    for (const IRow& r : rows) {
        SCOPED_TRACE(testing::Message() << r.v << " in I" << r.w);
        EXPECT_EQ(i(r.w, r.v), r.expected);
    }
}

TEST(EditI, AgreesWithPrintfOverManyIntegers) {
    std::mt19937 gen(7u);
    int mismatches = 0;
    for (int k = 0; k < 20000; ++k) {
        // Random bits give every length; a shift gives short numbers too.
        const auto v = static_cast<std::int32_t>(gen()) >> (k % 32);
        char text[16];
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(v));
        const std::size_t n = std::strlen(text);
        for (int w = 1; w <= 12; ++w) {
            const auto w_ = static_cast<std::size_t>(w);
            const std::string want =
                n <= w_ ? std::string(w_ - n, ' ') + text : std::string(w_, '*');
            const std::string got = i(w, v);
            if (got != want && ++mismatches <= 10)
                ADD_FAILURE() << v << " in I" << w << ": got \"" << got << "\"";
        }
    }
    EXPECT_EQ(mismatches, 0);
}

std::string rule(char c) {
    return " " + std::string(79, c) + "\n";
}

// Report lines of the program, built from their formats.
constexpr zefrin::fmt::Text atom_format =
    "(' Atom',I1,': int.prob =',F6.3,', RMS.ang =',F6.1,' mr, el.cs =',F6.1,' mb, ab.cs "
    "=',F6.1,' mb')";
constexpr zefrin::fmt::Text warn_format =
    "(' Landau  <  Energy loss distribution  <  Gauss:',' divide into',I3,' smaller "
    "elements.')";

TEST(WriterFormats, LinesOnTerminalAndLog) {
    const std::string stars = rule('*'), dots = rule('.'), unders = rule('_');
    const std::string title_line =
        " ........................... Energy lossdistribution ...........................\n";
    const std::string header_line =
        " 100.00 % of length =  1.0000 cm covered by material with density =  8.960 g/cm3\n";
    const std::string atom_line =
        " Atom1: int.prob = 1.000, RMS.ang =  49.9 mr, el.cs =1000.0 mb, ab.cs = 755.9 mb\n";
    const std::string atom_over_line =
        " Atom3: int.prob = 0.000, RMS.ang =   0.0 mr, el.cs =****** mb, ab.cs =-999.9 mb\n";
    const std::string warn_line =
        " Landau  <  Energy loss distribution  <  Gauss: divide into  5 smaller elements.\n";
    const std::string warn_over_line =
        " Landau  <  Energy loss distribution  <  Gauss: divide into*** smaller elements.\n";
    struct Row {
        const char* what;
        void (*write)();
        std::string terminal, log;
    };
    // clang-format off
    const Row rows[] = {
        {"star",                   [] { zefrin::star(); },     stars,  stars},
        {"point 1",                [] { zefrin::point(1); },   dots,   dots},
        {"point 2: terminal only", [] { zefrin::point(2); },   dots,   ""},
        {"point 0: terminal only", [] { zefrin::point(0); },   dots,   ""},
        {"under 1",                [] { zefrin::under(1); },   unders, unders},
        {"under 2: terminal only", [] { zefrin::under(2); },   unders, ""},
        {"two literals joined without a blank",
         [] { zefrin::line<"(' ........................... Energy loss',"
                           "'distribution ...........................')">(); },
         title_line, title_line},
        {"header",
         [] { zefrin::line<"(F7.2,' % of length =',F8.4,' cm covered by material with',"
                           "' density =',F7.3,' g/cm3')">(100.0f, 1.0f, 8.96f); },
         header_line, header_line},
        {"F6.1 that needs all six columns",
         [] { zefrin::line<atom_format>(std::int32_t{1}, 1.0f, 49.9f, 1000.0f, 755.9f); },
         atom_line, atom_line},
        {"F6.1 overflowing, the rest unchanged",
         [] { zefrin::line<atom_format>(std::int32_t{3}, 0.0f, -0.00001f, 100000.0f, -999.9f); },
         atom_over_line, atom_over_line},
        {"I3",             [] { zefrin::line<warn_format>(std::int32_t{5}); },    warn_line,      warn_line},
        {"I3 overflowing", [] { zefrin::line<warn_format>(std::int32_t{1000}); }, warn_over_line, warn_over_line},
        {"page control: log only",
         [] { zefrin::log_line<"('1')">(); },                    "",                   "1\n"},
        {"prompt: terminal only, no line end",
         [] { zefrin::prompt<"(' continue [Y/N] ? ',$)">(); },   " continue [Y/N] ? ", ""},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const auto c = zefrin::test::captured(r.write);
        EXPECT_EQ(c.terminal, r.terminal);
        EXPECT_EQ(c.log, r.log);
    }
}

}  // namespace
