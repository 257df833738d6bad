#!/usr/bin/env python3
"""Independent checks of the stack engine: the calculator's mean loss and
Bohr variance integrated in double precision with a fourth-order
Runge-Kutta march in depth (no slices, no single precision, no midpoint).

Prints the numbers that tests/stack/stack_test.cpp takes as expected values:
proton CSDA ranges in water (to the cut-off at beta gamma = 0.03), a range
straggling, an exit energy with its spread, and where a proton stops in a
water-aluminium stack.
"""

import math

MP = 0.93827208816  # GeV/c2, proton
AT = {1: 1.008, 6: 12.01, 7: 14.01, 8: 16.0, 13: 26.98, 14: 28.09, 18: 39.94}
EION = {1: 19.0, 6: 79.0, 7: 86.0, 8: 99.0, 13: 162.0, 14: 159.0, 18: 180.0}
# Sternheimer class parameters (C-bar, a, m, X1, X0) of the classes used.
CLASSES = {1: (2.83, 0.413, 2.82, 2.0, -0.1), 2: (3.18, 0.509, 2.67, 2.0, -0.05),
           3: (4.21, 0.091, 3.51, 3.0, 0.05)}


def klass(z):
    return 1 if z <= 4 else 2 if z <= 9 else 3 if z <= 21 else None


class Material:
    def __init__(self, elements, rho):
        self.rho = rho
        b3 = [(p * z / AT[z], z) for z, p in elements]
        self.a3 = sum(b for b, _ in b3)
        self.a4 = sum(b * math.log(EION[z]) for b, z in b3) / self.a3
        par = [sum(b * CLASSES[klass(z)][k] for b, z in b3) / self.a3 for k in range(5)]
        self.ec, self.ea, self.em, self.ex1, self.ex0 = par

    def delta(self, p, m):
        a5 = math.log(p / m)
        x = a5 * 0.4343
        if x >= self.ex1:
            return 2 * a5 - self.ec
        if x > self.ex0:
            return 2 * a5 - self.ec + self.ea * (self.ex1 - x) ** self.em
        return 0.0

    def rates(self, t, m):
        """Mean loss (GeV/cm) and Bohr variance per cm (GeV2/cm) at t."""
        e = t + m
        p = math.sqrt(t * (t + 2 * m))
        b2 = (p / e) ** 2
        xi = self.a3 * 0.0001536 * self.rho / b2
        qmax = p * p * 0.00102 / (m * m + 2.6e-7 + e * 0.00102)
        bracket = 2 * math.log(p / m) + 13.84 - self.a4 - b2 - 0.5 * self.delta(p, m)
        return 2 * xi * bracket, (1 - 0.5 * b2) * xi * qmax


def cutoff(m):
    return m * (math.sqrt(1 + 0.03 ** 2) - 1)


def march(mat, t, m, length, v=0.0, h=1e-4):
    """Carries (t, residual-range variance v) through length cm, or to the
    cut-off. Returns (t, v, depth, stopped)."""
    tc = cutoff(m)
    x = 0.0

    def f(tt):
        s, r = mat.rates(max(tt, tc), m)
        return -s, r / (s * s)

    while x < length:
        dx = min(h, length - x)
        k1 = f(t)
        k2 = f(t + 0.5 * dx * k1[0])
        k3 = f(t + 0.5 * dx * k2[0])
        k4 = f(t + dx * k3[0])
        dt = dx / 6 * (k1[0] + 2 * k2[0] + 2 * k3[0] + k4[0])
        dv = dx / 6 * (k1[1] + 2 * k2[1] + 2 * k3[1] + k4[1])
        if t + dt <= tc:
            # Last bit to the cut-off, at the local rate.
            frac = (t - tc) / -dt
            return tc, v + frac * dv, x + frac * dx, True
        t, v, x = t + dt, v + dv, x + dx
    return t, v, x, False


def main():
    w = 2 * AT[1] / (2 * AT[1] + AT[8])
    water = Material([(1, w), (8, 1 - w)], 1.0)
    for mev in (10, 50, 100, 150, 200):
        h = 1e-5 if mev == 10 else 1e-3
        _, v, depth, _ = march(water, mev * 1e-3, MP, 1e9, h=h)
        print(f"range water {mev:3d} MeV: {depth:.6f} g/cm2, straggling {math.sqrt(v):.6f} cm")
    t, v, _, _ = march(water, 0.2, MP, 20.0, h=1e-3)
    s, _ = water.rates(t, MP)
    print(f"200 MeV p, 20 cm water: exit {t * 1e3:.5f} MeV, spread {math.sqrt(v) * s * 1e3:.5f} MeV")
    al = Material([(13, 1.0)], 2.699)
    t, v, _, _ = march(water, 0.01, MP, 0.1, h=1e-6)
    s, _ = water.rates(t, MP)
    sigma2 = v * s * s
    s_al, _ = al.rates(t, MP)
    t2, v2, depth, stopped = march(al, t, MP, 1.0, v=sigma2 / s_al ** 2, h=1e-7)
    print(f"10 MeV p, 1 mm water: exit {t * 1e3:.5f} MeV; then stops in Al at {depth * 1e4:.4f} um"
          f" ({stopped}), depth straggling {math.sqrt(v2) * 1e4:.4f} um")


if __name__ == "__main__":
    main()
