// Number fields as a user types them.
#include "session/format/reader.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/single.hpp"

namespace zefrin::reader {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// digits x 10^e10, correctly rounded to double, then to float.
float decimal(std::uint64_t digits, int ndigits, long e10) {
    if (digits == 0) return 0.0f;
    static constexpr double exact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    // Both operands exact in double: one rounding, the nearest double.
    if (e10 >= 0 && e10 <= 22) return f32(static_cast<double>(digits) * exact[e10]);
    if (e10 < 0 && e10 >= -22) return f32(static_cast<double>(digits) / exact[-e10]);
    // Far out of range either way (at most 10 digits).
    if (e10 + ndigits > 400) return f32(HUGE_VAL);
    if (e10 + ndigits < -400) return 0.0f;
    char text[40];
    int n = 0;
    char rev[24];
    int r = 0;
    for (std::uint64_t d = digits; d != 0; d /= 10) rev[r++] = static_cast<char>('0' + d % 10);
    while (r > 0) text[n++] = rev[--r];
    text[n++] = 'e';
    if (e10 < 0) text[n++] = '-';
    long m = e10 < 0 ? -e10 : e10;
    r = 0;
    do {
        rev[r++] = static_cast<char>('0' + m % 10);
        m /= 10;
    } while (m != 0);
    while (r > 0) text[n++] = rev[--r];
    text[n] = '\0';
    return f32(std::strtod(text, nullptr));
}

// Reads one field from s: at most n characters (n <= 10), ended early by a
// comma, which it consumes. used is set to the characters consumed.
bool scan(const char* s, std::size_t n, float& value, std::size_t& used) {
    used = n;
    // Where the walk stands in: [sign] digits [point digits] [exponent].
    enum State { start, sign, mantissa, mark, exponent_sign, exponent };
    State st = start;
    bool negative = false, point = false, eneg = false;
    bool idle = false;  // more signs or points than a number has, before any digit
    std::uint64_t digits = 0;
    int ndigits = 0;  // significant digits kept in `digits`
    int seen = 0;     // digits of the number, leading zeros included
    int after = 0;    // digits after a typed point
    long exp = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = s[i];
        if (c == ' ') continue;  // blanks count for nothing, wherever they stand
        if (c == ',') {
            used = i + 1;
            break;
        }
        if (is_digit(c)) {
            if (idle) return false;  // digits after stray signs or points
            if (st <= mantissa) {
                st = mantissa;
                ++seen;
                if (point) ++after;
                if (digits != 0 || c != '0') {
                    digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
                    ++ndigits;
                }
            } else {
                st = exponent;
                exp = exp * 10 + (c - '0');
            }
        } else if (c == '.') {
            if (st > mantissa) return false;
            if (point) {
                if (seen > 0) return false;  // a second point in a number
                idle = true;
            }
            point = true;
            st = mantissa;
        } else if (c == '+' || c == '-') {
            if (st == start) {
                negative = c == '-';
                st = sign;
            } else if ((st == mantissa && seen > 0) || st == mark) {
                // A sign straight after the digits starts the exponent.
                eneg = c == '-';
                st = exponent_sign;
            } else if (seen == 0 && st <= mantissa) {
                idle = true;  // signs and points with no digit: still nothing
            } else {
                return false;
            }
        } else if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
            if (st != mantissa || seen == 0) return false;  // no digits before it
            st = mark;
        } else {
            return false;  // a tab, a letter, any other byte
        }
    }
    if (st == mark || st == exponent_sign) return false;  // an exponent needs its integer
    if (seen == 0) {
        value = 0.0f;  // empty, blanks, a sign or a point alone
        return true;
    }
    // Without a typed point the last digit is the first decimal.
    const long e10 = (eneg ? -exp : exp) - (point ? after : 1);
    const float v = decimal(digits, ndigits, e10);
    value = negative ? -v : v;
    return true;
}

}  // namespace

bool field(const char* s, std::size_t n, float& value) {
    std::size_t used = 0;
    // The caller has cut the field: a comma inside it is not a number.
    return n <= 10 && scan(s, n, value, used) && used == n;
}

bool fields(const char* line, std::size_t len, int n, float* values) {
    std::size_t pos = 0;
    bool ok = true;
    for (int k = 0; k < n; ++k) {
        const std::size_t avail = len - pos;
        std::size_t used = 0;
        if (!scan(line + pos, avail < 10 ? avail : 10, values[k], used)) ok = false;
        pos += used;
    }
    return ok;
}

}  // namespace zefrin::reader
