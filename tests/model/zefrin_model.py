#!/usr/bin/env python3
"""A second, independent zefrin: one whole session worked out in Python.

Every intermediate is a single-precision value: each + - * / is done in
double and rounded once to float (exact for these operations), and sqrt,
exp, log and pow are taken in double on float operands and then rounded to
float.  Lines are built by an Fw.d / Iw writer that converts the exact
binary value with decimal arithmetic, ties to even.

Usage as a program:
    zefrin_model.py SESSION.in OUT LOG
reads the typed answers from SESSION.in and writes the terminal text to OUT
and the log to LOG.  As a module: session(text) -> (terminal, log).
"""

import copy
import math
import struct
import sys
from decimal import Context, Decimal, ROUND_HALF_EVEN

# ---------------------------------------------------------------- float32

# Half an ulp above the largest float: from here on (ties to even included,
# the largest float having an odd significand) a double rounds to infinity.
_F32_OVERFLOW = float.fromhex("0x1.ffffffp127")
INF = float("inf")
NAN = float("nan")


def f(x):
    """Round a double to the nearest float (ties to even), with overflow."""
    if x != x:
        return x
    if x >= _F32_OVERFLOW:
        return INF
    if x <= -_F32_OVERFLOW:
        return -INF
    return struct.unpack("<f", struct.pack("<f", x))[0]


def C(x):
    """A single-precision constant written as a decimal literal."""
    return f(float(x))


def fdiv(a, b):
    """a / b in float, by IEEE rules also for a zero divisor."""
    if b == 0.0:
        if a != a or a == 0.0:
            return NAN
        return math.copysign(INF, a) * math.copysign(1.0, b)
    return f(a / b)


def fsqrt(x):
    if x != x:
        return x
    if x < 0.0:
        return NAN
    return f(math.sqrt(x))


def fexp(x):
    if x != x:
        return x
    try:
        return f(math.exp(x))
    except OverflowError:
        return INF


def flog(x):
    if x != x:
        return x
    if x == 0.0:
        return -INF
    if x < 0.0:
        return NAN
    return f(math.log(x))


def fpow(x, y):
    """C's pow on two floats, rounded to float."""
    if x != x or y != y:
        if y == 0.0:
            return 1.0
        if x == 1.0:
            return 1.0
        return NAN
    try:
        return f(math.pow(x, y))
    except OverflowError:
        return INF if (x > 0.0 or float(y).is_integer() and int(y) % 2 == 0) else -INF
    except ValueError:
        if x == 0.0 and y < 0.0:
            return INF
        return NAN


def isfinite(x):
    return not (math.isinf(x) or math.isnan(x))


def to_int32(x):
    """Float to 32-bit integer: truncation toward zero, saturating; NaN is 0."""
    if x != x:
        return 0
    if x >= 2147483647.0:
        return 2147483647
    if x <= -2147483648.0:
        return -2147483648
    return int(x)  # int() truncates toward zero


# ---------------------------------------------------------------- writer


def edit_f(x, w, d):
    """Fw.d of a float x."""
    if not isfinite(x):
        return "*" * w
    neg = math.copysign(1.0, x) < 0 and x != 0.0
    # Every float is a short exact decimal: 200 digits hold any of them.
    q = Decimal(abs(x)).quantize(Decimal(1).scaleb(-d), rounding=ROUND_HALF_EVEN,
                                 context=Context(prec=200))
    text = "{:f}".format(q)
    if "." not in text and d > 0:
        text += "." + "0" * d
    if text.startswith("."):
        text = "0" + text
    if neg and set(text) <= set("0."):
        neg = False
    n = len(text) + (1 if neg else 0)
    if n > w and n == w + 1 and text.startswith("0."):
        text = text[1:]
        n -= 1
    if n > w:
        return "*" * w
    return " " * (w - n) + ("-" if neg else "") + text


def edit_i(v, w):
    """Iw of a 32-bit integer v."""
    text = str(abs(v))
    n = len(text) + (1 if v < 0 else 0)
    if n > w:
        return "*" * w
    return " " * (w - n) + ("-" if v < 0 else "") + text


