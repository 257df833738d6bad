// The catalogue of the table program: particles of unit charge, the elements
// Z 1 to 92, compounds by formula and mixtures by weight, and the reading of
// a material given by name, chemical formula or explicit mixture.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "material/constants.hpp"

namespace zefrin::table {

struct Particle {
    std::string_view name;
    float mass;   // GeV/c2
    float siga;   // mb: default absorption cross section; 0: none (no nuclear section)
    bool approx;  // the default siga is a rough value
    std::string_view note;
    std::string_view mass_mev;  // the mass in MeV/c2 as the reference gives it
};

// The particle of this name (as listed, or ignoring case); nullptr if none.
const Particle* particle(std::string_view name);
std::span<const Particle> particles();

// A material: its elements in order (A from the element table), its density
// (g/cm3; 0 when the catalogue has none), and how it was named.
struct Material {
    std::string name;
    std::vector<physics::Element> elements;
    float rho = 0.0f;
    bool approx = false;
    // Read as a chemical formula; same names the catalogue's entries of that
    // formula ("water" for H2O), for the message that asks for a density.
    bool formula = false;
    std::string same;
};

// Reads a material as a catalogue name (ignoring case), an element symbol or
// English name, a chemical formula (weight fractions from the element
// table's atomic weights) or a mixture by weight "H:0.1119,O:0.8881" or
// "1:0.1119,8:0.8881" (fractions used as given; their sum within 1e-3 of 1).
// Throws Bad naming the option and the text.
Material material(std::string_view option, std::string_view text);

// Symbol and English name of Z (1..92).
std::string_view symbol(int z);
std::string_view element_name(int z);

// One line per catalogue entry, for --list.
void list_particles(std::string& out);
void list_materials(std::string& out);

}  // namespace zefrin::table
