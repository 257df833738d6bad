// Rows of text, CSV and JSON, streamed through one buffer.
#include "table/write.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "base/single.hpp"
#include "table/catalogue.hpp"

namespace zefrin::table {

void Out::flush() {
    const char* p = buf_.data();
    std::size_t n = buf_.size();
    while (n > 0) {
        const ssize_t r = ::write(1, p, n);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            buf_.clear();
            if (errno == EPIPE)
                throw Quiet();
            throw std::runtime_error(std::string("standard output: ") + std::strerror(errno));
        }
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    buf_.clear();
}

Out::~Out() {
    try {
        flush();
    } catch (...) {
    }
}

const Column case_columns[] = {
    {"particle", "particle", ""},
    {"mass_gev_c2", "mass", "GeV/c2"},
    {"momentum_gev_c", "momentum", "GeV/c"},
    {"kinetic_energy_mev", "entrance kinetic energy", "MeV"},
    {"material", "material", ""},
    {"density_g_cm3", "density", "g/cm3"},
    {"fill", "fraction of length filled", ""},
    {"thickness_cm", "thickness", "cm"},
    {"thickness_g_cm2", "thickness", "g/cm2"},
    {"thickness_x0", "thickness", "radiation lengths"},
    {"siga_mb", "absorption parameter siga", "mb"},
    {"sige_mb", "elastic cross section sige", "mb"},
    {"z_over_a_mol_g", "Z/A", "mol/g"},
    {"mean_excitation_ev", "mean excitation energy I", "eV"},
    {"radiation_length_g_cm2", "radiation length X0", "g/cm2"},
    {"omega0", "Rutherford scatters omega0", ""},
    {"moliere_b", "Moliere B", ""},
    {"theta_1e_mrad", "1/e scattering angle", "mrad"},
    {"displacement_1e_mm", "1/e lateral displacement", "mm"},
    {"loss_regime", "energy-loss regime", ""},
    {"g", "regime parameter g", ""},
    {"most_probable_loss_mev", "most probable loss", "MeV"},
    {"width_mev", "width of the loss", "MeV"},
    {"mean_loss_mev", "mean loss", "MeV"},
    {"radiative_loss_mev", "radiative loss", "MeV"},
    {"interaction_length_cm", "total interaction length", "cm"},
    {"absorption_share", "absorption share", ""},
};
const std::size_t case_column_count = std::size(case_columns);

const Column element_columns[] = {
    {"z", "Z", ""},
    {"fraction", "fraction by weight", ""},
    {"a_g_mol", "A", "g/mol"},
    {"int_prob", "interaction probability", ""},
    {"rms_angle_mrad", "RMS elastic angle", "mrad"},
    {"el_cs_mb", "elastic cross section", "mb"},
    {"ab_cs_mb", "absorption cross section", "mb"},
};
const std::size_t element_column_count = std::size(element_columns);

struct Writer::Cell {
    enum Kind { none, num, str } kind = none;
    float f = 0;
    std::string_view s;
};

void shortest(std::string& out, float x) {
    if (x == 0.0f)
        x = 0.0f;  // no "-0"
    char b[32];
    const auto r = std::to_chars(b, b + sizeof b, x);
    out.append(b, r.ptr);
}

void csv_text(std::string& out, std::string_view s) {
    if (s.find_first_of(",\"\n\r") == std::string_view::npos) {
        out.append(s);
        return;
    }
    out.push_back('"');
    for (const char c : s) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

void json_text(std::string& out, std::string_view s) {
    out.push_back('"');
    for (const char c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (u < 0x20) {
            char b[8];
            std::snprintf(b, sizeof b, "\\u%04x", u);
            out.append(b);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

std::size_t text_width(std::string_view key, std::size_t widest_text) {
    // -1.23456789e-38: sign, nine digits, point and a two-digit exponent.
    constexpr std::size_t widest_float = 15;
    return std::max({key.size(), widest_float, widest_text});
}

std::string regions(std::int32_t n) {
    if (n == std::numeric_limits<std::int32_t>::max())
        return "more than " + std::to_string(n - 1);
    return std::to_string(n);
}

bool swamped(const Values& v) {
    return v.x.tlam > swamped_lambda;
}

bool absorbs(const Values& v) {
    if (!v.nuclear)
        return false;
    for (const Atom& a : v.atoms)
        if (a.n.absorbs)
            return true;
    return false;
}

namespace {

constexpr std::size_t max_case_cells = std::size(case_columns);

void warn(std::string& w, std::string_view s) {
    if (!w.empty())
        w.append("; ");
    w.append(s);
}

}  // namespace

void warnings(const Case& c, const Values& v, std::string& w) {
    w.clear();
    std::string s;
    if (!v.mol.applicable) {
        s = "Moliere theory is not applicable: only ";
        shortest(s, v.mol.omeg0);
        s += " Rutherford scatters (5 or more needed)";
        warn(w, s);
    }
    if (v.mol.applicable && v.mol.se > 1.0f && std::isfinite(v.mol.se * 1000.0f)) {
        s = "1/e angle ";
        shortest(s, v.mol.se * 1000.0f);
        s += " mrad is above 1 rad: the small-angle formulas do not hold";
        warn(w, s);
    }
    const physics::Loss& l = v.loss;
    if (l.divide)
        warn(w, "Landau < energy loss distribution < Gauss: divide into " + regions(l.lx) +
                    " smaller elements");
    if (l.stops) {
        if (c.frac < 1.0f) {
            s = "energy loss would be ";
            shortest(s, l.dedx * 1000.0f);
            s += " MeV > entrance kinetic energy ";
            shortest(s, l.tf * 1000.0f);
            s += " MeV";
            warn(w, s);
        } else {
            warn(w, "energy loss >= kinetic energy: divide into " + regions(l.ncor) +
                        ", better into " + regions(l.ncorr) + " smaller regions");
        }
    } else {
        if (l.tenth)
            warn(w, "energy loss > 10% of entrance kinetic energy: divide into " +
                        regions(l.ncorr) + " smaller regions");
        if (!l.positive)
            warn(w, "energy loss formulas give a loss <= 0 here: energy or thickness too small");
    }
    if (!v.nuclear) {
        s = "no nuclear section: no absorption cross section";
        if (!c.particle.empty())
            s += " for " + std::string(c.particle);
        s += " (give --siga)";
        warn(w, s);
    } else if (!absorbs(v)) {
        s = "siga ";
        shortest(s, c.siga);
        s += " mb gives no element an absorption cross section: no nuclear interaction length";
        warn(w, s);
    } else {
        for (std::size_t i = 0; i < v.atoms.size(); ++i)
            if (!v.atoms[i].n.absorbs) {
                s = "element " + std::to_string(i + 1) + " (" +
                    std::string(symbol(static_cast<int>(c.elements[i].Z))) + "): siga ";
                shortest(s, c.siga);
                s += " mb gives no absorption cross section: left out of the nuclear section";
                warn(w, s);
            }
        if (swamped(v))
            warn(w,
                 "interaction length above 1e25 cm: the sums' start of 1e-30 per cm is not "
                 "negligible, interaction length, absorption share and interaction "
                 "probabilities left out");
    }
}

Writer::Writer(Out& out, Format f, std::size_t elements, bool single, std::size_t widest)
    : out_(out), f_(f), n_(elements), single_(single), widest_(widest) {}

namespace {

// The cells of a case in the order of case_columns; a value that is not
// finite leaves its cell empty and adds a warning.
void case_cells(const Case& c, const Values& v, Writer::Cell* k, std::string& w) {
    using Cell = Writer::Cell;
    const auto num = [](float x) { return Cell{Cell::num, x, {}}; };
    const auto str = [](std::string_view s) { return Cell{Cell::str, 0, s}; };
    const Cell empty{};
    const physics::Loss& l = v.loss;
    const bool loss = !l.stops && l.positive;
    std::size_t i = 0;
    k[i++] = c.particle.empty() ? empty : str(c.particle);
    k[i++] = num(c.mass);
    k[i++] = num(c.p0);
    // E - m rounds below zero only by the rounding of a momentum far below
    // the mass: the particle is at rest.
    k[i++] = num(std::max(v.k.tf, 0.0f) * 1000.0f);
    k[i++] = str(c.material);
    k[i++] = num(c.rho);
    k[i++] = num(c.frac);
    k[i++] = num(c.length);
    k[i++] = num(c.length * c.rho);
    k[i++] = num(v.t);
    k[i++] = v.nuclear ? num(c.siga) : empty;
    k[i++] = v.nuclear && c.sige >= 0.0f ? num(c.sige) : empty;
    k[i++] = num(v.m.a3);
    k[i++] = num(fexp(v.m.a4));
    k[i++] = num(1.0f / v.m.rad);
    k[i++] = num(v.mol.omeg0);
    k[i++] = v.mol.applicable ? num(v.mol.b) : empty;
    k[i++] = v.mol.applicable ? num(v.mol.se * 1000.0f) : empty;
    k[i++] = v.mol.applicable ? num(v.mol.sye * 10.0f) : empty;
    // The regime is chosen by g: none without a finite g.
    k[i++] = std::isfinite(l.g) ? str(l.gauss ? "gauss" : "landau") : empty;
    k[i++] = num(l.g);
    k[i++] = loss ? num(l.enloss * 1000.0f) : empty;
    k[i++] = loss ? num(l.w * 1000.0f) : empty;
    k[i++] = loss ? num(l.dedx * 1000.0f) : empty;
    k[i++] = num(v.radlos * 1000.0f);
    k[i++] = absorbs(v) && !swamped(v) ? num(v.x.tlam) : empty;
    k[i++] = absorbs(v) && !swamped(v) ? num(v.x.al) : empty;
    for (std::size_t j = 0; j < i; ++j)
        if (k[j].kind == Cell::num && !std::isfinite(k[j].f)) {
            k[j] = empty;
            warn(w, std::string(case_columns[j].key) + " is not finite in single precision");
        }
}

// The cells of element e in the order of element_columns, likewise.
void element_cells(const Case& c, const Values& v, std::size_t e, Writer::Cell* k, std::string& w) {
    using Cell = Writer::Cell;
    const auto num = [](float x) { return Cell{Cell::num, x, {}}; };
    const Cell empty{};
    const physics::Element& el = c.elements[e];
    const bool in = v.nuclear && v.atoms[e].n.absorbs;
    const Atom& a = v.atoms[e];
    std::size_t i = 0;
    k[i++] = num(el.Z);
    k[i++] = num(el.prop);
    k[i++] = num(el.A);
    k[i++] = in && !swamped(v) ? num(a.pdi) : empty;
    k[i++] = in ? num(a.n.as * 1000.0f) : empty;
    k[i++] = in ? num(a.n.simet) : empty;
    k[i++] = in ? num(a.n.simot) : empty;
    for (std::size_t j = 0; j < i; ++j)
        if (k[j].kind == Cell::num && !std::isfinite(k[j].f)) {
            k[j] = empty;
            warn(w, std::string(element_columns[j].key) + "_" + std::to_string(e + 1) +
                        " is not finite in single precision");
        }
}

void put_cell(std::string& out, const Writer::Cell& k, Format f) {
    using Cell = Writer::Cell;
    if (k.kind == Cell::num)
        shortest(out, k.f);
    else if (k.kind == Cell::str && f == Format::json)
        json_text(out, k.s);
    else if (k.kind == Cell::str && f == Format::csv)
        csv_text(out, k.s);
    else if (k.kind == Cell::str)
        out.append(k.s);  // text: as given, in a column as wide as the longest
    else if (f == Format::json)
        out.append("null");
}

// Text columns: the widest float, the key, and for the texts the widest of the run.
std::size_t width(std::string_view key, std::size_t widest) {
    return text_width(key, key == "particle" || key == "material" ? widest : 0);
}

void pad_to(std::string& out, std::size_t start, std::size_t w) {
    while (out.size() - start < w) out.push_back(' ');
}

}  // namespace

void Writer::header() {
    line_.clear();
    if (f_ == Format::json || (f_ == Format::text && single_))
        return;
    const bool csv = f_ == Format::csv;
    const auto key = [&](std::string_view k, std::string_view suffix) {
        const std::size_t start = line_.size();
        if (csv && start > 0)
            line_.push_back(',');
        if (!csv && start > 0)
            line_.push_back(' ');
        const std::size_t at = line_.size();
        line_.append(k);
        line_.append(suffix);
        if (!csv)
            pad_to(line_, at, width(std::string(k) + std::string(suffix), widest_));
    };
    for (std::size_t j = 0; j < case_column_count; ++j) key(case_columns[j].key, "");
    for (std::size_t e = 1; e <= n_; ++e)
        for (std::size_t j = 0; j < element_column_count; ++j)
            key(element_columns[j].key, std::string("_").append(std::to_string(e)));
    key("warnings", "");
    while (!line_.empty() && line_.back() == ' ') line_.pop_back();
    line_.push_back('\n');
    out_.put(line_);
}

void Writer::row(const Case& c, const Values& v) {
    Cell k[max_case_cells];
    Cell ek[std::size(element_columns)];
    warnings(c, v, warnings_);
    case_cells(c, v, k, warnings_);
    line_.clear();
    if (f_ == Format::csv) {
        for (std::size_t j = 0; j < case_column_count; ++j) {
            if (j > 0)
                line_.push_back(',');
            put_cell(line_, k[j], f_);
        }
        for (std::size_t e = 0; e < n_; ++e) {
            if (e < c.elements.size())
                element_cells(c, v, e, ek, warnings_);
            for (std::size_t j = 0; j < element_column_count; ++j) {
                line_.push_back(',');
                if (e < c.elements.size())
                    put_cell(line_, ek[j], f_);
            }
        }
        line_.push_back(',');
        csv_text(line_, warnings_);
    } else if (f_ == Format::json) {
        line_.push_back('{');
        for (std::size_t j = 0; j < case_column_count; ++j) {
            if (j > 0)
                line_.push_back(',');
            json_text(line_, case_columns[j].key);
            line_.push_back(':');
            put_cell(line_, k[j], f_);
        }
        line_.append(",\"elements\":[");
        for (std::size_t e = 0; e < c.elements.size(); ++e) {
            element_cells(c, v, e, ek, warnings_);
            line_.append(e > 0 ? ",{" : "{");
            for (std::size_t j = 0; j < element_column_count; ++j) {
                if (j > 0)
                    line_.push_back(',');
                json_text(line_, element_columns[j].key);
                line_.push_back(':');
                put_cell(line_, ek[j], f_);
            }
            line_.push_back('}');
        }
        line_.append("],\"warnings\":[");
        std::string_view w = warnings_;
        bool first = true;
        while (!w.empty()) {
            const std::size_t sep = w.find("; ");
            if (!first)
                line_.push_back(',');
            json_text(line_, w.substr(0, sep));
            first = false;
            if (sep == std::string_view::npos)
                break;
            w.remove_prefix(sep + 2);
        }
        line_.append("]}");
    } else if (single_) {
        // One case: a quantity per line, with its unit.
        const auto item = [&](std::string_view label, const Cell& cell, std::string_view unit) {
            const std::size_t start = line_.size();
            line_.append(label);
            pad_to(line_, start, 40);
            if (cell.kind == Cell::none)
                line_.append("-");
            else
                put_cell(line_, cell, Format::text);
            if (cell.kind != Cell::none && !unit.empty()) {
                line_.push_back(' ');
                line_.append(unit);
            }
            line_.push_back('\n');
        };
        for (std::size_t j = 0; j < case_column_count; ++j)
            item(case_columns[j].label, k[j], case_columns[j].unit);
        for (std::size_t e = 0; e < c.elements.size(); ++e) {
            element_cells(c, v, e, ek, warnings_);
            for (std::size_t j = 0; j < element_column_count; ++j)
                item("element " + std::to_string(e + 1) + ": " +
                         std::string(element_columns[j].label),
                     ek[j], element_columns[j].unit);
        }
        std::string_view w = warnings_;
        while (!w.empty()) {
            const std::size_t sep = w.find("; ");
            line_.append("warning: ");
            line_.append(w.substr(0, sep));
            line_.push_back('\n');
            if (sep == std::string_view::npos)
                break;
            w.remove_prefix(sep + 2);
        }
        out_.put(line_);
        return;
    } else {
        const auto cell = [&](std::string_view key, const Cell& x) {
            if (!line_.empty())
                line_.push_back(' ');
            const std::size_t at = line_.size();
            if (x.kind == Cell::none)
                line_.push_back('-');
            else
                put_cell(line_, x, Format::text);
            pad_to(line_, at, width(key, widest_));
        };
        for (std::size_t j = 0; j < case_column_count; ++j) cell(case_columns[j].key, k[j]);
        for (std::size_t e = 0; e < n_; ++e) {
            if (e < c.elements.size())
                element_cells(c, v, e, ek, warnings_);
            for (std::size_t j = 0; j < element_column_count; ++j) {
                const std::string key =
                    std::string(element_columns[j].key) + "_" + std::to_string(e + 1);
                cell(key, e < c.elements.size() ? ek[j] : Cell{});
            }
        }
        line_.push_back(' ');
        line_.append(warnings_);
        while (!line_.empty() && line_.back() == ' ') line_.pop_back();
    }
    line_.push_back('\n');
    out_.put(line_);
}

}  // namespace zefrin::table

namespace zefrin::table {

namespace {

// Splits "key_3" into the element key and 3; false when it is not one.
bool element_key(std::string_view key, std::size_t& col, std::size_t& e) {
    const std::size_t us = key.rfind('_');
    if (us == std::string_view::npos)
        return false;
    std::size_t n = 0;
    const auto r = std::from_chars(key.data() + us + 1, key.data() + key.size(), n);
    if (r.ec != std::errc{} || r.ptr != key.data() + key.size() || n < 1)
        return false;
    for (std::size_t j = 0; j < element_column_count; ++j)
        if (element_columns[j].key == key.substr(0, us)) {
            col = j;
            e = n - 1;
            return true;
        }
    return false;
}

}  // namespace

bool is_numeric_column(std::string_view key, std::size_t elements) {
    std::size_t col = 0, e = 0;
    if (element_key(key, col, e))
        return e < elements;
    for (std::size_t j = 0; j < case_column_count; ++j)
        if (case_columns[j].key == key)
            return key != "particle" && key != "material" && key != "loss_regime";
    return false;
}

float column_value(std::string_view key, const Case& c, const Values& v) {
    std::string w;
    Writer::Cell k[max_case_cells];
    std::size_t col = 0, e = 0;
    if (element_key(key, col, e)) {
        if (e >= c.elements.size())
            return std::nanf("");
        element_cells(c, v, e, k, w);
    } else {
        case_cells(c, v, k, w);
        for (col = 0; col < case_column_count && case_columns[col].key != key; ++col) {
        }
        if (col == case_column_count)
            return std::nanf("");
    }
    return k[col].kind == Writer::Cell::num ? k[col].f : std::nanf("");
}

}  // namespace zefrin::table

namespace zefrin::table {

std::string column_title(std::string_view key) {
    std::size_t col = 0, e = 0;
    const Column* c = nullptr;
    std::string t;
    if (element_key(key, col, e)) {
        c = &element_columns[col];
        t = "element " + std::to_string(e + 1) + ": ";
    } else {
        for (std::size_t j = 0; j < case_column_count; ++j)
            if (case_columns[j].key == key)
                c = &case_columns[j];
    }
    if (!c)
        return std::string(key);
    t += c->label;
    if (!c->unit.empty())
        t += " (" + std::string(c->unit) + ")";
    return t;
}

}  // namespace zefrin::table