def fmt(items, *values):
    """Builds a line from items: str literal, ('F', w, d), ('I', w)."""
    out = []
    vals = list(values)
    for it in items:
        if isinstance(it, str):
            out.append(it)
        elif it[0] == "F":
            out.append(edit_f(vals.pop(0), it[1], it[2]))
        else:
            out.append(edit_i(vals.pop(0), it[1]))
    assert not vals, "more values than edit descriptors"
    return "".join(out)


def F(w, d):
    return ("F", w, d)


def I(w):
    return ("I", w)


STAR = " " + "*" * 79
DOTS = " " + "." * 79

# ---------------------------------------------------------------- reader


class BadEntry(Exception):
    pass


def read_fields(line, n):
    """The n values of a line of fixed 10-column number fields (nF10.1)."""
    values = []
    pos = 0
    for _ in range(n):
        field = []
        k = 0
        while k < 10 and pos < len(line):
            ch = line[pos]
            pos += 1
            if ch == ",":
                break
            field.append(ch)
            k += 1
        values.append(read_number("".join(field)))
    return values


def read_number(field):
    s = field.replace(" ", "")
    for ch in s:
        if ch not in "0123456789+-.EeDd":
            raise BadEntry(field)
    if not any(c.isdigit() for c in s):
        if s in ("", "+", "-", ".", "+.", "-."):
            return 0.0
        raise BadEntry(field)
    i = 0
    sign = ""
    if i < len(s) and s[i] in "+-":
        sign = s[i]
        i += 1
    digits = ""
    point = None
    while i < len(s) and (s[i].isdigit() or (s[i] == "." and point is None)):
        if s[i] == ".":
            point = len(digits)
        else:
            digits += s[i]
        i += 1
    if not digits:
        raise BadEntry(field)
    exp = 0
    if i < len(s):
        if s[i] in "EeDd":
            i += 1
        elif s[i] not in "+-":
            raise BadEntry(field)
        rest = s[i:]
        if not rest or not (rest.lstrip("+-").isdigit()) or len(rest) - len(rest.lstrip("+-")) > 1:
            raise BadEntry(field)
        exp = int(rest)
    # No point: the last digit is the first decimal.
    scale = (point - len(digits)) if point is not None else -1
    text = "%s%se%d" % (sign, digits, scale + exp)
    try:
        d = float(text)
    except OverflowError:
        d = -INF if sign == "-" else INF
    return f(d)


def selftest():
    """The writer's and the reader's worked cases, typed by hand."""
    cases_f = [(0.5, 7, 3, "  0.500"), (-0.5, 7, 3, " -0.500"), (0.5, 4, 3, ".500"),
               (-0.5, 5, 3, "-.500"), (-0.5, 4, 3, "****"), (12.5, 4, 1, "12.5"),
               (-12.5, 4, 1, "****"), (1e6, 7, 1, "*******"), (-1e-5, 7, 4, " 0.0000"),
               (-0.0, 7, 3, "  0.000"), (9.96, 4, 1, "10.0"), (29.0, 5, 1, " 29.0"),
               (1.0, 7, 4, " 1.0000"), (0.125, 5, 2, " 0.12"), (100.0, 7, 2, " 100.00"),
               (INF, 6, 1, "******"), (NAN, 5, 2, "*****")]
    for x, w, d, want in cases_f:
        got = edit_f(f(x), w, d)
        assert got == want, ("F%d.%d" % (w, d), x, got, want)
    for v, w, want in [(5, 3, "  5"), (-12, 3, "-12"), (-123, 3, "***"), (0, 1, "0")]:
        assert edit_i(v, w) == want, (v, w)
    cases_r = [("29", 2.9), ("5", 0.5), ("100", 10.0), ("29.", 29.0), ("0.938", 0.938),
               ("1 5.", 15.0), ("15E2", 150.0), ("1.5E2", 150.0), ("1.5-3", 1.5e-3),
               ("1.5d 3", 1500.0), ("", 0.0), ("  -  ", 0.0), (".", 0.0), ("1E-50", 0.0),
               ("1E99", INF)]
    for text, want in cases_r:
        assert read_number(text) == f(want), (text, read_number(text))
    assert read_fields("0.938,31.,-1.", 3) == [f(0.938), 31.0, -1.0]
    assert read_fields("0.01 29 1", 7) == [f(0.01291)] + [0.0] * 6
    assert read_fields("          29", 2) == [0.0, f(2.9)]
    for bad in ("q", "1\t", "N"):
        try:
            read_number(bad)
        except BadEntry:
            continue
        raise AssertionError("not a bad entry: %r" % bad)


