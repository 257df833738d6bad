// The edit descriptors Fw.d and Iw, and the separator lines.
#include "session/writer.hpp"

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

constexpr std::uint64_t pow10(int d) {
    std::uint64_t p = 1;
    while (d-- > 0) p *= 10;
    return p;
}

// The magnitude m rounded to an integer count of 10^-d, ties to even, in
// exact integer arithmetic on the float's own bits. Requires m < 10^12, d <= 6.
std::uint64_t scaled(float m, int d) {
    int e = 0;
    const double frac = std::frexp(static_cast<double>(m), &e);  // m = frac * 2^e
    // A float has 24 significant bits: m = mant * 2^(e - 24) exactly.
    const auto mant = static_cast<std::uint64_t>(std::ldexp(frac, 24));
    const int e2 = e - 24;
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
    using C = fmt::Compiled<F>;
    char buf[C::width + 1];
    fmt::build<F>(buf, nullptr);
    buf[C::width] = '\n';
    if (k == 1)
        units::both(F.s, buf, sizeof buf);
    else
        units::terminal(buf, sizeof buf);
}

}  // namespace

void edit_f(char* out, int w, int d, float x) {
    if (!std::isfinite(x)) return asterisks(out, w);
    bool minus = std::signbit(x);
    const float m = std::fabs(x);
    // At 10^w or more the digits before the point alone overflow the field.
    if (static_cast<double>(m) >= static_cast<double>(pow10(w))) return asterisks(out, w);
    std::uint64_t n = scaled(m, d);
    if (n == 0) minus = false;  // no sign on a value that rounds to zero
    // Digits of n, with a point before the last d, at least one digit before it.
    char digits[24];
    int len = 0;
    do {
        digits[len++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0 || len < d + 1);
    char text[26];
    int t = 0;
    for (int k = len - 1; k >= d; --k) text[t++] = digits[k];
    text[t++] = '.';
    for (int k = d - 1; k >= 0; --k) text[t++] = digits[k];
    const int need = t + (minus ? 1 : 0);
    if (need <= w) return pad(out, w, minus, text, t);
    // One character too many: a lone leading zero gives way.
    if (need == w + 1 && len == d + 1 && text[0] == '0') return pad(out, w, minus, text + 1, t - 1);
    asterisks(out, w);
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
