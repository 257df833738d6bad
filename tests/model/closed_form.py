#!/usr/bin/env python3
"""Checks the model's reports against the physics in closed form, in double.

    closed_form.py SESSION.in [SESSION.in ...]

For every report of every session, each printed number is worked out again
in double precision from the formulas in their algebraic form (pfcm x epslon
written as p0, pf as p0, int.prob as the share of the elastic coefficient,
and so on), without any single-precision rounding or order of operations,
and compared with the number the model printed: it must agree to within one
unit of the last printed digit plus 1e-4 of its value.  This catches a
formula copied wrong into the model, which the float emulation alone would
reproduce faithfully.  Fields of asterisks and counts right at a boundary
are not compared.  The characteristic angle is taken through every step
of the centre-of-mass kinematics (rmt, denom, epslon, betacm, betpcm, pfcm)
in double, so that a fast particle, whose single-precision sum uses the
velocity in the centre-of-mass frame without cancellation, is checked
against the formulas as written.  Prints one line per checked session and a
summary.
"""

import math
import os
import re
import sys

sys.dont_write_bytecode = True  # leave no cache in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zefrin_model as M  # noqa: E402


def closed(rec):
    """Every printed quantity of one report, in double, from the formulas."""
    m, p0, rho, L = rec.mass, rec.p0, rec.rho, rec.length
    e0 = math.hypot(p0, m)
    bta = p0 / e0
    r = {"tf": (e0 - m) * 1000}
    els = []
    for i in range(3):
        if rec.prop[i] > 0 and 1 <= rec.Z[i] < 93:
            iz = int(rec.Z[i])
            els.append((i, rec.Z[i], rec.prop[i], float(M.AT[iz]), float(M.EION[iz]),
                        M.element_class(iz)))
    if not els or not (m > 0 and p0 > 0) or not rho > 0 or not L > 0:
        return r
    radinv = 1e-30
    a3 = a4 = 0.0
    mean = [0.0] * 5
    chia = chic = 0.0
    for i, z, p, a, ion, ie in els:
        radinv += (0.0014 * z * (z + 1) * math.log(183 / z ** 0.33333) * p /
                   ((1 + 0.12 * (z / 82) ** 2) * a))
        w = p * z / a
        a3 += w
        a4 += math.log(ion) * w
        for k, tab in enumerate((M.CE, M.CA, M.CM, M.CX1, M.CX0)):
            mean[k] += float(tab[ie]) * w
        alpha = z / (137 * bta)
        theta0 = 1.97327e-14 * z ** 0.333333 / (p0 * 4.68e-9)
        chia += p * theta0 * math.sqrt(3.44 * alpha ** 2 + 0.59)
        # Every step of the centre-of-mass kinematics, in double.
        rmt = 0.938256 * a
        denom = math.sqrt(m * m + rmt * rmt + 2 * e0 * rmt)
        epslon = (2 * e0 + rmt + m * m / rmt) / denom
        betacm = p0 / (e0 + rmt)
        betpcm = (bta - betacm) / (1 - betacm * bta)
        pfcm = m * betpcm / math.sqrt(1 - betpcm * betpcm) if betpcm < 1 else math.inf
        den = pfcm * betpcm * epslon if math.isfinite(pfcm) else p0 * betpcm
        chic += 0.000396 * p * z * math.sqrt(rho * L / a) / den
    a4 /= a3
    ec, ea, em, ex1, ex0 = (v / a3 for v in mean)
    a5 = math.log(p0 / m)
    x = 0.4343 * a5
    if x >= ex1:
        delta = 2 * a5 - ec
    elif x > ex0:
        delta = 2 * a5 - ec + ea * (ex1 - x) ** em
    else:
        delta = 0.0
    t = radinv * rho * L
    r["t"] = t
    omeg0 = (chic / chia) ** 2
    r["omeg0"] = omeg0
    if omeg0 >= 5:
        b = math.log(omeg0) * 2.583 / 2.3026 + 1.153
        by = math.log(omeg0) * 2.096 / 2.3026 + 1.153
        r["se"] = math.sqrt(1.007 * b - 1.33) * chic * 1000
        r["sye"] = math.sqrt(1.007 * by - 1.33) * chic * L / 1.7321 * 10
        r["B"] = b
    else:
        r["se"], r["sye"], r["B"] = 0.0, 0.0, 1.0
    r["radlos"] = e0 * (1 - math.exp(-t)) * (0.00051 / m) ** 2 * 1000
    # Energy loss: pf = p0 and btaf = bta up to rounding.
    ac = a3 * 0.0001536 * L * rho / bta ** 2
    qmax = 0.00102 * p0 ** 2 / (m * m + 2.6e-7 + 0.00102 * e0)
    g = (1 - bta ** 2 / 2) * ac / qmax
    dedx = 2 * ac * (2 * a5 + 13.84 - a4 - bta ** 2 - delta / 2)
    r["g"] = g
    r["dedx"] = dedx * 1000
    if g >= 10:
        r["enloss"] = dedx * 1000
        r["w"] = 2.4 * math.sqrt(L * rho * (1 - bta ** 2 / 2) * ac * qmax) * 1000
    else:
        r["enloss"] = ac * (2 * a5 + 34.92 - 2 * a4 + math.log(ac) - bta ** 2 - delta) * 1000
        r["w"] = 2.9 * 1.48 * ac * 1000
        r["lx"] = 10 * g + 1
    tf = e0 - m
    r["ncor"] = dedx / tf + 1
    r["ncorr"] = dedx / (0.1 * tf) + 1
    # Nuclear interaction.
    if rec.siga > 0:
        s = rec.siga - 33
        tl = 1e-30
        al = 0.0
        per = {}
        for i, z, p, a, ion, ie in els:
            sim = 44 * (a ** 0.69 + a ** 0.36 * s * (0.039 - 0.0009 * s))
            if not sim > 0:
                continue
            alam = sim * 6.03e-4 * rho * p / a
            if rec.sige >= 0:
                sime = rec.sige
            elif a <= 70:
                sime = 47 * a ** 0.82 - 42 * a ** 0.67
            else:
                sime = 47 * a ** 0.67
            dil = alam * sime / sim
            ang = math.sqrt(3 * (0.1396 / p0) ** 2 / a ** 0.67) * 1000
            per[i + 1] = [dil, ang, sime, sim]
            al += alam
            tl += alam + dil
        for v in per.values():
            v[0] = v[0] / (tl - al)
        r["atoms"] = per
        r["tlam"] = 1 / tl
        r["al"] = al / tl
    return r