# ---------------------------------------------------------------- tables

EION = [0, 19, 42, 47, 63, 75, 79, 86, 99, 119, 135, 141, 149, 162, 159, 169, 179, 170,
        180, 189, 195, 215, 228, 237, 257, 275, 284, 304, 314, 330, 323, 335, 323, 355,
        343, 339, 347, 350, 353, 365, 382, 391, 393, 416, 429, 436, 456, 470, 466, 479,
        512, 492, 491, 452, 459, 485, 486, 494, 513, 520, 540, 537, 546, 547, 567, 577,
        578, 612, 583, 629, 637, 655, 663, 682, 695, 714, 727, 744, 760, 742, 768, 765,
        761, 763, 765, 762, 733, 762, 760, 768, 776, 807, 808]
AT = [0, "1.008", "4.003", "6.94", "9.013", "10.82", "12.01", "14.01", "16", "19",
      "20.18", "22.99", "24.32", "26.98", "28.09", "30.98", "32.07", "35.46", "39.94",
      "39.1", "40.08", "44.96", "47.9", "50.95", "52.01", "54.94", "55.85", "58.94",
      "58.69", "63.54", "65.38", "69.72", "72.6", "74.91", "78.96", "79.92", "83.8",
      "85.48", "87.63", "88.92", "91.22", "92.91", "95.95", "99", "101.1", "102.9",
      "106.7", "107.9", "112.4", "114.8", "118.7", "121.8", "127.6", "126.9", "131.3",
      "132.9", "137.4", "138.9", "140.1", "140.9", "144.3", "145", "150.4", "152",
      "156.9", "158.9", "162.5", "164.9", "167.2", "168.9", "173", "175", "178.6", "181",
      "183.9", "186.3", "190.2", "192.2", "195.2", "197", "200.6", "204.4", "207.2",
      "209", "210", "210", "222", "223", "226", "227", "232", "231", "238.1"]
assert len(EION) == 93 and len(AT) == 93
EION = [C(v) for v in EION]
AT = [C(v) for v in AT]
# Density-effect classes 1..7: C-bar, a, m, X1, X0.
CE = [0, C("2.83"), C("3.18"), C("4.21"), C("4.38"), C("5.09"), C("6.16"), C("5.89")]
CA = [0, C("0.413"), C("0.509"), C("0.091"), C("0.107"), C("0.183"), C("0.344"), C("0.318")]
CM = [0, C("2.82"), C("2.67"), C("3.51"), C("3.39"), C("3.05"), C("2.66"), C("2.66")]
CX1 = [0, C(2), C(2), C(3), C(3), C(3), C(3), C(3)]
CX0 = [0, C("-0.1"), C("-0.05"), C("0.05"), C("0.17"), C("0.02"), C("0.39"), C("0.2")]


def element_class(iz):
    ie = 1
    if iz > 4:
        ie = 2
    if iz > 9:
        ie = 3
    if iz > 21:
        ie = 4
    if iz > 38:
        ie = 5
    if iz > 65:
        ie = 6
    if iz > 87:
        ie = 7
    return ie


def in_tables(z):
    return z >= 1.0 and z < 93.0


# ---------------------------------------------------------------- report


