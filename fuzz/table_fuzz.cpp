// Fuzzes the table program's inputs: any bytes as option values (one per
// line, in the order of Options::names) and as a case file on top of them.
// Bad input must come back as Bad, and good input as a case whose values are
// in range, whose every column can be written, and whose report builds.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "table/cases.hpp"
#include "table/evaluate.hpp"
#include "table/report.hpp"
#include "table/stacks.hpp"
#include "table/write.hpp"

namespace {

using namespace zefrin::table;

void check(bool ok) {
    if (!ok)
        __builtin_trap();
}

void cases_of(const Setup& s) {
    check(!s.material.elements.empty());
    for (const auto& el : s.material.elements)
        check(el.Z >= 1.0f && el.Z <= 92.0f && el.prop > 0.0f);
    check(s.mass > 0.0f && s.rho > 0.0f && s.frac > 0.0f && s.frac <= 1.0f);
    Values v;
    std::string w;
    const std::size_t n = s.size();
    for (std::size_t k = 0; k < n && k < 3; ++k) {
        const Case c = s.at(n - 1 - k);
        check(c.p0 > 0.0f && c.length > 0.0f);
        evaluate(c, v);
        warnings(c, v, w);
        for (std::size_t j = 0; j < case_column_count; ++j)
            (void)column_value(case_columns[j].key, c, v);
        if (c.elements.size() <= 3) {
            std::string r;
            report(c, r);
            check(r.size() % 81 == 0);
        }
    }
}

// No cell of text, CSV or JSON reads nan or inf.
bool no_nan(std::string_view out) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= out.size(); ++i) {
        if (i < out.size() && std::string_view(" ,:[]{}\n").find(out[i]) == std::string_view::npos)
            continue;
        const std::string_view cell = out.substr(start, i - start);
        if (cell == "nan" || cell == "-nan" || cell == "inf" || cell == "-inf") return false;
        start = i + 1;
    }
    return true;
}

// Stacks: a stack file for the particle and momenta of the options. Every
// format's rows build without nan or inf; no number of a run, with or
// without slowing, is nan, inf or negative; a particle that stops does so in
// the last row, and every layer before it lets it out.
void stacks_of(const Options& o, std::string_view file) {
    StackOptions so;
    so.file = "fuzz.stack";
    Options po = o;
    po.material.reset(), po.density.reset(), po.thickness.reset(), po.fill.reset();
    const StackPlan plan = plan_stacks(so, po, file);
    std::string out;
    for (std::size_t n = 0; n < plan.setup.size() && n < 2; ++n) {
        for (const Format f : {Format::text, Format::csv, Format::json}) {
            out.clear();
            stack_header(out, plan, f);
            stack_rows(out, plan, n, f);
            check(no_nan(out));
        }
        for (const bool slowing : {true, false}) {
            zefrin::stack::Options opts = plan.options;
            opts.slowing = slowing;
            const auto r = zefrin::stack::run(plan.particle, plan.setup.at(n).p0, plan.engine, opts);
            check(r.layers.size() <= plan.engine.size());
            // Only an overflow leaves a number infinite, and only in the row
            // where it happened and the total.
            const bool overflow = r.failure == zefrin::stack::Failure::overflow;
            check(!overflow || !zefrin::stack::finite(r.layers.back()) ||
                  !zefrin::stack::finite(r.total));
            for (std::size_t i = 0; i <= r.layers.size(); ++i) {
                const zefrin::stack::Row& w = i == r.layers.size() ? r.total : r.layers[i];
                const bool may = overflow && i + 1 >= r.layers.size();
                for (const float x : {w.p_in, w.t_in, w.p_out, w.t_out, w.depth, w.depth_g,
                                      w.mean_loss, w.radiative_loss, w.t_rad, w.spread,
                                      w.straggling, w.ms.omeg0, w.ms.b, w.ms.se, w.ms.sye, w.p_int,
                                      w.p_abs})
                    check((std::isfinite(x) || (may && std::isinf(x))) && !(x < 0.0f));
                check(w.t_out <= w.t_in);
                if (i + 1 < r.layers.size()) check(w.exits);
            }
            check(!r.stops || !r.layers.back().exits);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    // Up to the line "--", one option value a line; after it, a case file.
    // Or after a line "==", a stack file.
    const std::size_t stack = in.find("\n==\n");
    const std::size_t split = stack == std::string_view::npos ? in.find("\n--\n") : stack;
    std::string_view opts = in.substr(0, split);
    const std::string_view file =
        split == std::string_view::npos ? std::string_view() : in.substr(split + 4);
    Options o;
    for (const std::string_view name : Options::names) {
        const std::size_t nl = opts.find('\n');
        const std::string_view value = opts.substr(0, nl);
        if (!value.empty())
            *o.find(name) = std::string(value);
        if (nl == std::string_view::npos)
            break;
        opts.remove_prefix(nl + 1);
    }
    try {
        if (stack != std::string_view::npos)
            stacks_of(o, file);
        else if (split == std::string_view::npos)
            cases_of(resolve(o));
        else
            each_row("fuzz.csv", file, o, cases_of);
    } catch (const Bad& e) {
        const std::string_view m = e.what();
        check(!m.empty() && m.find('\n') == std::string_view::npos);
    }
    return 0;
}
