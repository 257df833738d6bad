// Multiple scattering after Moliere.
#pragma once

namespace zefrin {

// The characteristic angle chic (rad) of the layer, summed over the elements
// that take part, with the particle's kinematics in the centre-of-mass frame
// of each nucleus. Reads the shared record and e0, bta0; writes nothing else.
float chisum(float e0, float bta0);

// The section body: number of Rutherford scatters, the applicability test
// with its warning, and the result line (1/e angle, 1/e displacement,
// thickness t in radiation lengths, Moliere's B).
void moliere(float chic, float chia, float rad);

}  // namespace zefrin
