// Free-format numbers with units for the table program's options.
#include "table/input.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <span>

#include "base/single.hpp"

namespace zefrin::table {

std::string printable(std::string_view s) {
    std::string p(s);
    for (char& c : p)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return p;
}

void bad(std::string_view option, std::string_view value, std::string_view why) {
    std::string s;
    s.append(option);
    s.append(" \"");
    // A long value is shown by its start: the message stays one short line.
    constexpr std::size_t shown = 100;
    s.append(value.substr(0, shown));
    if (value.size() > shown)
        s.append("...");
    s.append("\": ");
    s.append(why);
    throw Bad(s);
}

bool number(std::string_view text, double& value) {
    const char* b = text.data();
    const char* e = b + text.size();
    if (b != e && *b == '+')
        ++b;
    // from_chars takes no leading '+', nor "inf" or "nan" as a number here.
    if (b == e || !((*b >= '0' && *b <= '9') || *b == '.' || *b == '-'))
        return false;
    const auto r = std::from_chars(b, e, value, std::chars_format::general);
    return r.ec == std::errc{} && r.ptr == e && std::isfinite(value);
}

namespace {

struct Unit {
    std::string_view name;
    double factor;  // to the calculation's unit; 0 for the dialogue's own unit
    bool divide;    // divide by factor (exact for powers of ten below 1)
};

// The first unit of each list is the dialogue's.
constexpr Unit energy_units[] = {{"GeV", 0, false},
                                 {"eV", 1e9, true},
                                 {"keV", 1e6, true},
                                 {"MeV", 1e3, true},
                                 {"TeV", 1e3, false}};
constexpr Unit momentum_units[] = {{"GeV/c", 0, false},
                                   {"eV/c", 1e9, true},
                                   {"keV/c", 1e6, true},
                                   {"MeV/c", 1e3, true},
                                   {"TeV/c", 1e3, false}};
constexpr Unit mass_units[] = {
    {"GeV/c2", 0, false},      {"GeV/c\u00b2", 0, false},  {"eV/c2", 1e9, true},
    {"eV/c\u00b2", 1e9, true}, {"keV/c2", 1e6, true},      {"keV/c\u00b2", 1e6, true},
    {"MeV/c2", 1e3, true},     {"MeV/c\u00b2", 1e3, true}, {"u", 0.93149410242, false}};
// Lengths: m is the dialogue's unit; the others convert straight to cm.
constexpr Unit length_units[] = {
    {"m", 0, false},        {"cm", 1, false},       {"mm", 10, true},    {"um", 1e4, true},
    {"\u00b5m", 1e4, true}, {"\u03bcm", 1e4, true}, {"g/cm2", 1, false}, {"g/cm\u00b2", 1, false}};
constexpr Unit density_units[] = {
    {"g/cm3", 0, false}, {"g/cm\u00b3", 0, false}, {"kg/m3", 1e3, true}, {"kg/m\u00b3", 1e3, true}};
constexpr Unit cross_units[] = {{"mb", 0, false}, {"b", 1e3, false}};

std::span<const Unit> units_for(Kind kind) {
    switch (kind) {
        case Kind::energy:
            return energy_units;
        case Kind::momentum:
            return momentum_units;
        case Kind::mass:
            return mass_units;
        case Kind::length:
            return length_units;
        case Kind::density:
            return density_units;
        case Kind::cross_section:
            return cross_units;
    }
    return energy_units;
}

// The unit a quantity is calculated in: the dialogue's, but cm for lengths.
std::string_view calculation_unit(Kind kind) {
    return kind == Kind::length ? "cm" : units_for(kind)[0].name;
}

// A well-formed number beyond the range of a double (1e5000, 1e-5000).
bool huge(std::string_view text) {
    double x = 0;
    const char* b = text.data();
    if (!text.empty() && *b == '+')
        ++b;
    const auto r = std::from_chars(b, text.data() + text.size(), x, std::chars_format::general);
    return r.ec == std::errc::result_out_of_range && r.ptr == text.data() + text.size();
}

}  // namespace

std::string_view units_of(Kind kind) {
    switch (kind) {
        case Kind::energy:
            return "eV, keV, MeV, GeV or TeV";
        case Kind::momentum:
            return "eV/c, keV/c, MeV/c, GeV/c or TeV/c";
        case Kind::mass:
            return "eV/c2, keV/c2, MeV/c2, GeV/c2 or u";
        case Kind::length:
            return "um, mm, cm, m or g/cm2";
        case Kind::density:
            return "g/cm3 or kg/m3";
        case Kind::cross_section:
            return "mb or b";
    }
    return "";
}

Quantity quantity(std::string_view option, std::string_view text, Kind kind) {
    std::string_view t = text;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    // The number runs up to the first character that no number has.
    std::size_t n = 0;
    while (n < t.size()) {
        const char c = t[n];
        const bool exp_sign =
            (c == '-' || c == '+') && n > 0 && (t[n - 1] == 'e' || t[n - 1] == 'E');
        const bool exp =
            (c == 'e' || c == 'E') && n + 1 < t.size() &&
            ((t[n + 1] >= '0' && t[n + 1] <= '9') || t[n + 1] == '-' || t[n + 1] == '+');
        if ((c >= '0' && c <= '9') || c == '.' || ((c == '-' || c == '+') && n == 0) || exp_sign ||
            exp)
            ++n;
        else
            break;
    }
    double x = 0;
    if (!number(t.substr(0, n), x) && huge(t.substr(0, n)))
        bad(option, text,
            "beyond the range of single precision (magnitudes from about 1.4e-45 to 3.4e38)");
    if (!number(t.substr(0, n), x))
        bad(option, text,
            std::string("not a number (write it as 12, 1.2 or 1.2e-3, with a unit: ") +
                std::string(units_of(kind)) + ")");
    std::string_view u = t.substr(n);
    while (!u.empty() && (u.front() == ' ' || u.front() == '\t')) u.remove_prefix(1);
    const auto list = units_for(kind);
    const Unit* unit = u.empty() ? &list[0] : nullptr;
    for (const Unit& c : list)
        if (c.name == u)
            unit = &c;
    if (!unit)
        bad(option, text,
            "unknown unit \"" + std::string(u.substr(0, 20)) + (u.size() > 20 ? "..." : "") +
                "\" (use " + std::string(units_of(kind)) + ")");
    Quantity q;
    q.unit = u.empty() ? std::string_view() : unit->name;
    if (unit->factor == 0) {
        q.value = f32(x);
        if (kind == Kind::length)
            q.value = q.value * 100.0f;
    } else {
        q.value = f32(unit->divide ? x / unit->factor : x * unit->factor);
        q.areal = unit->name.starts_with("g/");
    }
    if (!std::isfinite(q.value) && kind == Kind::length && unit->factor == 0)
        bad(option, text,
            "beyond single precision once in cm (lengths go up to about 3.4e36 m, that is "
            "3.4e38 cm)");
    if (!std::isfinite(q.value))
        bad(option, text,
            "too large for single precision in " + std::string(calculation_unit(kind)) +
                " (the largest is about 3.4e38 " + std::string(calculation_unit(kind)) + ")");
    if (q.value == 0.0f && x != 0.0)
        bad(option, text,
            "too small for single precision in " + std::string(calculation_unit(kind)) +
                " (the smallest is about 1.4e-45 " + std::string(calculation_unit(kind)) + ")");
    return q;
}

std::string read_input(std::string_view option, const std::string& file, std::string_view what) {
    const std::string kind = " (" + std::string(what) + ")";
    int fd = 0;
    if (file != "-") {
        struct stat info;
        if (::stat(file.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            bad(option, file, "is a directory" + kind);
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            bad(option, file, std::string("cannot be read: ") + std::strerror(errno) + kind);
    }
    std::string s;
    char buf[1 << 16];
    int err = 0;
    for (;;) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            err = r < 0 ? errno : 0;
            break;
        }
        if (s.size() + static_cast<std::size_t>(r) > max_input) {
            err = EFBIG;
            break;
        }
        s.append(buf, static_cast<std::size_t>(r));
    }
    if (fd != 0)
        ::close(fd);
    if (err == EFBIG)
        bad(option, file, "longer than 64 MiB" + kind);
    if (err != 0)
        bad(option, file, std::string("cannot be read: ") + std::strerror(err) + kind);
    if (s.starts_with("\xef\xbb\xbf"))
        s.erase(0, 3);
    return s;
}

float length_of(float areal, float rho) {
    return f32(static_cast<double>(areal) / static_cast<double>(rho));
}

}  // namespace zefrin::table
