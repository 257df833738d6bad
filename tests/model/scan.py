#!/usr/bin/env python3
"""Momentum scans of fast particles: the program against the formulas in double.

    scan.py EXE

One session per row of SCANS, each report with a new momentum.  Three checks:

1. The program's terminal text and log equal the single-precision model's
   (tests/model/zefrin_model.py) byte for byte.
2. In every report the printed 1/e angle (where it is above 0.1 mr) and B
   agree within one unit of their last printed digit with the same report
   evaluated in double precision through every step of the formulas
   (closed_form.closed); every other printed number of the report agrees as
   closed_form.py demands.
3. Every report of a particle below the velocity bound (bta0 < 0.999 in
   single precision) is byte for byte the report of the first releases: the
   model with the old order of operations in the characteristic-angle sum
   (pfcm x betpcm x epslon) writes the same lines.

Prints a summary per scan, and how many reports the old order got wrong by
more than a printed digit, to show what the scan covers.
"""

import math
import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # leave no cache in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import closed_form  # noqa: E402
import zefrin_model as M  # noqa: E402

ELECTRON, MUON, PROTON, DEUTERON = 0.000511, 0.1056584, 0.9382721, 1.8756129


def steps(lo, hi, step):
    n = int(round((hi - lo) / step))
    return [lo + k * step for k in range(n + 1)]


def decades(lo_exp, hi_exp):
    return [10 ** (k / 10) for k in range(10 * lo_exp, 10 * hi_exp + 1)]


# name, mass (GeV/c2), momenta (GeV/c), rho (g/cm3), length (m), Z
SCANS = [
    ("electrons, 1 cm Pb", ELECTRON, steps(0.1, 5.0, 0.02), 11.35, 0.01, 82),
    ("muons, 1 cm Pb", MUON, steps(10, 1000, 10), 11.35, 0.01, 82),
    ("protons, 1 cm Cu", PROTON, decades(1, 4), 8.96, 0.01, 29),
    ("protons, 10 cm liquid H2", PROTON, decades(1, 4), 0.0708, 0.1, 1),
    ("deuterons, 10 cm liquid H2", DEUTERON, decades(1, 4), 0.0708, 0.1, 1),
]


def typed(v):
    """v with its decimal point: a number typed without one loses a factor 10."""
    t = "%.6g" % v
    return t if "." in t or "e" in t else t + "."


def session_text(mass, momenta, rho, length, z):
    lines = []
    for k, p in enumerate(momenta):
        lines += ["%s,31.,-1." % typed(mass), "%s,%s,1." % (typed(p), typed(rho)),
                  "%s,%d.,1." % (typed(length), z)]
        lines.append("y" if k < len(momenta) - 1 else "n")
    return "\n".join(lines) + "\n"


def run(exe, text):
    with tempfile.TemporaryDirectory(prefix="zefrin-scan-") as d:
        p = subprocess.run([exe], input=text.encode("latin-1"), cwd=d, capture_output=True,
                           timeout=60)
        with open(os.path.join(d, "ZEFRIN.LOG"), "rb") as fh:
            return p.returncode, p.stdout.decode("latin-1"), fh.read().decode("latin-1")


def reports(text, old):
    M.OLD_ORDER = old
    try:
        got = []
        term, log = M.session(text, lambda rec, lines: got.append((rec, lines)))
    finally:
        M.OLD_ORDER = False
    return term, log, got


def scattering(lines):
    for ln in lines:
        mt = closed_form.PATTERNS[1][1].match(ln)
        if mt:
            return mt.groups()
    raise AssertionError("no scattering line")


def within_digit(text, want):
    decimals = len(text.split(".")[1])
    return abs(float(text) - want) <= 10 ** -decimals


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    failures = 0
    for name, mass, momenta, rho, length, z in SCANS:
        text = session_text(mass, momenta, rho, length, z)
        status, out, log = run(argv[1], text)
        want_out, want_log, new = reports(text, old=False)
        _, _, old = reports(text, old=True)
        problems = []
        if status != 0 or out != want_out or log != want_log:
            problems.append("the program's session differs from the model's (status %d)" % status)
        below = old_wrong = 0
        for (rec, lines), (_, old_lines) in zip(new, old):
            exact = closed_form.closed(rec)
            se, _, _, b = scattering(lines)
            if float(se) > 0.1 and not within_digit(se, exact["se"]):
                problems.append("p0 %g: 1/e angle %s mr, formula %.5f" % (rec.p0, se, exact["se"]))
            if not within_digit(b, exact["B"]):
                problems.append("p0 %g: B %s, formula %.4f" % (rec.p0, b, exact["B"]))
            _, errors = closed_form.check_report(rec, lines)
            problems += ["p0 %g: %s" % (rec.p0, e) for e in errors]
            ose, _, _, ob = scattering(old_lines)
            if not (within_digit(ose, exact["se"]) and within_digit(ob, exact["B"])):
                old_wrong += 1
            if rec.bta0 < M.C("0.999"):
                below += 1
                if old_lines != lines:
                    problems.append("p0 %g: below the bound but not the old report" % rec.p0)
        print("%-28s %3d reports, %3d below the bound; the old order was off in %3d%s" %
              (name, len(new), below, old_wrong, "" if not problems else ", %d FAIL" % len(problems)))
        for p in problems[:20]:
            print("    " + p)
        failures += len(problems)
    print("%d problems" % failures)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
