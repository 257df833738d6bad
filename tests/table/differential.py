#!/usr/bin/env python3
"""zefrin-table against the dialogue, on random inputs the dialogue accepts.

    differential.py ZEFRIN ZEFRIN_TABLE [--count N] [--seed S]

One dialogue session types N reports; one case file holds the same N cases
with the same decimal texts. Checked: --report equals the dialogue's
reports byte for byte (for the cases with a siga: the table refuses --report
without one, where the dialogue would be typed a negative siga), and every value of --format json, read back to
single precision and written with the report's Fw.d (after the report's own
scaling), stands in the dialogue's report for that case; where the table
gives null, the report shows the warning instead of a result.
"""

import argparse
import json
import os
import random
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "model"))
from zefrin_model import edit_f  # noqa: E402  (the Fw.d rule, written independently)

PROMPTS = ("Enter: mass (GeV/c2), siga (mb), sige (mb) ",
           "Enter: p0 (GeV/c), rho (g/cm3), frac ( <=1 ) ",
           "Enter: length (m), Z1, prop1, Z2, prop2, Z3, prop3 ",
           " continue [Y/N] ? ")
MASSES = ["0.93827206", "0.13957039", "0.49367700", "0.10565838", "0.00051100", "0.00051",
          "1.87561294", "2.80892113"]


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def text(v):
    """A decimal of at most 10 characters, with a point (the dialogue's fields
    read a number without one as tenths)."""
    for digits in (6, 5, 4):
        t = "%.*g" % (digits, v)
        m, e, x = t.partition("e")
        if "." not in m:
            m += "."
        t = m + e + x
        if len(t) <= 10:
            return t
    raise ValueError(v)


def loguniform(rnd, lo, hi):
    return lo * (hi / lo) ** rnd.random()


def case(rnd):
    mass = rnd.choice(MASSES) if rnd.random() < 0.8 else text(loguniform(rnd, 1e-4, 20.0))
    siga = rnd.choice(["31.", "20.", "45.", "5.", "100.", "", text(round(rnd.uniform(1, 120), 2))])
    sige = rnd.choice(["-1.", "-1.", "250.", text(round(rnd.uniform(0.1, 900.0), 1))])
    p0 = text(loguniform(rnd, 1e-3, 2e3))
    rho = text(loguniform(rnd, 1e-4, 22.0))
    frac = rnd.choice(["1.", "1.", "0.5", text(round(rnd.uniform(0.05, 1.0), 3))])
    length = text(loguniform(rnd, 1e-5, 5.0))
    n = rnd.choice([1, 1, 2, 3])
    zs = rnd.sample(range(1, 93), n)
    if n == 1:
        props = ["1."]
    else:
        cut = sorted(round(rnd.uniform(0.02, 0.98), 4) for _ in range(n - 1))
        parts = [cut[0]] + [cut[i] - cut[i - 1] for i in range(1, n - 1)] + [1 - cut[-1]]
        props = [text(round(max(p, 0.0005), 4)) for p in parts]
    return dict(mass=mass, siga=siga, sige=sige, p0=p0, rho=rho, frac=frac, length=length,
                zs=zs, props=props)


def typed(c):
    f = lambda s: s.rjust(10)  # noqa: E731
    l3 = f(c["length"])
    for i in range(3):
        if i < len(c["zs"]):
            l3 += f("%d." % c["zs"][i]) + f(c["props"][i])
        else:
            l3 += f("1.") + f("-1.")  # taken out: a negative proportion
    return (f(c["mass"]) + f(c["siga"] or "-1.") + f(c["sige"]) + "\n" + f(c["p0"]) +
            f(c["rho"]) + f(c["frac"]) + "\n" + l3 + "\n")


def row(c):
    mix = ",".join("%d:%s" % (z, p) for z, p in zip(c["zs"], c["props"]))
    return ",".join([c["mass"], c["siga"], c["sige"], c["p0"], '"%s"' % mix, c["rho"], c["frac"],
                     c["length"]]) + "\n"


def reports(out):
    """The report lines of a session, prompts and the blank line taken out."""
    for p in PROMPTS:
        out = out.replace(p, "")
    lines = [ln for ln in out.split("\n") if ln != "  "]
    return "\n".join(lines)


def split(rep):
    """One list of lines per report: each starts with a line of dots followed
    by the '% of length' line."""
    lines = rep.split("\n")
    starts = [i for i in range(len(lines) - 1) if "% of length" in lines[i + 1]]
    return [lines[a:b] for a, b in zip(starts, starts[1:] + [len(lines)])]


def F(v, w, d):
    return edit_f(f32(v), w, d)