class Rec:
    """The shared record; lengths in cm inside a report."""

    def __init__(self):
        self.length = 0.0
        self.frac = 0.0
        self.rho = 0.0
        self.prop = [0.0, 0.0, 0.0]
        self.Z = [0.0, 0.0, 0.0]
        self.A = [0.0, 0.0, 0.0]
        self.mass = 0.0
        self.siga = 0.0
        self.sige = 0.0
        self.p0 = 0.0

    def takes_part(self, i):
        return self.prop[i] > 0.0 and in_tables(self.Z[i])


class Out:
    def __init__(self):
        self.term = []
        self.log = []

    def both(self, text):
        assert len(text) == 80, (len(text), text)
        self.term.append(text + "\n")
        self.log.append(text + "\n")

    def log_only(self, text):
        self.log.append(text + "\n")

    def terminal(self, text):
        self.term.append(text)


def enrg0(rec):
    """Mixture constants: (chia, a3, a4, a5, rad, delta); fills rec.A."""
    rad = C("1e-30")
    chia = a3 = a4 = 0.0
    ec = ea = em = ex1 = ex0 = 0.0
    mass, p0 = rec.mass, rec.p0
    bta0 = rec.bta0
    for i in range(3):
        if not rec.takes_part(i):
            continue
        z = rec.Z[i]
        p = rec.prop[i]
        iz = to_int32(z)
        a = AT[iz]
        rec.A[i] = a
        t = f(z * C("0.0014"))
        t = f(t * f(z + 1.0))
        t = f(t * flog(fdiv(183.0, fpow(z, C("0.33333")))))
        t = f(t * p)
        dv = fdiv(z, 82.0)
        dv = f(dv * dv)
        dv = f(dv * C("0.12"))
        dv = f(dv + 1.0)
        dv = f(dv * a)
        rad = f(rad + fdiv(t, dv))
        b3 = fdiv(f(p * z), a)
        a3 = f(a3 + b3)
        a4 = f(a4 + f(flog(EION[iz]) * b3))
        ie = element_class(iz)
        ec = f(ec + f(CE[ie] * b3))
        ea = f(ea + f(CA[ie] * b3))
        em = f(em + f(CM[ie] * b3))
        ex1 = f(ex1 + f(CX1[ie] * b3))
        ex0 = f(ex0 + f(CX0[ie] * b3))
        alpha = fdiv(z, f(bta0 * 137.0))
        r0 = fdiv(C("4.68e-9"), fpow(z, C("0.333333")))
        v0 = fdiv(C("1.97327e-14"), f(p0 * r0))
        chia = f(chia + f(f(p * v0) * fsqrt(f(f(f(alpha * alpha) * C("3.44")) + C("0.59")))))
    a4 = fdiv(a4, a3)
    a5 = flog(fdiv(p0, mass))
    ec = fdiv(ec, a3)
    ea = fdiv(ea, a3)
    em = fdiv(em, a3)
    ex1 = fdiv(ex1, a3)
    ex0 = fdiv(ex0, a3)
    x = f(a5 * C("0.4343"))
    if x < ex1:
        ea = f(fpow(f(ex1 - x), em) * ea)
    delta = 0.0
    if x > ex0:
        delta = f(f(f(a5 + a5) - ec) + ea)
    if x >= ex1:
        delta = f(f(a5 + a5) - ec)
    return chia, a3, a4, a5, rad, delta


# True only to rebuild the reports of the first releases (the scan test).
OLD_ORDER = False


