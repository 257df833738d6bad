// From options to cases: every value read and checked, lists and scans.
#include "table/cases.hpp"

#include <cmath>

#include "base/single.hpp"

namespace zefrin::table {

std::optional<std::string>* Options::find(std::string_view name) {
    if (name == "particle")
        return &particle;
    if (name == "mass")
        return &mass;
    if (name == "siga")
        return &siga;
    if (name == "sige")
        return &sige;
    if (name == "momentum")
        return &momentum;
    if (name == "kinetic-energy")
        return &kinetic_energy;
    if (name == "material")
        return &material;
    if (name == "density")
        return &density;
    if (name == "thickness")
        return &thickness;
    if (name == "fill")
        return &fill;
    if (name == "scan")
        return &scan;
    return nullptr;
}

std::string Options::label(std::string_view name) const {
    bool in_row = false;
    for (const std::string& r : row) in_row = in_row || r == name;
    if (!in_row)
        return "--" + std::string(name);
    return where + ", column " + std::string(name);
}

Quantity Sweep::at(std::size_t k) const {
    if (!scan)
        return list[k];
    if (k == 0)
        return first;
    if (k + 1 == n)
        return last;
    const double a = static_cast<double>(first.value), b = static_cast<double>(last.value);
    const double u = static_cast<double>(k) / static_cast<double>(n - 1);
    const double x =
        log ? std::exp(std::log(a) + u * (std::log(b) - std::log(a))) : a + u * (b - a);
    return Quantity{f32(x), first.areal};
}

namespace {

const char* const known_particles =
    "use e-, e+, mu-, mu+, pi+, pi-, K+, K-, p, pbar, d or t, or --mass";

Kind kind_of(Vary v) {
    if (v == Vary::momentum)
        return Kind::momentum;
    if (v == Vary::kinetic_energy)
        return Kind::energy;
    return Kind::length;
}

void positive(const std::string& label, std::string_view text, float v, std::string_view what) {
    if (!(v > 0.0f))
        bad(label, text, std::string("must be positive (") + std::string(what) + ")");
}

Quantity one(const Options& o, std::string_view name, const std::string& text, Kind kind) {
    const std::string label = o.label(name);
    const Quantity q = quantity(label, text, kind);
    positive(label, text, q.value, units_of(kind));
    return q;
}

// The values of a list or scan are all bare or all in the same unit: a bare
// number among values with units would silently be in another unit.
void same_unit(const std::string& label, std::string_view text, const Quantity& a,
               const Quantity& b) {
    if (a.unit != b.unit)
        bad(label, text,
            "mixes \"" + std::string(a.unit.empty() ? "no unit" : a.unit) + "\" and \"" +
                std::string(b.unit.empty() ? "no unit" : b.unit) +
                "\": give every value the same unit, or none");
}

// A value, or a comma-separated list of values that becomes the sweep.
Quantity value_or_list(const Options& o, std::string_view name, const std::string& text, Kind kind,
                       Vary vary, Sweep& sweep) {
    if (text.find(',') == std::string::npos)
        return one(o, name, text, kind);
    if (sweep.vary != Vary::none)
        bad(o.label(name), text, "only one quantity may vary in a run (a list or a --scan)");
    sweep.vary = vary;
    std::string_view rest = text;
    while (true) {
        const std::size_t comma = rest.find(',');
        if (rest.substr(0, comma).empty())
            bad(o.label(name), text, "an empty value in the list (write V,V,..., e.g. 1,2,5)");
        sweep.list.push_back(one(o, name, std::string(rest.substr(0, comma)), kind));
        same_unit(o.label(name), text, sweep.list.front(), sweep.list.back());
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    return sweep.list.front();
}

void read_scan(const Options& o, const std::string& text, Sweep& sweep) {
    const std::string label = o.label("scan");
    const char* form =
        "use QUANTITY=FIRST:LAST:N or N log, QUANTITY momentum, kinetic-energy or thickness";
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos)
        bad(label, text, form);
    const std::string_view what = std::string_view(text).substr(0, eq);
    Vary v = Vary::none;
    if (what == "momentum")
        v = Vary::momentum;
    if (what == "kinetic-energy" || what == "kinetic_energy")
        v = Vary::kinetic_energy;
    if (what == "thickness")
        v = Vary::thickness;
    if (v == Vary::none)
        bad(label, text, form);
    if (sweep.vary != Vary::none)
        bad(label, text, "only one quantity may vary in a run (a list or a --scan)");
    const std::string_view rest = std::string_view(text).substr(eq + 1);
    const std::size_t c1 = rest.find(':');
    const std::size_t c2 = c1 == std::string_view::npos ? c1 : rest.find(':', c1 + 1);
    if (c2 == std::string_view::npos || rest.find(':', c2 + 1) != std::string_view::npos)
        bad(label, text, form);
    const Kind kind = kind_of(v);
    sweep.first = quantity(label, rest.substr(0, c1), kind);
    sweep.last = quantity(label, rest.substr(c1 + 1, c2 - c1 - 1), kind);
    positive(label, text, sweep.first.value, units_of(kind));
    positive(label, text, sweep.last.value, units_of(kind));
    same_unit(label, text, sweep.first, sweep.last);
    std::string_view n = rest.substr(c2 + 1);
    if (n.ends_with("log")) {
        sweep.log = true;
        n.remove_suffix(3);
    }
    double count = 0;
    if (!number(n, count) || count != std::floor(count) || count < 2 || count > 1e9)
        bad(label, text,
            "the number of points must be a whole number from 2 to 1e9, e.g. 50 or 50log");
    sweep.n = static_cast<std::size_t>(count);
    sweep.scan = true;
    sweep.vary = v;
}

}  // namespace

Setup resolve(const Options& o) {
    Setup s;
    // A row of a case file that leaves out a value is named.
    const auto missing = [&o](const char* what) {
        return Bad(o.where.empty() ? std::string(what) : o.where + ": " + what);
    };
    // The particle.
    if (o.particle && o.mass)
        bad(o.label("mass"), *o.mass, "give --particle or --mass, not both");
    if (o.particle) {
        s.particle = particle(*o.particle);
        if (!s.particle) {
            const std::string& n = *o.particle;
            if (n == "alpha" || n == "he3" || n == "he4" || n == "He3" || n == "3He" ||
                n == "he-3" || n == "ion")
                bad(o.label("particle"), n,
                    std::string("charge 2 or more: the formulas hold for unit charge only (") +
                        known_particles + ")");
            bad(o.label("particle"), n, std::string("unknown particle (") + known_particles + ")");
        }
        s.mass = s.particle->mass;
        s.siga = s.particle->siga;
    } else if (o.mass) {
        s.mass = one(o, "mass", *o.mass, Kind::mass).value;
    } else {
        throw missing("missing --particle or --mass");
    }
    if (o.siga) {
        const Quantity q = quantity(o.label("siga"), *o.siga, Kind::cross_section);
        positive(o.label("siga"), *o.siga, q.value, "leave it out for no nuclear section");
        s.siga = q.value;
    }
    s.siga_missing = !(s.siga > 0.0f);
    if (o.sige) {
        s.sige = quantity(o.label("sige"), *o.sige, Kind::cross_section).value;
        if (s.sige == 0.0f)
            bad(o.label("sige"), *o.sige,
                "must be positive (mb or b), or negative to derive it from A");
    }

    // The material and the layer.
    if (!o.material)
        throw missing("missing --material");
    s.material = material(o.label("material"), *o.material);
    s.rho = s.material.rho;
    if (o.density)
        s.rho = one(o, "density", *o.density, Kind::density).value;
    if (!(s.rho > 0.0f)) {
        std::string why = "no density in the catalogue: give --density";
        if (s.material.formula)
            why = "a formula takes its density from --density" +
                  (s.material.same.empty() ? std::string()
                                           : ", or use the catalogue's " + s.material.same);
        else if (s.material.elements.size() > 1)
            why = "a mixture takes its density from --density";
        bad(o.label("material"), *o.material, why);
    }
    if (o.fill) {
        const std::string label = o.label("fill");
        double f = 0;
        if (!number(*o.fill, f))
            bad(label, *o.fill, "not a number (a fraction in (0, 1])");
        s.frac = f32(f);
        if (!(s.frac > 0.0f && s.frac <= 1.0f))
            bad(label, *o.fill, "outside (0, 1]");
    }
    if (o.scan)
        read_scan(o, *o.scan, s.sweep);
    if (o.momentum && o.kinetic_energy)
        bad(o.label("kinetic-energy"), *o.kinetic_energy,
            "give --momentum or --kinetic-energy, not both");
    if (o.momentum)
        s.p0 = value_or_list(o, "momentum", *o.momentum, Kind::momentum, Vary::momentum, s.sweep);
    if (o.kinetic_energy) {
        s.energy = value_or_list(o, "kinetic-energy", *o.kinetic_energy, Kind::energy,
                                 Vary::kinetic_energy, s.sweep);
        s.by_energy = true;
    }
    if (o.thickness)
        s.length =
            value_or_list(o, "thickness", *o.thickness, Kind::length, Vary::thickness, s.sweep);
    const Vary v = s.sweep.vary;
    if (!o.momentum && !o.kinetic_energy && v != Vary::momentum && v != Vary::kinetic_energy)
        throw missing("missing --momentum or --kinetic-energy (or a --scan of either)");
    if (v == Vary::kinetic_energy)
        s.by_energy = true;
    const bool energy_given = o.momentum || o.kinetic_energy;
    if (s.sweep.scan && (v == Vary::thickness ? bool(o.thickness) : energy_given))
        bad(o.label("scan"), *o.scan, "the scanned quantity is given by another option as well");
    if (!o.thickness && v != Vary::thickness)
        throw missing("missing --thickness (or a --scan of it)");
    // Every point gives a positive, finite momentum and length: the ends of
    // a scan (the points between lie between them) and every listed value.
    const std::size_t n = s.size();
    for (std::size_t k = 0; k < n; k = (s.sweep.scan && k == 0) ? n - 1 : k + 1) {
        const Case c = s.at(k);
        if (!(c.p0 > 0.0f) || !std::isfinite(c.p0))
            throw Bad(
                "kinetic energy and mass give a momentum out of the range of single precision");
        if (!(c.length > 0.0f) || !std::isfinite(c.length))
            throw Bad(
                "thickness in g/cm2 and density give a length out of the range of single "
                "precision");
    }
    return s;
}

Case Setup::at(std::size_t k) const {
    Case c;
    c.particle = particle ? particle->name : std::string_view();
    c.mass = mass;
    c.siga = siga;
    c.sige = sige;
    c.material = material.name;
    c.elements = material.elements;
    c.rho = rho;
    c.frac = frac;
    Quantity p = p0, e = energy, l = length;
    if (sweep.vary == Vary::momentum)
        p = sweep.at(k);
    if (sweep.vary == Vary::kinetic_energy)
        e = sweep.at(k);
    if (sweep.vary == Vary::thickness)
        l = sweep.at(k);
    if (by_energy) {
        // p = sqrt(T (T + 2m)), in double from the single-precision inputs.
        const double t = static_cast<double>(e.value), m = static_cast<double>(mass);
        p.value = f32(std::sqrt(t * (t + 2.0 * m)));
    }
    c.p0 = p.value;
    c.length = l.areal ? length_of(l.value, rho) : l.value;
    return c;
}

void check_header(std::string_view file, std::vector<std::string>& header) {
    for (std::size_t c = 0; c < header.size(); ++c) {
        std::string& h = header[c];
        for (char& ch : h)
            if (ch == '_')
                ch = '-';
        Options probe;
        if (h == "scan" || !probe.find(h))
            throw Bad(std::string(file) + ": row 1, column " + std::to_string(c + 1) + ": \"" + h +
                      "\" is not an option of a case (use particle, mass, siga, sige, momentum, "
                      "kinetic-energy, material, density, thickness, fill)");
        for (std::size_t d = 0; d < c; ++d)
            if (header[d] == h)
                throw Bad(std::string(file) + ": row 1, column " + std::to_string(c + 1) + ": \"" +
                          h + "\" named twice");
    }
}

bool record(std::string_view file, std::size_t row, std::string_view text, std::size_t& pos,
            std::vector<std::string>& cells) {
    cells.clear();
    if (pos >= text.size())
        return false;
    cells.emplace_back();
    bool quoted = false;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (quoted) {
            if (c == '"') {
                if (pos < text.size() && text[pos] == '"') {
                    cells.back().push_back('"');
                    ++pos;
                } else {
                    quoted = false;
                }
            } else {
                cells.back().push_back(c);
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            cells.emplace_back();
        } else if (c == '\n') {
            break;
        } else if (c != '\r') {
            cells.back().push_back(c);
        }
    }
    if (quoted)
        throw Bad(std::string(file) + ": row " + std::to_string(row) + ": a quote is not closed");
    for (std::string& cell : cells) {
        while (!cell.empty() && cell.back() == ' ') cell.pop_back();
        while (!cell.empty() && cell.front() == ' ') cell.erase(0, 1);
    }
    return true;
}

}  // namespace zefrin::table
