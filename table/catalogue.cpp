// Particles, elements, compounds and mixtures of the table program, and the
// reading of formulas and mixtures.
#include "table/catalogue.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/single.hpp"
#include "table/input.hpp"

namespace zefrin::table {

namespace {

// Masses in MeV/c2 (2024 values), converted once to GeV/c2.
constexpr double gev(double mev) {
    return mev / 1000.0;
}

const Particle particle_table[] = {
    {"e-", static_cast<float>(gev(0.51099895)), 0, false, "electron; no nuclear section",
     "0.51099895"},
    {"e+", static_cast<float>(gev(0.51099895)), 0, false, "positron; no nuclear section",
     "0.51099895"},
    {"mu-", static_cast<float>(gev(105.6583755)), 0, false, "muon; no nuclear section",
     "105.6583755"},
    {"mu+", static_cast<float>(gev(105.6583755)), 0, false, "muon; no nuclear section",
     "105.6583755"},
    {"pi+", static_cast<float>(gev(139.57039)), 20, true, "pion", "139.57039"},
    {"pi-", static_cast<float>(gev(139.57039)), 20, true, "pion", "139.57039"},
    {"K+", static_cast<float>(gev(493.677)), 15.5f, true, "kaon", "493.677"},
    {"K-", static_cast<float>(gev(493.677)), 17.5f, true, "kaon", "493.677"},
    {"p", static_cast<float>(gev(938.27208816)), 31, false, "proton", "938.27208816"},
    {"pbar", static_cast<float>(gev(938.27208816)), 34, true,
     "antiproton; much larger siga at low momentum", "938.27208816"},
    {"d", static_cast<float>(gev(1875.61294257)), 0, false, "deuteron; give --siga",
     "1875.61294257"},
    {"t", static_cast<float>(gev(2808.92113298)), 0, false, "triton; give --siga", "2808.92113298"},
};

constexpr std::array<std::string_view, 92> symbols = {
    "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al", "Si", "P",  "S",
    "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn", "Ga", "Ge",
    "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb", "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd",
    "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs", "Ba", "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu", "Gd",
    "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W",  "Re", "Os", "Ir", "Pt", "Au", "Hg",
    "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th", "Pa", "U"};

constexpr std::array<std::string_view, 92> names = {
    "hydrogen",     "helium",    "lithium",    "beryllium",  "boron",        "carbon",
    "nitrogen",     "oxygen",    "fluorine",   "neon",       "sodium",       "magnesium",
    "aluminium",    "silicon",   "phosphorus", "sulfur",     "chlorine",     "argon",
    "potassium",    "calcium",   "scandium",   "titanium",   "vanadium",     "chromium",
    "manganese",    "iron",      "cobalt",     "nickel",     "copper",       "zinc",
    "gallium",      "germanium", "arsenic",    "selenium",   "bromine",      "krypton",
    "rubidium",     "strontium", "yttrium",    "zirconium",  "niobium",      "molybdenum",
    "technetium",   "ruthenium", "rhodium",    "palladium",  "silver",       "cadmium",
    "indium",       "tin",       "antimony",   "tellurium",  "iodine",       "xenon",
    "caesium",      "barium",    "lanthanum",  "cerium",     "praseodymium", "neodymium",
    "promethium",   "samarium",  "europium",   "gadolinium", "terbium",      "dysprosium",
    "holmium",      "erbium",    "thulium",    "ytterbium",  "lutetium",     "hafnium",
    "tantalum",     "tungsten",  "rhenium",    "osmium",     "iridium",      "platinum",
    "gold",         "mercury",   "thallium",   "lead",       "bismuth",      "polonium",
    "astatine",     "radon",     "francium",   "radium",     "actinium",     "thorium",
    "protactinium", "uranium"};

// Densities (g/cm3) of the elements that have one; gases as liquids.
struct Density {
    int z;
    float rho;
    std::string_view note;
};
constexpr Density densities[] = {
    {1, 0.0708f, "liquid"}, {2, 0.125f, "liquid"},  {3, 0.534f, ""},       {4, 1.848f, ""},
    {5, 2.37f, ""},         {6, 2.21f, "graphite"}, {7, 0.807f, "liquid"}, {8, 1.141f, "liquid"},
    {10, 1.204f, "liquid"}, {11, 0.971f, ""},       {12, 1.74f, ""},       {13, 2.699f, ""},
    {14, 2.329f, ""},       {18, 1.396f, "liquid"}, {19, 0.862f, ""},      {20, 1.55f, ""},
    {22, 4.54f, ""},        {24, 7.18f, ""},        {25, 7.44f, ""},       {26, 7.874f, ""},
    {27, 8.90f, ""},        {28, 8.902f, ""},       {29, 8.96f, ""},       {30, 7.133f, ""},
    {32, 5.323f, ""},       {36, 2.418f, "liquid"}, {40, 6.506f, ""},      {41, 8.57f, ""},
    {42, 10.22f, ""},       {47, 10.5f, ""},        {48, 8.65f, ""},       {49, 7.31f, ""},
    {50, 7.31f, ""},        {54, 2.953f, "liquid"}, {64, 7.90f, ""},       {73, 16.654f, ""},
    {74, 19.3f, ""},        {78, 21.45f, ""},       {79, 19.32f, ""},      {82, 11.35f, ""},
    {83, 9.747f, ""},       {90, 11.72f, ""},       {92, 18.95f, ""},
};

// Compounds by formula, and named forms of elements. Names separated by '|'.
struct Compound {
    std::string_view names;
    std::string_view formula;
    float rho;
};
constexpr Compound compounds[] = {
    {"water", "H2O", 1.000f},
    {"ice", "H2O", 0.918f},
    {"polyethylene", "C2H4", 0.94f},
    {"polystyrene", "C8H8", 1.06f},
    {"scintillator|polyvinyltoluene", "C9H10", 1.032f},
    {"kapton|polyimide", "C22H10N2O5", 1.42f},
    {"mylar|pet", "C10H8O4", 1.40f},
    {"pmma|lucite|acrylic", "C5H8O2", 1.19f},
    {"polycarbonate", "C16H14O3", 1.20f},
    {"nylon-6|nylon", "C6H11NO", 1.14f},
    {"teflon|ptfe", "C2F4", 2.20f},
    {"quartz", "SiO2", 2.32f},
    {"fused-silica", "SiO2", 2.20f},
    {"sapphire", "Al2O3", 3.97f},
    {"bgo", "Bi4Ge3O12", 7.13f},
    {"pbwo4", "PbWO4", 8.30f},
    {"csi", "CsI", 4.51f},
    {"nai", "NaI", 3.667f},
    {"baf2", "BaF2", 4.89f},
    {"caf2", "CaF2", 3.18f},
    {"lif", "LiF", 2.635f},
    {"gaas", "GaAs", 5.32f},
    {"cdte", "CdTe", 5.85f},
    {"methane", "CH4", 6.672e-4f},
    {"co2", "CO2", 1.842e-3f},
    {"isobutane", "C4H10", 2.49e-3f},
    {"diamond", "C", 3.52f},
    {"hydrogen-gas", "H", 8.376e-5f},
    {"helium-gas", "He", 1.663e-4f},
    {"nitrogen-gas", "N", 1.165e-3f},
    {"oxygen-gas", "O", 1.332e-3f},
    {"neon-gas", "Ne", 8.385e-4f},
    {"argon-gas", "Ar", 1.662e-3f},
};

// Mixtures by weight.
struct Mixture {
    std::string_view names;
    std::string_view weights;
    float rho;
    bool approx;
};
constexpr Mixture mixtures[] = {
    {"air", "C:0.000124,N:0.755267,O:0.231781,Ar:0.012827", 1.20479e-3f, false},
    {"concrete",
     "H:0.010000,C:0.001000,O:0.529107,Na:0.016000,Mg:0.002000,Al:0.033872,Si:0.337021,"
     "K:0.013000,Ca:0.044000,Fe:0.014000",
     2.30f, false},
    {"stainless-steel|steel", "Fe:0.695,Cr:0.190,Ni:0.095,Mn:0.020", 8.00f, true},
};

bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool named(std::string_view names_list, std::string_view name) {
    while (!names_list.empty()) {
        const std::size_t bar = names_list.find('|');
        if (same_ignoring_case(names_list.substr(0, bar), name))
            return true;
        if (bar == std::string_view::npos)
            break;
        names_list.remove_prefix(bar + 1);
    }
    return false;
}

int z_of_symbol(std::string_view s) {
    for (int z = 1; z <= 92; ++z)
        if (symbols[static_cast<std::size_t>(z - 1)] == s)
            return z;
    return 0;
}

float density_of(int z) {
    for (const Density& d : densities)
        if (d.z == z)
            return d.rho;
    return 0.0f;
}

constexpr std::string_view material_forms =
    "(use a name from --list materials, an element, a formula such as H2O or a mixture such as "
    "H:0.1119,O:0.8881)";

// Atom counts of a formula in order of first appearance; groups in
// parentheses with a count after them.
struct Counts {
    std::vector<int> z;
    std::vector<double> n;
    void add(int zz, double k) {
        for (std::size_t i = 0; i < z.size(); ++i)
            if (z[i] == zz) {
                n[i] += k;
                return;
            }
        z.push_back(zz);
        n.push_back(k);
    }
};

// A count after an element or group: digits, else 1.
double count(std::string_view f, std::size_t& i) {
    if (i >= f.size() || f[i] < '0' || f[i] > '9')
        return 1;
    double v = 0;
    while (i < f.size() && f[i] >= '0' && f[i] <= '9') v = std::min(v * 10 + (f[i++] - '0'), 1e10);
    return v > 1e9 ? -1 : v;
}

// Parses f[i..] up to a closing parenthesis (inner) or the end.
bool formula_counts(std::string_view f, std::size_t& i, Counts& out, int depth, std::string& why) {
    bool any = false;
    while (i < f.size()) {
        const char c = f[i];
        if (c == '(') {
            if (depth > 8) {
                why = "parentheses nested too deep";
                return false;
            }
            ++i;
            Counts inner;
            if (!formula_counts(f, i, inner, depth + 1, why))
                return false;
            if (i >= f.size() || f[i] != ')') {
                why = "unbalanced parentheses";
                return false;
            }
            ++i;
            const double k = count(f, i);
            if (k <= 0) {
                why = k == 0 ? "a count of 0" : "a count above 1e9";
                return false;
            }
            for (std::size_t j = 0; j < inner.z.size(); ++j) out.add(inner.z[j], inner.n[j] * k);
            any = true;
        } else if (c == ')') {
            if (depth == 0) {
                why = "unbalanced parentheses";
                return false;
            }
            break;
        } else if (c >= 'A' && c <= 'Z') {
            std::size_t j = i + 1;
            if (j < f.size() && f[j] >= 'a' && f[j] <= 'z')
                ++j;
            const std::string_view sym = f.substr(i, j - i);
            const int z = z_of_symbol(sym);
            if (z == 0) {
                why = "unknown element \"" + std::string(sym) + "\"";
                return false;
            }
            i = j;
            const double k = count(f, i);
            if (k <= 0) {
                why = k == 0 ? "a count of 0" : "a count above 1e9";
                return false;
            }
            out.add(z, k);
            any = true;
        } else {
            why = "unexpected character '" + std::string(1, c) + "'";
            return false;
        }
    }
    if (!any) {
        why = "empty formula";
        return false;
    }
    return true;
}

bool looks_like_formula(std::string_view t) {
    if (t.empty())
        return false;
    for (const char c : t)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '(' || c == ')'))
            return false;
    return (t[0] >= 'A' && t[0] <= 'Z') || t[0] == '(';
}

