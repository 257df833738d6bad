// Nuclear interaction: absorption and elastic scattering on the nuclei.
#pragma once

namespace zefrin {

// Start of every report: the accumulators of the section are reset.
void nuclear_reset();

// Per element that takes part: absorption and elastic cross sections and
// coefficients, RMS elastic angle. Needs A from enrg0. Writes only warnings.
void nuclear_elements();

// Closing: the Atom lines, the total interaction length (cm, or m above
// 999 cm) with the absorption probability, and a line of dots.
void nuclear_close();

}  // namespace zefrin
