// The constants of the material mixture for one report.
#pragma once

namespace zefrin {

// Computes, from the elements of the shared record that take part (positive
// proportion and a row in the tables), the screening angle chia (rad), the
// sum a3 of prop Z/A (mol/g), the weighted ln of the excitation energy a4,
// a5 = ln(p0/mass), the inverse radiation length rad (cm2/g) and the
// density-effect correction delta. Writes A of each element taking part and
// nothing else of the record. e0 is carried but not read. Needs at least one
// element that takes part.
void enrg0(float& chia, float& a3, float& a4, float& a5, float& rad, float& delta,
           const float& mass, const float& p0, const float& e0, const float& bta0);

}  // namespace zefrin