// Weight fractions from the counts and the element table's atomic weights,
// summed in double and rounded once.
std::vector<physics::Element> by_formula(const Counts& c) {
    double total = 0;
    std::vector<double> part;
    for (std::size_t i = 0; i < c.z.size(); ++i) {
        const float a = physics::element(static_cast<float>(c.z[i]), 1.0f).A;
        part.push_back(c.n[i] * static_cast<double>(a));
        total += part.back();
    }
    std::vector<physics::Element> out;
    for (std::size_t i = 0; i < c.z.size(); ++i)
        out.push_back(physics::element(static_cast<float>(c.z[i]), f32(part[i] / total)));
    return out;
}

std::vector<physics::Element> formula(std::string_view option, std::string_view text,
                                      std::string_view f) {
    Counts c;
    std::size_t i = 0;
    std::string why;
    if (!formula_counts(f, i, c, 0, why))
        bad(option, text, "not a formula: " + why);
    if (i != f.size())
        bad(option, text, "not a formula: unbalanced parentheses");
    return by_formula(c);
}

int element_z(std::string_view s) {
    double z = 0;
    if (number(s, z)) {
        if (z != std::floor(z))
            return -1;
        return z >= 1 && z <= 92 ? static_cast<int>(z) : -1;
    }
    if (const int by_symbol = z_of_symbol(s))
        return by_symbol;
    for (int k = 1; k <= 92; ++k)
        if (same_ignoring_case(names[static_cast<std::size_t>(k - 1)], s))
            return k;
    return 0;
}

