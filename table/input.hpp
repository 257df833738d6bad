// Reading the values of the table program's options: free-format numbers
// with units, converted to the calculation's units in single precision.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zefrin::table {

// The text with every control character as '?': a message stays one line
// whatever the input held.
std::string printable(std::string_view s);

// A usage error: one line for standard error, without the program's name.
struct Bad : std::runtime_error {
    // At most 1000 bytes of it: one line, whatever value it echoes.
    explicit Bad(std::string_view what)
        : std::runtime_error(printable(what.substr(0, 1000)) + (what.size() > 1000 ? "..." : "")) {}
};

// Throws Bad naming the option, echoing the value (its first 100 bytes) and
// saying what is accepted:
// --thickness "1 cn": unknown unit "cn" (use um, mm, cm, m or g/cm2)
[[noreturn]] void bad(std::string_view option, std::string_view value, std::string_view why);

// A number in free format (12, 1.2, 1.2e-3, -1), read to the nearest double.
// False when text is not exactly one finite number.
bool number(std::string_view text, double& value);

// The kinds of quantity and their units. A bare number is in the first unit
// of its kind, the unit the dialogue reads (GeV, GeV/c, GeV/c2, m, g/cm3, mb).
enum class Kind { energy, momentum, mass, length, density, cross_section };

// A quantity in the calculation's unit: GeV, GeV/c, GeV/c2, cm, g/cm3, mb.
// A length may instead be an areal density (g/cm2), known only once the
// density is: then areal is true and value holds g/cm2.
struct Quantity {
    float value;
    bool areal = false;
    std::string_view unit = {};  // as written; empty for a bare number
};

// Reads "VALUE[ ]UNIT" of the kind. A value in the dialogue's unit takes the
// dialogue's path: nearest double, then single precision (a length in m then
// times 100 in single precision). Other units convert in double, then round
// once. Throws Bad (naming option and text) for a malformed number, an
// unknown unit or a value that is not finite in single precision.
Quantity quantity(std::string_view option, std::string_view text, Kind kind);

// The units accepted for a kind, for messages and the manual.
std::string_view units_of(Kind kind);

// The whole of a file named by option, or of standard input for "-", without
// a leading UTF-8 byte-order mark. Throws Bad naming the option and file
// when it cannot be read or is longer than max_input bytes (what: the kind
// of file expected, for the message).
inline constexpr std::size_t max_input = std::size_t{64} << 20;
std::string read_input(std::string_view option, const std::string& file, std::string_view what);

// Length in cm of an areal density (g/cm2) at density rho (g/cm3).
float length_of(float areal, float rho);

}  // namespace zefrin::table