def chisum(rec):
    """Characteristic angle chic (rad) over the elements that take part."""
    mass, p0, e0, bta0 = rec.mass, rec.p0, rec.e0, rec.bta0
    chic = 0.0
    for i in range(3):
        if not rec.takes_part(i) or not rec.A[i] > 0.0:
            continue
        a = rec.A[i]
        rmt = f(a * C("0.938256"))
        denom = fsqrt(f(f(f(mass * mass) + f(rmt * rmt)) + f(f(e0 + e0) * rmt)))
        epslon = fdiv(f(f(f(e0 + e0) + rmt) + fdiv(f(mass * mass), rmt)), denom)
        betacm = fdiv(p0, f(fsqrt(f(f(p0 * p0) + f(mass * mass))) + rmt))
        betpcm = fdiv(f(bta0 - betacm), f(1.0 - f(betacm * bta0)))
        pfcm = fdiv(f(mass * betpcm), fsqrt(f(1.0 - f(betpcm * betpcm))))
        num = f(f(f(rec.prop[i] * C("0.000396")) * rec.Z[i]) *
                fsqrt(fdiv(f(rec.rho * rec.length), a)))
        if OLD_ORDER:
            # The order of the first releases, kept to show that every report
            # of a slower particle is unchanged: pfcm x betpcm x epslon, and
            # p0 x betpcm where pfcm overflows.
            den = f(f(pfcm * betpcm) * epslon) if isfinite(pfcm) else f(p0 * betpcm)
        elif bta0 >= C("0.999"):
            # The particle's velocity in the centre-of-mass frame,
            # p0 rmt / (mass^2 + e0 rmt), and p0 for pfcm x epslon: no
            # difference of two numbers near 1 in single precision.
            bst = fdiv(f(p0 * rmt), f(f(mass * mass) + f(e0 * rmt)))
            den = f(p0 * bst)
        else:
            den = f(f(pfcm * betpcm) * epslon)
        chic = f(chic + fdiv(num, den))
    return chic


def moliere(out, rec, chic, chia, rad):
    omeg0 = fdiv(chic, chia)
    omeg0 = f(omeg0 * omeg0)
    if omeg0 < 5.0:
        se = sye = 0.0
        b = 1.0
        out.both(STAR)
        out.both(fmt([" Number of Rutherford scatters is only ", F(5, 2),
                      ";  Moliere theory is not applicable."], omeg0))
        out.both(STAR)
    else:
        lo = flog(omeg0)
        b = f(fdiv(f(lo * C("2.583")), C("2.3026")) + C("1.153"))
        by = f(fdiv(f(lo * C("2.096")), C("2.3026")) + C("1.153"))
        se = f(fsqrt(f(f(b * C("1.007")) - C("1.33"))) * chic)
        sye = fdiv(f(f(fsqrt(f(f(by * C("1.007")) - C("1.33"))) * chic) * rec.length),
                   C("1.7321"))
    out.both(fmt([" 1/e sc.ang =", F(8, 3), " mr, 1/e disp =", F(7, 4), " mm, t (rad.leng) =",
                  F(7, 3), ", B =", F(6, 2)], f(se * 1000.0), f(sye * 10.0), rad, b))


