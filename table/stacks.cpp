// Stacks of layers and ranges in the table program.
#include "table/stacks.hpp"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>

#include "base/single.hpp"
#include "passage/kinematics.hpp"
#include "table/catalogue.hpp"
#include "table/input.hpp"
#include "table/plot.hpp"

namespace zefrin::table {

namespace {

// A layer from its three texts; label and whole name the option (or file
// and line) and the text given there, for messages; form is how a layer
// with its density is written there.
StackLayer layer_of(const std::string& label, std::string_view whole, std::string_view name,
                    std::string_view thickness, std::string_view density, bool has_density,
                    const char* form) {
    StackLayer l;
    const Material m = material(label, name);
    l.material = std::string(name);
    float rho = m.rho;
    if (has_density) {
        rho = quantity(label, density, Kind::density).value;
        if (!(rho > 0.0f))
            bad(label, whole, "the density must be positive (g/cm3 or kg/m3)");
    }
    if (!(rho > 0.0f))
        bad(label, whole,
            "no density in the catalogue for \"" + std::string(name) + "\": give it as " + form +
                (m.formula && !m.same.empty() ? ", or use the catalogue's " + m.same : ""));
    const Quantity q = quantity(label, thickness, Kind::length);
    const float length = q.areal ? length_of(q.value, rho) : q.value;
    if (!(q.value > 0.0f))
        bad(label, whole, "the thickness must be positive (um, mm, cm, m or g/cm2)");
    if (!(length > 0.0f) || !std::isfinite(length))
        bad(label, whole,
            "thickness in g/cm2 and density give a length out of the range of single precision");
    if (!std::isfinite(length * rho))
        bad(label, whole, "thickness times density is beyond single precision in g/cm2");
    l.layer = stack::Layer{m.elements, rho, length};
    return l;
}

}  // namespace

StackLayer layer_option(const std::string& label, std::string_view text) {
    const std::size_t a = text.find('@');
    const std::size_t b = a == std::string_view::npos ? a : text.find('@', a + 1);
    if (a == std::string_view::npos ||
        (b != std::string_view::npos && text.find('@', b + 1) != std::string_view::npos))
        bad(label, text,
            "a layer is MATERIAL@THICKNESS or MATERIAL@THICKNESS@DENSITY (kapton@50um)");
    const std::string_view name = text.substr(0, a);
    const std::string_view thick =
        text.substr(a + 1, b == std::string_view::npos ? std::string_view::npos : b - a - 1);
    const std::string_view dens =
        b == std::string_view::npos ? std::string_view() : text.substr(b + 1);
    return layer_of(label, text, name, thick, dens, b != std::string_view::npos,
                    "MATERIAL@THICKNESS@DENSITY");
}

std::vector<StackLayer> stack_file(std::string_view file, std::string_view text) {
    std::vector<StackLayer> layers;
    std::size_t pos = 0;
    for (std::size_t n = 1; pos < text.size(); ++n) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t hash = line.find('#');
        if (hash != std::string_view::npos)
            line = line.substr(0, hash);
        std::string_view words[4];
        std::size_t count = 0;
        std::size_t i = 0;
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
        while (i < line.size()) {
            while (i < line.size() && blank(line[i])) ++i;
            if (i == line.size())
                break;
            std::size_t j = i;
            while (j < line.size() && !blank(line[j])) ++j;
            const char c = line[i];
            const bool number = (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-';
            if (count >= 2 && count <= std::size(words) && !number) {
                // A unit after a blank belongs to the number before it.
                const std::size_t from = static_cast<std::size_t>(words[count - 1].data() - line.data());
                words[count - 1] = line.substr(from, j - from);
            } else {
                if (count < std::size(words))
                    words[count] = line.substr(i, j - i);
                ++count;
            }
            i = j;
        }
        if (count == 0)
            continue;
        const std::string label = std::string(file) + ": line " + std::to_string(n);
        if (count < 2 || count > 3)
            bad(label, line, "a layer is MATERIAL THICKNESS [DENSITY], separated by blanks");
        layers.push_back(layer_of(label, line, words[0], words[1], words[2], count == 3,
                                  "MATERIAL THICKNESS DENSITY"));
    }
    if (layers.empty())
        throw Bad(std::string(file) + ": no layer (one a line: MATERIAL THICKNESS [DENSITY])");
    return layers;
}

namespace {

// One value of a row: a number, a whole number, a text, or nothing.
struct Cell {
    enum Kind { none, num, whole, str } kind = none;
    float f = 0;
    long long i = 0;
    std::string s;
};
Cell num(float x) {
    return std::isfinite(x) ? Cell{Cell::num, x, 0, {}} : Cell{};
}
Cell whole(long long i) {
    return Cell{Cell::whole, 0, i, {}};
}
Cell str(std::string_view s) {
    return Cell{Cell::str, 0, 0, std::string(s)};
}

void quote(std::string& out, std::string_view s, Format f) {
    if (f == Format::json)
        json_text(out, s);
    else if (f == Format::csv)
        csv_text(out, s);
    else
        out.append(s);
}

void put(std::string& out, const Cell& c, Format f) {
    if (c.kind == Cell::num)
        shortest(out, c.f);
    else if (c.kind == Cell::whole)
        out.append(std::to_string(c.i));
    else if (c.kind == Cell::str)
        quote(out, c.s, f);
    else if (f == Format::json)
        out.append("null");
    else if (f == Format::text)
        out.push_back('-');
}

// Text columns: the widest float, the key, and for the texts the widest of
// the run.
std::size_t width(std::string_view key, std::size_t widest) {
    return text_width(key, key == "material" || key == "particle" ? widest : 0);
}

// The columns of a stack's rows. The first three name the stack and are not
// repeated inside a JSON stack's rows.
constexpr std::string_view stack_keys[] = {"stack",
                                           "particle",
                                           "mass_gev_c2",
                                           "layer",
                                           "material",
                                           "density_g_cm3",
                                           "thickness_cm",
                                           "thickness_g_cm2",
                                           "thickness_x0",
                                           "momentum_in_gev_c",
                                           "kinetic_energy_in_mev",
                                           "momentum_out_gev_c",
                                           "kinetic_energy_out_mev",
                                           "mean_loss_mev",
                                           "radiative_loss_mev",
                                           "energy_spread_mev",
                                           "stop_depth_cm",
                                           "range_straggling_cm",
                                           "omega0",
                                           "moliere_b",
                                           "theta_1e_mrad",
                                           "displacement_1e_mm",
                                           "interaction_length_cm",
                                           "absorption_share",
                                           "interaction_prob",
                                           "absorption_prob",
                                           "slices"};
constexpr std::size_t stack_head = 3;

constexpr std::string_view range_keys[] = {
    "particle",      "mass_gev_c2", "momentum_gev_c", "kinetic_energy_mev", "material",
    "density_g_cm3", "range_g_cm2", "range_cm",       "range_straggling_cm"};

void warn(std::string& w, std::string_view s) {
    if (!w.empty())
        w.append("; ");
    w.append(s);
}

// The text of a length with its unit, for a warning.
std::string cm_text(float cm) {
    std::string s;
    shortest(s, cm);
    return s + " cm";
}

// The cells and warnings of one row (a layer, or the total when l is null).
// probs: the interaction probabilities through this row hold a layer whose
// interaction length is its own (not all of them beyond 1e25 cm).
void row_cells(const stack::Row& r, std::size_t index, const StackLayer* l, bool electron,
               bool stops, bool probs, Cell* k, std::string& w) {
    std::size_t i = stack_head;
    k[i++] = l ? whole(static_cast<long long>(index + 1)) : str("total");
    k[i++] = l ? str(l->material) : Cell{};
    k[i++] = l ? num(l->layer.rho) : Cell{};
    k[i++] = num(l ? l->layer.length : r.depth);
    k[i++] = num(l ? l->layer.length * l->layer.rho : r.depth_g);
    k[i++] = num(r.t_rad);
    k[i++] = num(r.p_in);
    k[i++] = num(r.t_in * 1000.0f);
    k[i++] = r.exits ? num(r.p_out) : Cell{};
    k[i++] = r.exits ? num(r.t_out * 1000.0f) : Cell{};
    k[i++] = num(r.mean_loss * 1000.0f);
    k[i++] = electron ? num(r.radiative_loss * 1000.0f) : Cell{};
    k[i++] = r.exits ? num(r.spread * 1000.0f) : Cell{};
    k[i++] = stops ? num(r.depth) : Cell{};
    k[i++] = stops ? num(r.straggling) : Cell{};
    k[i++] = num(r.ms.omeg0);
    k[i++] = r.ms.applicable ? num(r.ms.b) : Cell{};
    k[i++] = r.ms.applicable ? num(r.ms.se * 1000.0f) : Cell{};
    k[i++] = r.ms.applicable ? num(r.ms.sye * 10.0f) : Cell{};
    const bool swamped = r.lambda > swamped_lambda;
    k[i++] = r.nuclear && l && !swamped ? num(r.lambda) : Cell{};
    k[i++] = r.nuclear && l && !swamped ? num(r.share) : Cell{};
    k[i++] = r.nuclear && probs ? num(r.p_int) : Cell{};
    k[i++] = r.nuclear && probs ? num(r.p_abs) : Cell{};
    k[i++] = whole(r.slices);
    if (!r.ms.applicable) {
        std::string s = "Moliere theory is not applicable: only ";
        shortest(s, r.ms.omeg0);
        warn(w, s + " Rutherford scatters (5 or more needed)");
    }
    if (r.ms.applicable && r.ms.se > 1.0f && std::isfinite(r.ms.se * 1000.0f)) {
        std::string s = "1/e angle ";
        shortest(s, r.ms.se * 1000.0f);
        warn(w, s + " mrad is above 1 rad: the small-angle formulas do not hold");
    }
    if (l && r.nuclear && r.lambda > swamped_lambda)
        warn(w, std::string("interaction length above 1e25 cm: the sums' start of 1e-30 per cm "
                            "is not negligible, interaction length and absorption share left "
                            "out") +
                    (probs ? "" : ", and the probabilities through it"));
    else if (!l && r.nuclear && !probs)
        warn(w, "every interaction length above 1e25 cm: the probabilities left out");
    if (l && r.left_out > 0)
        warn(w, std::to_string(r.left_out) +
                    " element(s) without an absorption cross section for this siga: left out of "
                    "the nuclear interaction");
}

}  // namespace

namespace {

// A header line of text or CSV.
void header(std::string& out, std::span<const std::string_view> keys, Format f,
            std::size_t widest) {
    if (f == Format::json)
        return;
    std::size_t start = out.size();
    for (const std::string_view key : keys) {
        if (out.size() > start)
            out.push_back(f == Format::csv ? ',' : ' ');
        const std::size_t at = out.size();
        out.append(key);
        if (f == Format::text)
            out.append(width(key, widest) - (out.size() - at), ' ');
    }
    out.append(f == Format::csv ? ",warnings\n" : " warnings\n");
}

// A row of text or CSV.
void flat(std::string& out, std::span<const std::string_view> keys, const Cell* k,
          const std::string& w, Format f, std::size_t widest) {
    for (std::size_t j = 0; j < keys.size(); ++j) {
        if (j > 0)
            out.push_back(f == Format::csv ? ',' : ' ');
        const std::size_t at = out.size();
        put(out, k[j], f);
        if (f == Format::text && out.size() - at < width(keys[j], widest))
            out.append(width(keys[j], widest) - (out.size() - at), ' ');
    }
    out.push_back(f == Format::csv ? ',' : ' ');
    quote(out, w, f);
    while (f == Format::text && out.back() == ' ') out.pop_back();
    out.push_back('\n');
}

// Warnings separated by "; " as a JSON list.
void json_list(std::string& out, std::string_view w) {
    out.push_back('[');
    for (bool first = true; !w.empty(); first = false) {
        const std::size_t sep = w.find("; ");
        if (!first)
            out.push_back(',');
        quote(out, w.substr(0, sep), Format::json);
        if (sep == std::string_view::npos)
            break;
        w.remove_prefix(sep + 2);
    }
    out.push_back(']');
}

// The keys from `from` on with their cells, and the warnings, as one object.
void json_object(std::string& out, std::span<const std::string_view> keys, const Cell* k,
                 std::size_t from, const std::string& w) {
    out.push_back('{');
    for (std::size_t j = from; j < keys.size(); ++j) {
        if (j > from)
            out.push_back(',');
        quote(out, keys[j], Format::json);
        out.push_back(':');
        put(out, k[j], Format::json);
    }
    out.append(",\"warnings\":");
    json_list(out, w);
    out.push_back('}');
}

}  // namespace

StackPlan plan_stacks(const StackOptions& s, const Options& o, std::string_view file_text) {
    StackPlan plan;
    const bool is_stack = !s.layers.empty() || !s.file.empty();
    if (!is_stack && !s.range)
        throw Bad(std::string(s.no_slowing ? "--no-slowing" : "--step") +
                  ": goes with a stack (--layer or --stack) or --range");
    if (!s.layers.empty() && !s.file.empty())
        bad("--stack", s.file, "give the layers with --layer or with --stack, not both");
    if (s.range && is_stack)
        throw Bad("--range: a range is for one material (--material), not for a stack");
    if (is_stack) {
        const char* why = "a stack takes its materials and thicknesses from --layer or --stack";
        if (o.material)
            bad("--material", *o.material, why);
        if (o.density)
            bad("--density", *o.density, why);
        if (o.thickness)
            bad("--thickness", *o.thickness, why);
        if (o.fill)
            bad("--fill", *o.fill, why);
    } else {
        if (o.thickness)
            bad("--thickness", *o.thickness, "a range needs no thickness (the layer is thick)");
        if (o.fill)
            bad("--fill", *o.fill, "a range needs no fill (the layer is thick)");
        if (s.no_slowing)
            throw Bad("--no-slowing: a range follows the slowing down");
    }
    if (o.scan && std::string_view(*o.scan).starts_with("thickness"))
        bad("--scan", *o.scan, "a stack or range scans momentum or kinetic-energy only");
    plan.range = s.range;

    plan.options.slowing = !s.no_slowing;
    if (!s.step.empty()) {
        double x = 0;
        if (!number(s.step, x) || !(f32(x) >= stack::min_step && f32(x) <= stack::max_step))
            bad("--step", s.step,
                "the largest mean loss of a slice as a fraction of its kinetic energy, from 0.0001 "
                "to 0.02");
        plan.options.step = f32(x);
    }

    for (const std::string& text : s.layers) plan.layers.push_back(layer_option("--layer", text));
    if (!s.file.empty())
        plan.layers = stack_file(s.file, file_text);

    // The particle and the momenta as for a single case, through the same
    // reading: the layer options stand in for material and thickness.
    Options po = o;
    if (is_stack)
        po.material = "water";
    po.thickness = "1";
    plan.setup = resolve(po);
    const Setup& st = plan.setup;
    plan.particle = stack::Particle{st.mass, !st.siga_missing, st.siga, st.sige};
    plan.electron = physics::is_electron(st.mass);
    plan.name = st.particle ? std::string(st.particle->name) : std::string();
    plan.widest = std::max(plan.name.size(), st.material.name.size());
    for (const StackLayer& l : plan.layers) {
        plan.engine.push_back(l.layer);
        plan.widest = std::max(plan.widest, l.material.size());
    }
    return plan;
}

void stack_header(std::string& out, const StackPlan& plan, Format f) {
    if (plan.range)
        header(out, range_keys, f, plan.widest);
    else
        header(out, stack_keys, f, plan.widest);
}

bool stack_rows(std::string& out, const StackPlan& plan, std::size_t n, Format f,
                const stack::Profile& profile) {
    const Case c = plan.setup.at(n);
    if (plan.range) {
        const Setup& st = plan.setup;
        const stack::Layer thick{st.material.elements, st.rho, 0.0f};
        const stack::Range g = stack::range(plan.particle, c.p0, thick, plan.options.step);
        Cell k[std::size(range_keys)];
        std::size_t i = 0;
        k[i++] = plan.name.empty() ? Cell{} : str(plan.name);
        k[i++] = num(st.mass);
        k[i++] = num(c.p0);
        // Below zero only by rounding, for a momentum far below the mass.
        k[i++] = num(std::max(physics::kinematics(c.p0, st.mass).tf, 0.0f) * 1000.0f);
        k[i++] = str(st.material.name);
        k[i++] = num(st.rho);
        k[i++] = g.stops ? num(g.g_cm2) : Cell{};
        k[i++] = g.stops ? num(g.cm) : Cell{};
        k[i++] = g.stops ? num(g.straggling) : Cell{};
        std::string w;
        const float tc = stack::cutoff(st.mass);
        if (g.stops && physics::kinematics(c.p0, st.mass).tf <= tc) {
            std::string s = "at or below the cut-off of beta gamma 0.03 (";
            shortest(s, tc * 1000.0f);
            warn(w, s + " MeV): the range is 0");
        }
        if (!g.stops)
            warn(w, "the mean loss could not be followed to the end of the range");
        else if (!std::isfinite(g.cm) || !std::isfinite(g.straggling))
            warn(w, "the range in cm is beyond single precision at this density");
        if (f == Format::json) {
            json_object(out, range_keys, k, 0, w);
            out.push_back('\n');
        } else {
            flat(out, range_keys, k, w, f, plan.widest);
        }
        return g.stops;
    }

    const stack::Result res = stack::run(plan.particle, c.p0, plan.engine, plan.options, profile);
    Cell k[std::size(stack_keys)];
    k[0] = whole(static_cast<long long>(n + 1));
    k[1] = plan.name.empty() ? Cell{} : str(plan.name);
    k[2] = num(plan.setup.mass);
    std::string stack_warnings;
    if (!plan.particle.nuclear)
        warn(stack_warnings, "no nuclear section: no absorption cross section" +
                                 (plan.name.empty() ? std::string() : " for " + plan.name) +
                                 " (give --siga)");
    const std::string where = std::to_string(res.layers.size());
    if (res.stops)
        warn(stack_warnings, "stops in layer " + where + " at " + cm_text(res.layers.back().depth) +
                                 " into it, " + cm_text(res.total.depth) + " from the entrance");
    if (res.failure == stack::Failure::no_loss)
        warn(stack_warnings, "the mean-loss formula gives no positive loss in layer " + where +
                                 ": not carried further");
    if (res.failure == stack::Failure::out_of_range)
        warn(stack_warnings,
             "a momentum above 1e16 GeV/c is beyond the single-precision "
             "formulas: nothing computed");
    if (res.failure == stack::Failure::stalled)
        warn(stack_warnings, "a slice in layer " + where +
                                 " loses no energy in single precision: not carried "
                                 "further");
    if (res.failure == stack::Failure::too_dense)
        warn(stack_warnings, "the nuclear formulas leave single precision in layer " + where +
                                 " (density too large): not carried further");
    if (res.failure == stack::Failure::overflow)
        warn(stack_warnings, "a number of layer " + where +
                                 " leaves single precision (shown as missing)" +
                                 (res.stops ? "" : ": not carried further"));
    if (res.failure == stack::Failure::too_many_slices)
        warn(stack_warnings, "too many slices in layer " + where + ": not carried further");
    if (f == Format::json) {
        out.push_back('{');
        for (std::size_t j = 0; j < stack_head; ++j) {
            if (j > 0)
                out.push_back(',');
            quote(out, stack_keys[j], f);
            out.push_back(':');
            put(out, k[j], f);
        }
        out.append(",\"momentum_gev_c\":");
        shortest(out, c.p0);
        out.append(",\"step\":");
        shortest(out, plan.options.step);
        out.append(plan.options.slowing ? ",\"slowing\":true" : ",\"slowing\":false");
        out.append(res.stops ? ",\"stops\":true" : ",\"stops\":false");
        out.append(",\"layers\":[");
    }
    bool own = false;  // a layer so far whose interaction length is its own
    for (std::size_t i = 0; i <= res.layers.size(); ++i) {
        const bool total = i == res.layers.size();
        const stack::Row& r = total ? res.total : res.layers[i];
        const bool here = res.stops && (total || i + 1 == res.layers.size());
        own = own || (!total && r.nuclear && r.slices > 0 && !(r.lambda > swamped_lambda));
        std::string w;
        row_cells(r, i, total ? nullptr : &plan.layers[i], plan.electron, here, own, k, w);
        if (res.failure == stack::Failure::out_of_range) {
            w.clear();
            for (std::size_t j = stack_head + 1; j < std::size(stack_keys); ++j) k[j] = Cell{};
        } else if (res.failure != stack::Failure::none && r.slices == 0) {
            // Not a slice of this row was computed (a layer too dense for
            // the nuclear formulas, met first): what the slices would give is
            // missing, not zero. What the layer is, and the entrance, stay.
            w.clear();
            for (std::size_t j = 0; j < std::size(stack_keys); ++j) {
                const std::string_view key = stack_keys[j];
                if (j > stack_head + 4 && !key.ends_with("_in_gev_c") && !key.ends_with("_in_mev") &&
                    key != "slices")
                    k[j] = Cell{};
            }
        }
        if (here && !total)
            warn(w, "stops at " + cm_text(r.depth) + " into this layer, nothing after it");
        if (f == Format::json) {
            // The stack's own warnings go once, with the stack.
            if (total)
                out.append("],\"total\":");
            else if (i > 0)
                out.push_back(',');
            json_object(out, stack_keys, k, stack_head, w);
        } else {
            if (total && !stack_warnings.empty())
                warn(w, stack_warnings);
            flat(out, stack_keys, k, w, f, plan.widest);
        }
    }
    if (f == Format::json) {
        out.append(",\"warnings\":");
        json_list(out, stack_warnings);
        out.append("}\n");
    }
    return res.failure == stack::Failure::none;
}

int run_stacks(const StackOptions& s, const StackRun& run, Out& out) {
    const StackPlan plan = plan_stacks(
        s, run.o,
        s.file.empty()
            ? std::string()
            : read_input("--stack", s.file, "one layer a line, or - for standard input"));
    std::optional<PlotData> data;
    if (!run.plot.empty()) {
        if (plan.range)
            bad("--plot", run.plot, "a range has no plot (plot a stack, or a scan)");
        if (plan.setup.size() != 1)
            bad("--plot", run.plot,
                "a stack's plot is for one entrance momentum, not a list or scan");
        check_plot(run.plot);
        data.emplace();
    }
    std::string text;
    stack_header(text, plan, run.format);
    for (std::size_t n = 0; n < plan.setup.size(); ++n) {
        stack_rows(text, plan, n, run.format);
        out.put(text);
        text.clear();
    }
    out.flush();
    if (data) {
        // The curves from a run with at least 200 slices a layer; the rows
        // above keep the slices of the step alone.
        stack::Options fine = plan.options;
        fine.min_slices = 200;
        std::FILE* points = data->file();
        bool angle = false;
        const stack::Profile profile = [&](const stack::Point& p) {
            // A point past the end of single precision is left out.
            if (!std::isfinite(p.depth) || !std::isfinite(p.t * 1000.0f))
                return;
            std::fprintf(points, "%.9g %.9g", static_cast<double>(p.depth),
                         static_cast<double>(p.t * 1000.0f));
            if (p.ms.applicable && std::isfinite(p.ms.se * 1000.0f)) {
                std::fprintf(points, " %.9g\n", static_cast<double>(p.ms.se * 1000.0f));
                angle = true;
            } else
                std::fprintf(points, " ?\n");
        };
        (void)stack::run(plan.particle, plan.setup.at(0).p0, plan.engine, fine, profile);
        // Without an angle anywhere (Moliere theory not applicable, as the
        // rows say) the energy is drawn alone.
        std::vector<std::string> ys{"kinetic energy (MeV)"};
        if (angle)
            ys.emplace_back("1/e scattering angle (mrad)");
        data->draw(run.plot, "depth (cm)", ys, false);
    }
    return 0;
}

}  // namespace zefrin::table
