// The edit descriptors Fw.d and Iw, and the separator lines.
#include "session/format/writer.hpp"

#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace zefrin {

namespace {

void asterisks(char* out, int w) { std::memset(out, '*', static_cast<std::size_t>(w)); }

// Places text (n characters, with an optional leading minus) right-justified in w.
void pad(char* out, int w, bool minus, const char* text, int n) {
    const int used = n + (minus ? 1 : 0);
    int col = 0;
    while (col < w - used) out[col++] = ' ';
    if (minus) out[col++] = '-';
    std::memcpy(out + col, text, static_cast<std::size_t>(n));
}

constexpr std::uint64_t powers[] = {1,         10,         100,         1000,
                                    10000,     100000,     1000000,     10000000,
                                    100000000, 1000000000, 10000000000, 100000000000,
                                    1000000000000};

// 10^k for the field sizes that formats allow (w <= 12).
constexpr std::uint64_t pow10(int k) { return powers[k]; }

// Two decimal digits at a time.
constexpr char pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The same powers as doubles, exact: the bound of the digits before the point.
constexpr double limits[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12};

// The magnitude m rounded to an integer count of 10^-d, ties to even, in
// exact integer arithmetic on the float's own bits. Requires m < 10^12, d <= 6.
std::uint64_t scaled(float m, int d) {
    // m = mant * 2^e2 exactly: 24 significant bits, fewer for a subnormal.
    const auto bits = std::bit_cast<std::uint32_t>(m);
    const auto biased = static_cast<int>((bits >> 23) & 0xffu);
    std::uint64_t mant = bits & 0x7fffffu;
    if (biased != 0) mant |= 0x800000u;
    const int e2 = (biased != 0 ? biased : 1) - 150;
    const std::uint64_t num = mant * pow10(d);  // < 2^24 * 10^6 < 2^44
    if (e2 >= 0) return num << e2;              // m < 10^12 keeps this below 2^63
    const int s = -e2;
    if (s >= 63) return 0;  // num / 2^s < 2^44 / 2^63: far below one half
    const std::uint64_t q = num >> s;
    const std::uint64_t r = num & ((std::uint64_t{1} << s) - 1);
    const std::uint64_t half = std::uint64_t{1} << (s - 1);
    return (r > half || (r == half && (q & 1) != 0)) ? q + 1 : q;
}

// A separator line: to the terminal, and to the log only when k is 1.
template <fmt::Text F>
void separator(std::int32_t k) {
    const auto buf = fmt::closed<F>(nullptr);
    streams::Sink& s = streams::sink();
    s.terminal(buf.data(), buf.size());
    if (k == 1) s.log(F.s, buf.data(), buf.size());
}

}  // namespace

void edit_f(char* out, int w, int d, float x) {
    // Formats are checked when the program is built: 1 <= w <= 12, d <= 6.
    assert(w >= 1 && w <= 12 && d >= 0 && d <= 6);
    if (w < 1) return;
    if (w > 12 || d < 0 || d > 6) return asterisks(out, w);
    if (!std::isfinite(x)) return asterisks(out, w);
    bool minus = std::signbit(x);
    const float m = std::fabs(x);
    // At 10^w or more the digits before the point alone overflow the field.
    if (static_cast<double>(m) >= limits[w]) return asterisks(out, w);
    std::uint64_t n = scaled(m, d);
    if (n == 0) minus = false;  // no sign on a value that rounds to zero
    // The digits of n, with zeros in front up to d + 1 digits, so that the
    // point always has a digit before it: text[first, end).
    char text[24];
    int first = 23;
    while (n >= 100) {
        const auto r = static_cast<unsigned>(n % 100);
        n /= 100;
        first -= 2;
        text[first] = pairs[2 * r];
        text[first + 1] = pairs[2 * r + 1];
    }
    if (n >= 10) {
        first -= 2;
        text[first] = pairs[2 * n];
        text[first + 1] = pairs[2 * n + 1];
    } else {
        text[--first] = static_cast<char>('0' + n);
    }
    while (23 - first < d + 1) text[--first] = '0';
    const int ilen = 23 - first - d;
    const int need = ilen + 1 + d + (minus ? 1 : 0);
    // One character short: a lone leading zero gives way.
    const bool drop_zero = need == w + 1 && ilen == 1 && text[first] == '0';
    if (need > w && !drop_zero) return asterisks(out, w);
    if (drop_zero) ++first;
    int col = w - (need - (drop_zero ? 1 : 0));
    for (int k = 0; k < col; ++k) out[k] = ' ';
    if (minus) out[col++] = '-';
    for (int k = first; k < 23 - d; ++k) out[col++] = text[k];
    out[col++] = '.';
    for (int k = 23 - d; k < 23; ++k) out[col++] = text[k];
}

void edit_i(char* out, int w, std::int32_t v) {
    const bool minus = v < 0;
    std::uint32_t m = minus ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    char digits[12];
    int len = 0;
    do {
        digits[len++] = static_cast<char>('0' + m % 10);
        m /= 10;
    } while (m != 0);
    if (len + (minus ? 1 : 0) > w) return asterisks(out, w);
    char text[12];
    for (int k = 0; k < len; ++k) text[k] = digits[len - 1 - k];
    pad(out, w, minus, text, len);
}

void star() { line<"(' ',79('*'))">(); }

void point(const std::int32_t& k) { separator<"(' ',79('.'))">(k); }

void under(const std::int32_t& k) { separator<"(' ',79('_'))">(k); }

}  // namespace zefrin