std::vector<physics::Element> weights(std::string_view option, std::string_view text,
                                      std::string_view w) {
    std::vector<physics::Element> out;
    double sum = 0;
    while (true) {
        const std::size_t comma = w.find(',');
        const std::string_view item = w.substr(0, comma);
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos)
            bad(option, text,
                "mixture item \"" + std::string(item) +
                    "\" is not ELEMENT:FRACTION (e.g. H:0.1119,O:0.8881)");
        const std::string_view el = item.substr(0, colon);
        const int z = element_z(el);
        if (z < 0)
            bad(option, text, "element \"" + std::string(el) + "\" outside Z 1 to 92");
        if (z == 0)
            bad(option, text, "unknown element \"" + std::string(el) + "\"");
        double frac = 0;
        const std::string_view fr = item.substr(colon + 1);
        if (!number(fr, frac))
            bad(option, text, "fraction \"" + std::string(fr) + "\" is not a number");
        // Up to 1 within the 1e-3 the sum is allowed: a fraction as a
        // table rounds it.
        if (!(frac > 0) || frac > 1.001)
            bad(option, text, "fraction \"" + std::string(fr) + "\" outside (0, 1.001]");
        out.push_back(physics::element(static_cast<float>(z), f32(frac)));
        // The sum is checked as typed: a single 1.001 is within 1e-3 of 1.
        sum += frac;
        if (comma == std::string_view::npos)
            break;
        w.remove_prefix(comma + 1);
    }
    if (std::fabs(sum - 1.0) > 1e-3) {
        char s[64];
        std::snprintf(s, sizeof s, "fractions add up to %.6g, not 1 within 1e-3", sum);
        bad(option, text, s);
    }
    return out;
}

}  // namespace