def expected_lines(c, j):
    """The lines the report must hold, built from the table's values."""
    want = []
    want.append("%s %% of length =%s cm covered by material with density =%s g/cm3" % (
        F(f32(j["fill"]) * 100.0, 7, 2), F(j["thickness_cm"], 8, 4), F(j["density_g_cm3"], 7, 3)))
    e = j["elements"]
    want.append(" Entr. energy =%s MeV, Composition of material:  Z1 =%s,  prop1 =%s" % (
        F(j["kinetic_energy_mev"], 7, 1), F(e[0]["z"], 5, 1), F(e[0]["fraction"], 7, 4)))
    if j["moliere_b"] is None:
        want.append(" Number of Rutherford scatters is only %s;  Moliere theory is not applicable."
                    % F(j["omega0"], 5, 2))
        want.append(" 1/e sc.ang =   0.000 mr, 1/e disp = 0.0000 mm, t (rad.leng) =%s, B =  1.00"
                    % F(j["thickness_x0"], 7, 3))
    else:
        want.append(" 1/e sc.ang =%s mr, 1/e disp =%s mm, t (rad.leng) =%s, B =%s" % (
            F(j["theta_1e_mrad"], 8, 3), F(j["displacement_1e_mm"], 7, 4),
            F(j["thickness_x0"], 7, 3), F(j["moliere_b"], 6, 2)))
    if j["mean_loss_mev"] is not None:
        name = " *Gauss*  " if j["loss_regime"] == "gauss" else " *Landau* "
        want.append("%s prob. energy loss =%s, width =%s, average loss =%s MeV" % (
            name, F(j["most_probable_loss_mev"], 7, 3), F(j["width_mev"], 7, 3),
            F(j["mean_loss_mev"], 7, 3)))
    if f32(float(c["mass"])) <= f32(0.00052):
        want.append(" Radiative energy loss =%s MeV %s" % (F(j["radiative_loss_mev"], 7, 1), "." * 44))
    if j["interaction_length_cm"] is not None:
        sige = float(c["sige"])
        for i, el in enumerate(e):
            if el["int_prob"] is not None and el["int_prob"] > 0 and sige != 0:
                want.append(" Atom%d: int.prob =%s, RMS.ang =%s mr, el.cs =%s mb, ab.cs =%s mb" % (
                    i + 1, F(el["int_prob"], 6, 3), F(el["rms_angle_mrad"], 6, 1),
                    F(el["el_cs_mb"], 6, 1), F(el["ab_cs_mb"], 6, 1)))
        t = f32(j["interaction_length_cm"])
        if t > 999.0:
            want.append(" Total interaction length =%s m, ........... absorbtion probability =%s"
                        % (F(f32(t / 100.0), 7, 1), F(j["absorption_share"], 6, 3)))
        else:
            want.append(" Total interaction length =%s cm, .......... absorbtion probability =%s"
                        % (F(t, 7, 3), F(j["absorption_share"], 6, 3)))
    return want


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("zefrin")
    ap.add_argument("table")
    ap.add_argument("--count", type=int, default=1000)
    ap.add_argument("--seed", type=int, default=20261209)
    args = ap.parse_args()
    rnd = random.Random(args.seed)
    cases = [case(rnd) for _ in range(args.count)]
    session = "y\n".join(typed(c) for c in cases) + "n\n"
    csv = "mass,siga,sige,momentum,material,density,fill,thickness\n" + "".join(map(row, cases))
    with tempfile.TemporaryDirectory(prefix="zefrin-table-diff-") as d:
        dialogue = subprocess.run([args.zefrin], input=session.encode(), cwd=d,
                                  capture_output=True, timeout=600, check=True).stdout.decode()
        path = os.path.join(d, "cases.csv")
        with open(path, "w") as fh:
            fh.write(csv)
        with_siga = os.path.join(d, "with-siga.csv")
        with open(with_siga, "w") as fh:
            fh.write(csv.split("\n")[0] + "\n" + "".join(row(c) for c in cases if c["siga"]))
        table = lambda f, *a: subprocess.run([args.table, "--cases", f, *a], cwd=d,  # noqa: E731
                                             capture_output=True, timeout=600)
        rep, js = table(with_siga, "--report"), table(path, "--format", "json")
    failures = 0
    if rep.returncode != 0 or js.returncode != 0:
        print("zefrin-table failed:", rep.stderr.decode(), js.stderr.decode())
        return 1
    want = reports(dialogue)
    got = rep.stdout.decode()
    kept = "".join("\n".join(b).rstrip("\n") + "\n"
                   for b, c in zip(split(want), cases) if c["siga"])
    if got != kept:
        failures += 1
        a, b = kept.split("\n"), got.split("\n")
        k = next(i for i in range(min(len(a), len(b)) + 1) if i >= len(a) or i >= len(b) or a[i] != b[i])
        print("--report differs at line %d:\n dialogue: %r\n table:    %r" % (
            k + 1, a[k] if k < len(a) else None, b[k] if k < len(b) else None))
    rows = [json.loads(line) for line in js.stdout.decode().splitlines()]
    blocks = split(want)
    if len(rows) != len(cases) or len(blocks) != len(cases):
        print("counts differ: %d cases, %d rows, %d reports" % (len(cases), len(rows), len(blocks)))
        return 1
    checked = 0
    for k, (c, j, block) in enumerate(zip(cases, rows, blocks)):
        for line in expected_lines(c, j):
            checked += 1
            if line not in block:
                failures += 1
                if failures < 10:
                    print("case %d: %r\n not in the report:\n%s\n" % (k, line, "\n".join(block)))
        if j["mean_loss_mev"] is None and any("*Gauss*" in ln or "*Landau*" in ln for ln in block):
            failures += 1
            print("case %d: no mean loss in the table, but a result line in the report" % k)
    print("--report: %d bytes, %d reports equal to the dialogue's"
          % (len(got), sum(1 for c in cases if c["siga"])))
    print("%d cases, %d report lines checked against the table's values, %d failures"
          % (len(cases), checked, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
