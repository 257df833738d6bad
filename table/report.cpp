// The dialogue's report, by the dialogue's own setup(), its lines captured.
#include "table/report.hpp"

#include <cassert>

#include "passage/setup.hpp"
#include "session/record.hpp"
#include "session/units.hpp"

namespace zefrin::table {

void report(const Case& c, std::string& out) {
    assert(!c.elements.empty() && c.elements.size() <= 3);
    PassageInput& in = input;
    in = PassageInput{};
    in.length = c.length;
    in.frac = c.frac;
    in.rho = c.rho;
    for (std::size_t i = 0; i < c.elements.size() && i < 3; ++i) {
        in.Z[i] = c.elements[i].Z;
        in.prop[i] = c.elements[i].prop;
    }
    in.mass = c.mass;
    // No absorption cross section: the dialogue's negative siga.
    in.siga = c.siga > 0.0f ? c.siga : -1.0f;
    in.sige = c.sige;
    in.p0 = c.p0;
    units::Capture lines;
    units::capture(&lines);
    setup();
    units::capture(nullptr);
    out.append(lines.terminal);
}

}  // namespace zefrin::table
