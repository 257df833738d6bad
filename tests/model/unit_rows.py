#!/usr/bin/env python3
"""Finds the boundary inputs of the unit tests and prints their expected lines.

    unit_rows.py

The energy-loss regimes change at g = 10 and g = 0.1 and the warnings at
dedx = 0.1 tf and dedx = tf, all compared in single precision; a layer that
lands exactly on such a value is found here by walking the length one float
at a time (with the model's arithmetic), and the neighbour on the other side
is the next float that changes the comparison.  Likewise for omeg0 = 5 in
multiple scattering and for an interaction length of exactly 999 cm.  The
lengths are printed as hexadecimal float literals and the lines as the model
writes them; tests/energyloss and tests/passage hold the result.
"""

import os
import struct
import sys

sys.dont_write_bytecode = True  # leave no cache in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zefrin_model as M  # noqa: E402

f, C = M.f, M.C


def bits(x):
    return struct.unpack("<I", struct.pack("<f", x))[0]


def flt(b):
    return struct.unpack("<f", struct.pack("<I", b))[0]


def step(x, k):
    return flt(bits(x) + k)


def hexf(x):
    """A C++ hexadecimal float literal of x."""
    if x == 0.0:
        return "0.0f"
    m, e = x.hex().split("p")
    return "%sp%sf" % (m.rstrip("0").rstrip(".") if "." in m else m, e)


# The layer of the energy-loss rows: a3 and a4 of copper-like matter, a
# proton of total energy 1.6 GeV, rho 8.96; only the length (and frac) vary.
A3, A4, DELTA = C("0.45"), M.flog(C(330)), 0.0
MASS, E0, RHO = C("0.9382796"), C("1.6"), C("8.96")


def quantities(length):
    rec = M.Rec()
    rec.length, rec.rho, rec.frac = length, RHO, 1.0
    pf = M.fsqrt(f(f(E0 * E0) - f(MASS * MASS)))
    btaf = M.fdiv(pf, E0)
    ac = M.fdiv(f(f(f(A3 * C("0.0001536")) * length) * RHO), f(btaf * btaf))
    qmax = M.fdiv(f(f(pf * pf) * C("0.00102")),
                  f(f(f(MASS * MASS) + C("2.6e-7")) + f(E0 * C("0.00102"))))
    r = f(f(f(1.0 - f(f(0.5 * btaf) * btaf)) * ac) * qmax)
    g = M.fdiv(r, f(qmax * qmax))
    a5 = M.flog(M.fdiv(pf, MASS))
    s = f(f(f(f(f(a5 + C("13.84")) - A4) - f(btaf * btaf)) - f(0.5 * DELTA)) + a5)
    dedx = f(f(2.0 * ac) * s)
    tf = f(E0 - MASS)
    return g, dedx, tf


def land(key, target, guess):
    """The float length nearest guess with key(length) == target exactly."""
    for k in range(0, 20000):
        for L in (step(guess, k), step(guess, -k)):
            if key(L) == target:
                return L
    raise SystemExit("no length lands on %r" % target)


def cross(L, pred, direction):
    """From L, the first float in the given direction for which pred holds."""
    while not pred(L):
        L = step(L, direction)
    return L


def enrg1_text(length, frac):
    out = M.Out()
    rec = M.Rec()
    rec.length, rec.rho, rec.frac = length, RHO, frac
    M.enrg1(out, rec, A3, A4, 0.0, DELTA, MASS, E0)
    return "".join(out.term)