std::span<const Particle> particles() {
    return particle_table;
}

const Particle* particle(std::string_view name) {
    for (const Particle& p : particle_table)
        if (p.name == name)
            return &p;
    for (const Particle& p : particle_table)
        if (same_ignoring_case(p.name, name))
            return &p;
    return nullptr;
}

std::string_view symbol(int z) {
    return symbols[static_cast<std::size_t>(z - 1)];
}
std::string_view element_name(int z) {
    return names[static_cast<std::size_t>(z - 1)];
}

Material material(std::string_view option, std::string_view text) {
    Material m;
    m.name = std::string(text);
    for (const Compound& c : compounds)
        if (named(c.names, text)) {
            m.elements = formula(option, text, c.formula);
            m.rho = c.rho;
            return m;
        }
    for (const Mixture& x : mixtures)
        if (named(x.names, text)) {
            m.elements = weights(option, text, x.weights);
            m.rho = x.rho;
            m.approx = x.approx;
            return m;
        }
    if (text.find(':') != std::string_view::npos) {
        m.elements = weights(option, text, text);
        return m;
    }
    if (text.empty())
        bad(option, text, std::string("empty material ") + std::string(material_forms));
    // An element by English name (any case) or symbol (as written).
    for (int z = 1; z <= 92; ++z)
        if (same_ignoring_case(names[static_cast<std::size_t>(z - 1)], text) ||
            symbols[static_cast<std::size_t>(z - 1)] == text) {
            m.elements = {physics::element(static_cast<float>(z), 1.0f)};
            m.rho = density_of(z);
            return m;
        }
    if (!looks_like_formula(text))
        bad(option, text, std::string("unknown material ") + std::string(material_forms));
    m.elements = formula(option, text, text);
    m.formula = true;
    for (const Compound& c : compounds)
        if (c.formula == text) {
            const std::string_view first = c.names.substr(0, c.names.find('|'));
            m.same += (m.same.empty() ? "" : " or ") + std::string(first);
        }
    return m;
}

