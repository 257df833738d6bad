// One case of the table program: its inputs, and every value of the report
// computed by the same formulas as the dialogue's report.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "energyloss/straggling.hpp"
#include "material/constants.hpp"
#include "passage/angles.hpp"
#include "passage/interaction.hpp"
#include "passage/kinematics.hpp"

namespace zefrin::table {

// The inputs of one case, in the calculation's units. All positive except
// sige (negative: derived from A); siga 0 means no nuclear section.
struct Case {
    std::string_view particle;  // name, or empty for a bare --mass
    float mass;                 // GeV/c2
    float siga;                 // mb
    float sige;                 // mb
    float p0;                   // GeV/c
    std::string_view material;  // as given
    std::span<const physics::Element> elements;
    float rho;     // g/cm3
    float length;  // cm
    float frac;    // fraction of the length covered
};

// The nuclear part of one element: absent when the absorption fit gives no
// cross section for this siga.
struct Atom {
    physics::Nucleus n;
    float pdi;  // interaction probability
};

struct Values {
    physics::Kinematics k;
    physics::Mixture m;  // m.rad is the inverse radiation length, cm2/g
    float t;             // thickness in radiation lengths
    float chic;          // rad
    physics::Moliere mol;
    physics::Loss loss;
    float radlos;  // GeV
    bool nuclear;  // siga > 0
    physics::Interaction x;
    std::vector<Atom> atoms;  // one per element, when nuclear
};

// Fills v for case c (v.atoms is reused, so a scan allocates once).
void evaluate(const Case& c, Values& v);

}  // namespace zefrin::table