def energy_loss_rows():
    g1 = quantities(1.0)[0]
    tf = quantities(1.0)[2]
    tenth = f(C("0.1") * tf)
    rows = []
    g10 = land(lambda L: quantities(L)[0], C(10), f(10 / g1))
    rows.append(("g = 10: Gaussian", g10, 1.0))
    rows.append(("g just below 10: Landau, lx = 100", cross(g10, lambda L: quantities(L)[0] < 10, -1), 1.0))
    g01 = land(lambda L: quantities(L)[0], C("0.1"), f(0.1 / g1))
    rows.append(("g = 0.1: Landau, no subdivision warning", g01, 1.0))
    rows.append(("g just above 0.1: lx = 2",
                 cross(g01, lambda L: quantities(L)[0] > C("0.1"), 1), 1.0))
    rows.append(("g = 0.37: lx = 4, truncated", f(0.37 / g1), 1.0))
    per = quantities(1.0)[1]
    d01 = land(lambda L: quantities(L)[1], tenth, f(float(tenth) / per))
    rows.append(("dedx = 0.1 tf: no ten-percent warning", d01, 1.0))
    rows.append(("dedx just above 0.1 tf: ncorr = 2",
                 cross(d01, lambda L: quantities(L)[1] > tenth, 1), 1.0))
    rows.append(("dedx = 0.45 tf: ncorr = 5", f(0.45 * float(tf) / per), 1.0))
    dtf = land(lambda L: quantities(L)[1], tf, f(float(tf) / per))
    rows.append(("dedx just below tf: ten-percent warning, ncorr = 10",
                 cross(dtf, lambda L: quantities(L)[1] < tf, -1), 1.0))
    rows.append(("dedx = tf, frac = 1: full-layer line, ncor = 2", dtf, 1.0))
    rows.append(("dedx = tf, frac just below 1: partial-layer line", dtf, step(1.0, -1)))
    rows.append(("dedx = 2.34 tf, frac = 1: ncor = 3, ncorr = 24", f(2.34 * float(tf) / per), 1.0))
    for what, L, frac in rows:
        g, dedx, tf_ = quantities(L)
        print("    // g = %r, dedx / tf = %r" % (g, dedx / tf_))
        print("    {\"%s\", %s, %s,\n     %s}," % (what, hexf(L), hexf(frac), cpp_text(enrg1_text(L, frac))))


def cpp_text(text):
    return "\n     ".join('"%s\\n"' % ln for ln in text.rstrip("\n").split("\n"))


def moliere_rows():
    chia = C("0.001")
    rows = []

    def omeg0(chic):
        q = M.fdiv(chic, chia)
        return f(q * q)

    five = land(omeg0, C(5), C("0.0022360680"))
    rows.append(("omeg0 = 5: the theory applies", five))
    rows.append(("omeg0 just below 5: not applicable", cross(five, lambda c: omeg0(c) < 5, -1)))
    rows.append(("omeg0 = 1", C("0.001")))
    length, rad = C("2.5"), C("0.125")
    for what, chic in rows:
        out = M.Out()
        rec = M.Rec()
        rec.length = length
        M.moliere(out, rec, chic, chia, rad)
        print("    // omeg0 = %r" % omeg0(chic))
        print("    {\"%s\", %s,\n     %s}," % (what, hexf(chic), cpp_text("".join(out.term))))


def lit(text):
    """A C++ float literal of a decimal as typed."""
    text = str(text)
    return (text if "." in text else text + ".0") + "f"