def enrg1(out, rec, a3, a4, rad, delta, mass, e0):
    length, rho, frac = rec.length, rec.rho, rec.frac
    pf = fsqrt(f(f(e0 * e0) - f(mass * mass)))
    a5 = flog(fdiv(pf, mass))
    btaf = fdiv(pf, e0)
    ac = fdiv(f(f(f(a3 * C("0.0001536")) * length) * rho), f(btaf * btaf))
    qmax = fdiv(f(f(pf * pf) * C("0.00102")),
                f(f(f(mass * mass) + C("2.6e-7")) + f(e0 * C("0.00102"))))
    r = f(f(f(1.0 - f(f(0.5 * btaf) * btaf)) * ac) * qmax)
    g = fdiv(r, f(qmax * qmax))
    b2 = f(btaf * btaf)

    def mean():
        s = f(a5 + C("13.84"))
        s = f(s - a4)
        s = f(s - b2)
        s = f(s - f(0.5 * delta))
        s = f(s + a5)
        return f(f(2.0 * ac) * s)

    if g >= 10.0:
        enloss = mean()
        delt = fsqrt(f(f(length * r) * rho))
        w = f(C("2.4") * delt)
        iflage = 1
    else:
        s = f(f(2.0 * a5) + C("34.92"))
        s = f(s - f(2.0 * a4))
        s = f(s + flog(ac))
        s = f(s - b2)
        s = f(s - delta)
        enloss = f(ac * s)
        delt = f(C("1.48") * ac)
        w = f(C("2.9") * delt)
        iflage = 2
        lx = to_int32(f(f(10.0 * g) + 1.0))
        if g > C("0.1"):
            out.both(STAR)
            out.both(fmt([" Landau  <  Energy loss distribution  <  Gauss:", " divide into", I(3),
                          " smaller elements."], lx))
            out.both(STAR)
    dedx = mean()
    tf = f(e0 - mass)
    if dedx >= tf:
        ncor = to_int32(f(fdiv(dedx, tf) + 1.0))
        ncorr = to_int32(f(fdiv(dedx, f(C("0.1") * tf)) + 1.0))
        out.both(STAR)
        if frac < 1.0:
            out.both(fmt([" Energy loss would be", F(7, 1), " MeV > entrance kinetic energy =",
                          F(7, 1), " MeV........."], f(dedx * 1000.0), f(tf * 1000.0)))
        else:
            out.both(fmt([" Energy loss >= kinetic energy,  divide into", I(3), ", better into",
                          I(3), " smaller regions."], ncor, ncorr))
        out.both(STAR)
        return
    if dedx > f(C("0.1") * tf):
        ncorr = to_int32(f(fdiv(dedx, f(C("0.1") * tf)) + 1.0))
        out.both(STAR)
        out.both(fmt([" Energy loss  >  10% of entrance kinetic energy,", " divide into", I(3),
                      " smaller regions."], ncorr))
        out.both(STAR)
    if not (enloss > 0.0 and dedx > 0.0):
        # Below the range of the Bethe and Landau formulas: no result.
        out.both(STAR)
        out.both(" Energy loss formulas give a loss <= 0 here: energy or thickness too small " +
                 "." * 5)
        out.both(STAR)
        return
    head = " *Gauss*   prob. energy loss =" if iflage == 1 else " *Landau*  prob. energy loss ="
    out.both(fmt([head, F(7, 3), ", width =", F(7, 3), ", average loss =", F(7, 3), " MeV"],
                 f(enloss * 1000.0), f(w * 1000.0), f(dedx * 1000.0)))


class Nuclear:
    def __init__(self):
        self.simot = [0.0] * 3
        self.simet = [0.0] * 3
        self.dilam = [0.0] * 3
        self.as_ = [0.0] * 3
        self.al = 0.0
        self.tlam = 0.0

    def reset(self):
        self.dilam = [0.0] * 3
        self.as_ = [0.0] * 3
        self.al = 0.0
        self.tlam = fdiv(1.0, C("1.0e30"))

    def elements(self, out, rec):
        siga, sige, rho, p0 = rec.siga, rec.sige, rec.rho, rec.p0
        if siga <= 0.0:
            return
        for i in range(3):
            self.simot[i] = 0.0
            self.simet[i] = 0.0
            if not rec.takes_part(i):
                continue
            a = rec.A[i]
            p = rec.prop[i]
            s = f(siga - 33.0)
            t = f(fpow(a, C("0.36")) * s)
            t = f(t * f(C("0.039") - f(s * C("0.0009"))))
            t = f(fpow(a, C("0.69")) + t)
            sim = f(44.0 * t)
            if not sim > 0.0:
                out.both(STAR)
                out.both(fmt([" Atom", I(1), ": siga =", F(7, 1),
                              " mb gives no absorption cross section: atom left out ", "." * 6],
                             i + 1, siga))
                out.both(STAR)
                continue
            alam = fdiv(f(f(f(sim * C("6.03")) * rho) * p), a)
            alam = f(alam * C("0.0001"))
            self.al = f(self.al + alam)
            self.simot[i] = sim
            if sige >= 0.0:
                sime = sige
            elif a <= 70.0:
                sime = f(f(47.0 * fpow(a, C("0.82"))) - f(42.0 * fpow(a, C("0.67"))))
            else:
                sime = f(47.0 * fpow(a, C("0.67")))
            self.simet[i] = sime
            self.dilam[i] = fdiv(f(alam * sime), sim)
            q = fdiv(C("0.1396"), p0)
            q = f(f(q * q) * 3.0)
            self.as_[i] = fsqrt(fdiv(q, fpow(a, C("0.67"))))
            self.tlam = f(f(self.tlam + alam) + self.dilam[i])

    def close(self, out, rec):
        tl = f(self.tlam - self.al)
        self.al = fdiv(self.al, self.tlam)
        for i in range(3):
            pdi = fdiv(self.dilam[i], tl)
            if rec.sige != 0.0 and rec.rho > 0.0 and pdi > 0.0:
                out.both(fmt([" Atom", I(1), ": int.prob =", F(6, 3), ", RMS.ang =", F(6, 1),
                              " mr, el.cs =", F(6, 1), " mb, ab.cs =", F(6, 1), " mb"],
                             i + 1, pdi, f(self.as_[i] * 1000.0), self.simet[i], self.simot[i]))
        self.tlam = fdiv(1.0, self.tlam)
        if self.tlam > 999.0:
            out.both(fmt([" Total interaction length =", F(7, 1),
                          " m, ........... absorbtion probability =", F(6, 3)],
                         fdiv(self.tlam, 100.0), self.al))
        else:
            out.both(fmt([" Total interaction length =", F(7, 3),
                          " cm, .......... absorbtion probability =", F(6, 3)],
                         self.tlam, self.al))
        out.both(DOTS)


