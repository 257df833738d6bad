// The collision energy-loss distribution of the layer.
#pragma once

namespace zefrin {

// Writes the body of the energy-loss section: Gaussian or Landau regime, most
// probable loss, width and mean loss (MeV), and the warnings that advise
// dividing the layer. a3, a4, delta as left by enrg0; rad the thickness in
// radiation lengths (not used); mass in GeV/c2; e0 in GeV. Reads length,
// frac and rho of the shared record; changes nothing.
void enrg1(const float& a3, const float& a4, const float& rad, const float& delta,
           const float& mass, const float& e0);

}  // namespace zefrin