NUM = r"\s*(-?[0-9.]+|\*+)"
PATTERNS = [
    ("hdr", re.compile(r" Entr\. energy =" + NUM), ["tf"]),
    ("ms", re.compile(r" 1/e sc\.ang =" + NUM + " mr, 1/e disp =" + NUM + r" mm, t \(rad\.leng\) ="
                      + NUM + ", B =" + NUM), ["se", "sye", "t", "B"]),
    ("omeg", re.compile(r" Number of Rutherford scatters is only" + NUM), ["omeg0"]),
    ("loss", re.compile(r" \*(?:Gauss|Landau)\*\s+prob\. energy loss =" + NUM + ", width =" + NUM +
                        ", average loss =" + NUM), ["enloss", "w", "dedx"]),
    ("lx", re.compile(r" Landau  <.*divide into" + NUM), ["lx"]),
    ("ten", re.compile(r" Energy loss  >  10%.*divide into" + NUM), ["ncorr"]),
    ("full", re.compile(r" Energy loss >= kinetic energy,  divide into" + NUM + ", better into" + NUM),
     ["ncor", "ncorr"]),
    ("part", re.compile(r" Energy loss would be" + NUM + " MeV > entrance kinetic energy =" + NUM),
     ["dedx", "tf"]),
    ("rad", re.compile(r" Radiative energy loss =" + NUM), ["radlos"]),
    ("cm", re.compile(r" Total interaction length =" + NUM + " cm.*probability =" + NUM),
     ["tlam", "al"]),
    ("m", re.compile(r" Total interaction length =" + NUM + " m,.*probability =" + NUM),
     ["tlam_m", "al"]),
]
ATOM = re.compile(r" Atom(\d): int\.prob =" + NUM + ", RMS\.ang =" + NUM + " mr, el\.cs =" + NUM +
                  " mb, ab\.cs =" + NUM)
INTEGER = {"lx", "ncor", "ncorr"}


def agree(text, want, name):
    if text.startswith("*"):
        return True
    got = float(text)
    if name in INTEGER:
        # A count is a truncation: right at a whole number either side is fair.
        return got == math.floor(want) or abs(want - round(want)) < 1e-3 and abs(got - want) <= 1
    decimals = len(text.split(".")[1]) if "." in text else 0
    return abs(got - want) <= 10 ** -decimals + 1e-4 * abs(want)


def check_report(rec, lines):
    want = closed(rec)
    if "tlam" in want:
        want["tlam_m"] = want["tlam"] / 100
    problems = []
    checked = 0
    for ln in lines:
        for tag, pat, names in PATTERNS:
            mt = pat.match(ln)
            if not mt:
                continue
            for name, text in zip(names, mt.groups()):
                if name not in want:
                    continue
                checked += 1
                if not agree(text, want[name], name):
                    problems.append("%s: printed %s, closed form %.6g in %r" %
                                    (name, text, want[name], ln))
        if ln.startswith(" Energy loss formulas give a loss <= 0 here"):
            # No result line: the formulas must really give a loss <= 0.
            checked += 1
            if "dedx" in want and want["enloss"] > 0 and want["dedx"] > 0:
                problems.append("no loss line, but closed form %.6g and %.6g MeV" %
                                (want["enloss"], want["dedx"]))
        mt = ATOM.match(ln)
        if mt and "atoms" in want:
            i = int(mt.group(1))
            for name, text, value in zip(("int.prob", "RMS.ang", "el.cs", "ab.cs"), mt.groups()[1:],
                                         want["atoms"].get(i, [math.nan] * 4)):
                checked += 1
                if not agree(text, value, name):
                    problems.append("Atom%d %s: printed %s, closed form %.6g" % (i, name, text, value))
    return checked, problems


def main(paths):
    bad = total = 0
    for path in paths:
        reports = []
        with open(path, encoding="latin-1", newline="") as fh:
            M.session(fh.read(), lambda rec, lines: reports.append((rec, lines)))
        n = 0
        probs = []
        for k, (rec, lines) in enumerate(reports):
            c, p = check_report(rec, lines)
            n += c
            probs += ["report %d: %s" % (k + 1, x) for x in p]
        total += n
        print("%-28s %3d numbers checked%s" % (os.path.basename(path), n,
                                              "" if not probs else ", %d DISAGREE" % len(probs)))
        for x in probs:
            print("    " + x)
        bad += len(probs)
    print("%d numbers agree, %d disagree" % (total - bad, bad))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