def nuclear_rows():
    """The nuclear section alone: rho, siga, sige, p0, then (Z, prop, A) x 3."""
    cases = [
        ("copper, built-in", "8.96", "31", "-1", "1.206", [(29, 1, "63.54"), (0, 0, 0), (0, 0, 0)]),
        ("hydrogen at rho 0.01: metres", "0.01", "31", "-1", "1.206",
         [(1, 1, "1.008"), (0, 0, 0), (0, 0, 0)]),
        ("siga not positive: nothing", "8.96", "-1", "-1", "1.206",
         [(29, 1, "63.54"), (0, 0, 0), (0, 0, 0)]),
        ("siga 33: ab.cs = 44 A^0.69", "8.96", "33", "-1", "1.206",
         [(29, 1, "63.54"), (0, 0, 0), (0, 0, 0)]),
        ("sige 250 for every element", "1", "31", "250", "1.206",
         [(29, "0.5", "63.54"), (8, "0.5", "16"), (0, 0, 0)]),
        ("A = 70: 47 A^0.82 - 42 A^0.67", "8.96", "31", "-1", "1.206",
         [(31, 1, "70"), (0, 0, 0), (0, 0, 0)]),
        ("A above 70: 47 A^0.67", "8.96", "31", "-1", "1.206",
         [(31, 1, "0x1.180002p+6"), (0, 0, 0), (0, 0, 0)]),
        ("siga 5 on hydrogen: no absorption, atom left out", "8.96", "5", "-1", "1.206",
         [(1, 1, "1.008"), (6, 1, "12.01"), (0, 0, 0)]),
        ("only element 3, earlier A of element 1 kept", "8.96", "31", "-1", "1.206",
         [(29, -1, "63.54"), (0, 0, 0), (13, 1, "26.98")]),
        ("999 cm: centimetres", "0.05", "31", "0x1.526bf6p+10", "1.206",
         [(29, 1, "63.54"), (0, 0, 0), (0, 0, 0)]),
        ("just above 999 cm: metres", "0.05", "31", "0x1.526bf4p+10", "1.206",
         [(29, 1, "63.54"), (0, 0, 0), (0, 0, 0)]),
    ]

    def val(text):
        return f(float.fromhex(text)) if str(text).startswith("0x") else C(text)

    def cl(text):
        return str(text) + "f" if str(text).startswith("0x") else lit(text)

    for what, rho, siga, sige, p0, els in cases:
        rec = M.Rec()
        rec.rho, rec.siga, rec.sige, rec.p0 = val(rho), val(siga), val(sige), val(p0)
        for i, (z, p, a) in enumerate(els):
            rec.Z[i], rec.prop[i], rec.A[i] = C(z), C(p), val(a)
        nuc = M.Nuclear()
        nuc.reset()
        out = M.Out()
        nuc.elements(out, rec)
        nuc.close(out, rec)
        print("    {\"%s\", %s, %s, %s, %s, {%s}, {%s}, {%s},\n     %s}," % (
            what, cl(rho), cl(siga), cl(sige), cl(p0), ", ".join(lit(z) for z, p, a in els),
            ", ".join(lit(p) for z, p, a in els), ", ".join(cl(a) for z, p, a in els),
            cpp_text("".join(out.term))))


def mixture_rows():
    """enrg0 for the cases of tests/material: mass, p0, then (Z, prop) x 3."""
    cases = [
        ("proton in copper, built-in", "0.9382796", "1.206", [(29, 1), (0, 0), (0, 0)]),
        ("electron in copper, p0 0.01", "0.00051", "0.01", [(29, 1), (0, 0), (0, 0)]),
        ("electron in copper, p0 1", "0.00051", "1", [(29, 1), (0, 0), (0, 0)]),
        ("proton in water", "0.9382796", "1.206", [(1, "0.111"), (8, "0.889"), (0, 0)]),
        ("Z 29.9 uses row 29", "0.9382796", "1.206", [("29.9", 1), (0, 0), (0, 0)]),
        ("lead, only element 3", "0.13957", "10", [(29, -1), (0, 0), (82, "0.5")]),
    ]
    for what, mass, p0, els in cases:
        rec = M.Rec()
        rec.mass, rec.p0 = C(mass), C(p0)
        for i, (z, p) in enumerate(els):
            rec.Z[i], rec.prop[i] = C(z), C(p)
        rec.e0 = M.fsqrt(f(f(rec.p0 * rec.p0) + f(rec.mass * rec.mass)))
        rec.bta0 = M.fdiv(rec.p0, rec.e0)
        chia, a3, a4, a5, rad, delta = M.enrg0(rec)
        print("    {\"%s\", %s, %s, {%s}, {%s},\n     {%s}, %s, %s, %s, %s, %s, %s}," % (
            what, lit(mass), lit(p0), ", ".join(lit(z) for z, p in els),
            ", ".join(lit(p) for z, p in els), ", ".join(hexf(a) for a in rec.A),
            hexf(chia), hexf(a3), hexf(a4), hexf(a5), hexf(rad), hexf(delta)))


if __name__ == "__main__":
    print("// enrg0: chia, a3, a4, a5, rad, delta")
    mixture_rows()
    print("// nuclear: rho, siga, sige, p0, Z, prop, A")
    nuclear_rows()
    print("// energy loss: a3 0.45, a4 ln 330, delta 0, mass 0.9382796, e0 1.6, rho 8.96")
    energy_loss_rows()
    print("// moliere: chia 0.001, length 2.5 cm, rad 0.125")
    moliere_rows()
