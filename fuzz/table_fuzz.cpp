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
#include "table/write.hpp"

namespace {

using namespace zefrin::table;

void check(bool ok) {
    if (!ok) __builtin_trap();
}

void cases_of(const Setup& s) {
    check(!s.material.elements.empty());
    for (const auto& el : s.material.elements) check(el.Z >= 1.0f && el.Z <= 92.0f && el.prop > 0.0f);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    // Up to the line "--", one option value a line; after it, a case file.
    const std::size_t split = in.find("\n--\n");
    std::string_view opts = in.substr(0, split);
    const std::string_view file = split == std::string_view::npos ? std::string_view() : in.substr(split + 4);
    Options o;
    for (const std::string_view name : Options::names) {
        const std::size_t nl = opts.find('\n');
        const std::string_view value = opts.substr(0, nl);
        if (!value.empty()) *o.find(name) = std::string(value);
        if (nl == std::string_view::npos) break;
        opts.remove_prefix(nl + 1);
    }
    try {
        if (split == std::string_view::npos)
            cases_of(resolve(o));
        else
            each_row("fuzz.csv", file, o, cases_of);
    } catch (const Bad& e) {
        const std::string_view m = e.what();
        check(!m.empty() && m.find('\n') == std::string_view::npos);
    }
    return 0;
}
