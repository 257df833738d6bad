// Fuzzes the number-field reader: any bytes as an answer line of 3 or 7 fields,
// checked against a second reading made here from the rules of the fields.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "session/format/reader.hpp"

namespace {

void check(bool ok) {
    if (!ok)
        __builtin_trap();
}

// One field as the rules read it: a value, or a bad entry.
struct Reading {
    bool ok;
    float value;
};

bool digit(char c) {
    return c >= '0' && c <= '9';
}

// The nearest float to a double, overflowing to infinity past the halfway
// point between the largest float and 2^128.
float nearest_float(double x) {
    const double top = 0x1.ffffffp127;
    if (x >= top)
        return std::numeric_limits<float>::infinity();
    if (x <= -top)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(x);
}

// The characters of one field, read by the rules: blanks ignored; a field
// without a digit reads as 0 when it holds only signs and points, and is bad
// otherwise; a field with digits is a sign, the digits with at most one point,
// then an exponent (a letter E, e, D or d with an optional sign, or a sign
// alone, followed by digits). Without a typed point the last digit is the
// first decimal. The decimal value is rounded to double, then to float.
Reading rule_field(const std::string& raw) {
    std::string s;
    for (char c : raw)
        if (c != ' ')
            s += c;
    for (char c : s)
        if (!(digit(c) || c == '+' || c == '-' || c == '.' || c == 'E' || c == 'e' || c == 'D' ||
              c == 'd'))
            return {false, 0.0f};
    if (s.find_first_of("0123456789") == std::string::npos)
        return {s.find_first_not_of("+-.") == std::string::npos, 0.0f};
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    std::string mantissa;
    long after = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (digit(s[i])) {
            mantissa += s[i];
            if (point)
                ++after;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (mantissa.empty())
        return {i == s.size(), 0.0f};
    std::string exponent = "0";
    if (i < s.size()) {
        if (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')
            ++i;
        else if (s[i] != '+' && s[i] != '-')
            return {false, 0.0f};
        std::string sign;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            sign = s[i++];
        if (i == s.size())
            return {false, 0.0f};
        std::string digits;
        for (; i < s.size(); ++i) {
            if (!digit(s[i]))
                return {false, 0.0f};
            digits += s[i];
        }
        exponent = sign + digits;
    }
    // The exponent has at most 9 digits, so the shift fits a long.
    const long e10 = std::strtol(exponent.c_str(), nullptr, 10) - (point ? after : 1);
    const std::string text = mantissa + "e" + std::to_string(e10);
    const float v = nearest_float(std::strtod(text.c_str(), nullptr));
    return {true, negative ? -v : v};
}

// Cuts a line into n fields: ten characters each, a comma ending a field
// early (the next one starts after it); fields past the end are empty.
std::vector<std::string> rule_split(const char* line, std::size_t len, int n) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    for (int k = 0; k < n; ++k) {
        std::string f;
        while (pos < len && f.size() < 10 && line[pos] != ',') f += line[pos++];
        if (pos < len && line[pos] == ',' && f.size() < 10)
            ++pos;
        out.push_back(f);
    }
    return out;
}

bool same(float a, float b) {
    if (a == 0.0f && b == 0.0f)
        return true;  // either zero takes the remembered value
    std::uint32_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

constexpr float unset = 12345.0f;

void one(const char* line, std::size_t len, int n) {
    float got[7];
    for (float& v : got) v = unset;
    const bool ok = zefrin::reader::fields(line, len, n, got);

    // The rules' reading, field by field, and the reader's own field().
    const auto parts = rule_split(line, len, n);
    bool all = true;
    for (int k = 0; k < n; ++k) {
        const Reading want = rule_field(parts[static_cast<std::size_t>(k)]);
        float v = unset;
        const bool fok = zefrin::reader::field(parts[static_cast<std::size_t>(k)].data(),
                                               parts[static_cast<std::size_t>(k)].size(), v);
        check(fok == want.ok);
        if (want.ok)
            check(same(v, want.value));
        all = all && want.ok;
    }
    // One bad field makes the whole answer bad; the values then go unused.
    check(ok == all);
    for (int k = 0; ok && k < n; ++k)
        check(same(got[k], rule_field(parts[static_cast<std::size_t>(k)]).value));

    // Never a NaN, whatever the line.
    for (int k = 0; k < n; ++k) check(!ok || !std::isnan(got[k]));

    // The fields never reach past column 10 n: what follows is ignored.
    const std::size_t reach = static_cast<std::size_t>(10 * n);
    if (len > reach) {
        float cut[7];
        const bool cok = zefrin::reader::fields(line, reach, n, cut);
        check(cok == ok);
        for (int k = 0; ok && k < n; ++k) check(same(cut[k], got[k]));
    }

    // A line of blanks only reads as zero in every field.
    bool blanks = true;
    for (std::size_t i = 0; i < len; ++i) blanks = blanks && line[i] == ' ';
    if (blanks) {
        check(ok);
        for (int k = 0; k < n; ++k) check(got[k] == 0.0f);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* line = reinterpret_cast<const char*>(data);
    one(line, size, 3);
    one(line, size, 7);

    // The first three of seven fields are the three fields of a short answer.
    float three[3], seven[7];
    const bool ok3 = zefrin::reader::fields(line, size, 3, three);
    const bool ok7 = zefrin::reader::fields(line, size, 7, seven);
    if (ok7) {
        check(ok3);
        for (int k = 0; k < 3; ++k) check(same(three[k], seven[k]));
    }
    return 0;
}