class Passage:
    """The passage driver with its session-long saved values."""

    def __init__(self):
        self.icount = 0
        self.nuc = Nuclear()

    def setup(self, out, rec):
        mass, p0 = rec.mass, rec.p0
        e0 = fsqrt(f(f(p0 * p0) + f(mass * mass)))
        bta0 = fdiv(p0, e0)
        tf = f(e0 - mass)
        rec.e0, rec.bta0 = e0, bta0
        if self.icount > 0 and self.icount % 3 == 0:
            out.log_only("1")
        else:
            out.log_only("0")
        self.icount += 1
        out.both(DOTS)
        out.both(fmt([F(7, 2), " % of length =", F(8, 4), " cm covered by material with",
                      " density =", F(7, 3), " g/cm3"], f(rec.frac * 100.0), rec.length, rec.rho))
        out.both(fmt([" Entr. energy =", F(7, 1), " MeV, Composition of material:  Z1 =", F(5, 1),
                      ",  prop1 =", F(7, 4)], f(tf * 1000.0), rec.Z[0], rec.prop[0]))
        for i in (1, 2):
            if rec.prop[i] > 0.0:
                out.both(fmt([" ", "." * 51, "  Z%d =" % (i + 1), F(5, 1),
                              ",  prop%d =" % (i + 1), F(7, 4)], rec.Z[i], rec.prop[i]))
        # Elements with a positive proportion but no row in the tables.
        for i in range(3):
            if rec.prop[i] > 0.0 and not in_tables(rec.Z[i]):
                out.both(STAR)
                out.both(fmt([" Z", I(1), " =", F(5, 1),
                              " has no row in the element tables (Z from 1 to 92): left out ",
                              "." * 9], i + 1, rec.Z[i]))
                out.both(STAR)
        material = any(rec.takes_part(i) for i in range(3))
        if not material:
            out.both(STAR)
            out.both(" No element with a positive proportion and a Z from 1 to 92: no material "
                     + "." * 7)
            out.both(STAR)
        moving = mass > 0.0 and p0 > 0.0
        if not moving:
            out.both(STAR)
            out.both(" Mass and momentum must be positive: no passage calculated " + "." * 21)
            out.both(STAR)
        out.both(DOTS)
        self.nuc.reset()
        if not rec.length > 0.0:
            return
        if not moving:
            return
        if rec.rho > 0.0 and material:
            chia, a3, a4, a5, rad, delta = enrg0(rec)
            chic = chisum(rec)
            rad = f(f(rec.rho * rad) * rec.length)
            radlos = f(fsqrt(f(f(p0 * p0) + f(mass * mass))) * f(1.0 - fexp(-rad)))
            q = fdiv(C("0.00051"), mass)
            radlos = f(f(q * q) * radlos)
            out.both(" ......................... Moliere angular"
                     "distribution .........................")
            moliere(out, rec, chic, chia, rad)
            out.both(DOTS)
            out.both(" ........................... Energy loss"
                     "distribution ...........................")
            enrg1(out, rec, a3, a4, rad, delta, mass, e0)
            if not mass > C("0.00052"):
                out.both(fmt([" Radiative energy loss =", F(7, 1), " MeV ", "." * 44],
                             f(radlos * 1000.0)))
            out.both(DOTS)
            out.both(" ....................... Nuclear interaction"
                     "distribution .......................")
            self.nuc.elements(out, rec)
        self.nuc.close(out, rec)