void list_particles(std::string& out) {
    out += "name     mass_mev_c2    siga_mb       note\n";
    for (const Particle& p : particle_table) {
        char line[160];
        char siga[24] = "none";
        if (p.siga > 0)
            std::snprintf(siga, sizeof siga, "%g%s", static_cast<double>(p.siga),
                          p.approx ? " approx." : "");
        std::snprintf(line, sizeof line, "%-8.*s %-14.*s %-13s %.*s\n",
                      static_cast<int>(p.name.size()), p.name.data(),
                      static_cast<int>(p.mass_mev.size()), p.mass_mev.data(), siga,
                      static_cast<int>(p.note.size()), p.note.data());
        out += line;
    }
}

void list_materials(std::string& out) {
    out += "name                   density_g_cm3    composition\n";
    char line[512];
    for (int z = 1; z <= 92; ++z) {
        const float rho = density_of(z);
        char r[32] = "(give --density)";
        if (rho > 0)
            std::snprintf(r, sizeof r, "%g", static_cast<double>(rho));
        std::snprintf(line, sizeof line, "%-22.*s %-16s %.*s (Z %d)\n",
                      static_cast<int>(names[static_cast<std::size_t>(z - 1)].size()),
                      names[static_cast<std::size_t>(z - 1)].data(), r,
                      static_cast<int>(symbols[static_cast<std::size_t>(z - 1)].size()),
                      symbols[static_cast<std::size_t>(z - 1)].data(), z);
        out += line;
    }
    // Other names of an entry follow the first, separated by commas.
    const auto shown = [](std::string_view n) {
        std::string s(n);
        for (std::size_t at; (at = s.find('|')) != std::string::npos;) s.replace(at, 1, ", ");
        return s;
    };
    for (const Compound& c : compounds) {
        std::snprintf(line, sizeof line, "%-22s %-16g %.*s\n", shown(c.names).c_str(),
                      static_cast<double>(c.rho), static_cast<int>(c.formula.size()),
                      c.formula.data());
        out += line;
    }
    for (const Mixture& x : mixtures) {
        std::snprintf(line, sizeof line, "%-22s %-16g %.*s%s\n", shown(x.names).c_str(),
                      static_cast<double>(x.rho), static_cast<int>(x.weights.size()),
                      x.weights.data(), x.approx ? " (approx.)" : "");
        out += line;
    }
}

}  // namespace zefrin::table