# ---------------------------------------------------------------- session

PROMPT1 = "Enter: mass (GeV/c2), siga (mb), sige (mb) "
PROMPT2 = "Enter: p0 (GeV/c), rho (g/cm3), frac ( <=1 ) "
PROMPT3 = "Enter: length (m), Z1, prop1, Z2, prop2, Z3, prop3 "
PROMPT4 = " continue [Y/N] ? "


class EndOfInput(Exception):
    pass


def session(text, on_report=None):
    """Runs a whole session on the typed text; returns (terminal, log).

    on_report, if given, is called after each report with a copy of the
    record (length in cm) and the report's lines as written to the log.
    """
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    it = iter(lines)

    def answer():
        try:
            return next(it)
        except StopIteration:
            raise EndOfInput("end of input: the model covers sessions that end with n")

    out = Out()
    rec = Rec()
    drv = Passage()
    # Remembered values; the length in metres.
    rms0x, sigax, sigex = C("0.9382796"), C(31), C(-1)
    p0x, rhox, fracx = C("1.206"), C("8.96"), C(1)
    tx = C("0.01")
    zx = [C(29), 0.0, 0.0]
    px = [C(1), 0.0, 0.0]

    def keep(v, old):
        return old if v == 0.0 else v

    while True:
        out.terminal("  \n")
        out.terminal(PROMPT1)
        try:
            mass, siga, sige = read_fields(answer(), 3)
        except BadEntry:
            break
        rec.mass, rec.siga, rec.sige = keep(mass, rms0x), keep(siga, sigax), keep(sige, sigex)
        out.terminal(PROMPT2)
        p0, rho, frac = read_fields(answer(), 3)
        rec.p0, rec.rho, rec.frac = keep(p0, p0x), keep(rho, rhox), keep(frac, fracx)
        out.terminal(PROMPT3)
        v = read_fields(answer(), 7)
        rec.length = keep(v[0], tx)
        for i in range(3):
            rec.Z[i] = keep(v[1 + 2 * i], zx[i])
            rec.prop[i] = keep(v[2 + 2 * i], px[i])
        rec.length = f(rec.length * 100.0)
        first = len(out.log)
        drv.setup(out, rec)
        if on_report is not None:
            on_report(copy.deepcopy(rec), [ln.rstrip("\n") for ln in out.log[first:]])
        rms0x, sigax, sigex = rec.mass, rec.siga, rec.sige
        p0x, rhox, fracx = rec.p0, rec.rho, rec.frac
        zx = list(rec.Z)
        px = list(rec.prop)
        tx = fdiv(rec.length, 100.0)
        out.terminal(PROMPT4)
        ans = answer()
        ch = ans[0] if ans else " "
        if ch in "Nn":
            break
    return "".join(out.term), "".join(out.log)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "r", encoding="latin-1", newline="") as fh:
        term, log = session(fh.read())
    with open(argv[2], "w", encoding="latin-1", newline="") as fh:
        fh.write(term)
    with open(argv[3], "w", encoding="latin-1", newline="") as fh:
        fh.write(log)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
