#!/usr/bin/env python3
"""Random sessions, run on zefrin and on the Python model, compared byte for byte.

    differential.py EXE [--count N] [--seed S] [--keep DIR] [--show]

The sessions are drawn from a fixed seed, so every run checks the same ones:
particles from electrons to alphas (and now and then a negative mass or
momentum), momenta over six decades, densities, covered fractions, lengths
(some negative), mixtures of one to three elements with proportions that are
sometimes negative and atomic numbers that are sometimes off the tables, and
numbers typed in every way the fields allow (implied decimal, point,
exponent, commas, blanks).  Each session runs in a fresh directory; its
terminal text and its log must equal the model's.  --keep DIR saves the
input, both outputs and both logs of every failing session there.
"""

import argparse
import concurrent.futures
import difflib
import os
import random
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # leave no cache in the source tree
sys.path.insert(0, os.path.join(HERE, "..", "model"))
import zefrin_model  # noqa: E402


def log_uniform(rnd, lo, hi):
    return lo * (hi / lo) ** rnd.random()


def typed(rnd, v):
    """A text of at most 10 characters that the reader turns into v (about)."""
    kind = rnd.random()
    for _ in range(4):
        if kind < 0.45:
            t = "%.*g" % (rnd.randint(2, 6), v)
            if "e" in t:
                t = "%.2E" % v
            elif "." not in t:
                t += "."
        elif kind < 0.6:
            # No point: the last digit is the first decimal.
            t = str(int(round(v * 10)))
        elif kind < 0.75:
            t = ("%.3e" % v).replace("e", rnd.choice("EeDd"))
        elif kind < 0.85:
            # A sign directly after the digits stands for the exponent.
            m, e = ("%.2e" % v).split("e")
            t = m + ("%+d" % int(e))
        else:
            t = "%.4f" % v
            if rnd.random() < 0.5:
                t = t.rstrip("0")
        if len(t) <= 10:
            return t
        kind = 0.7
    return "%.1E" % v


def line(rnd, values):
    """An answer line: fixed columns, or commas, with a blank here and there."""
    if rnd.random() < 0.3:
        return ",".join("" if v is None else typed(rnd, v) for v in values)
    parts = []
    for v in values:
        t = "" if v is None else typed(rnd, v)
        if rnd.random() < 0.1 and len(t) < 10 and t:
            k = rnd.randrange(len(t) + 1)
            t = t[:k] + " " + t[k:]
        parts.append(t.rjust(10) if rnd.random() < 0.8 else t.ljust(10))
    return "".join(parts).rstrip() if rnd.random() < 0.5 else "".join(parts)


def maybe(rnd, p, v):
    """None (an empty field: the remembered value) with probability p."""
    return None if rnd.random() < p else v


PARTICLES = [0.9382796, 0.13957, 0.49367, 0.105658, 0.000511, 0.00051, 0.00052, 1.8756,
             3.7274, 0.1]


def report(rnd):
    r = rnd.random()
    if r < 0.7:
        mass = rnd.choice(PARTICLES)
    elif r < 0.95:
        mass = log_uniform(rnd, 1e-4, 20.0)
    else:
        mass = -rnd.choice(PARTICLES)
    siga = rnd.choice([31.0, 33.0, 20.0, 45.0, 60.0, 5.0, 100.0, -1.0,
                       round(rnd.uniform(1.0, 120.0), 2)])
    sige = rnd.choice([-1.0, -1.0, 250.0, round(rnd.uniform(0.1, 900.0), 1)])
    p0 = log_uniform(rnd, 1e-3, 2e3)
    if rnd.random() < 0.04:
        p0 = -p0
    rho = log_uniform(rnd, 1e-4, 22.0)
    if rnd.random() < 0.05:
        rho = -rho
    frac = rnd.choice([1.0, 1.0, 0.5, round(rnd.uniform(0.05, 1.2), 3)])
    length = log_uniform(rnd, 1e-5, 5.0)
    if rnd.random() < 0.05:
        length = -length
    elems = []
    for k in range(3):
        if k > 0 and rnd.random() < 0.45:
            elems.extend([None, None])
            continue
        z = float(rnd.randint(1, 92))
        u = rnd.random()
        if u < 0.1:
            z += round(rnd.random(), 1)
            z = min(z, 92.9)
        elif u < 0.14:
            z = rnd.choice([0.5, 93.0, 100.0, -3.0])
        p = round(rnd.uniform(0.05, 2.0), 3)
        if rnd.random() < 0.15:
            p = -p
        elems.extend([maybe(rnd, 0.1, z), maybe(rnd, 0.1, p)])
    l1 = line(rnd, [maybe(rnd, 0.15, mass), maybe(rnd, 0.2, siga), maybe(rnd, 0.2, sige)])
    l2 = line(rnd, [maybe(rnd, 0.15, p0), maybe(rnd, 0.15, rho), maybe(rnd, 0.3, frac)])
    l3 = line(rnd, [maybe(rnd, 0.1, length)] + elems)
    return [l1, l2, l3]


def make_session(rnd):
    lines = []
    n = rnd.randint(1, 5)
    for k in range(n):
        lines.extend(report(rnd))
        if k < n - 1:
            lines.append(rnd.choice(["y", "", "Y", " n", "yes", "x"]))
        else:
            lines.append(rnd.choice(["n", "N", "no"]))
    if rnd.random() < 0.05:
        # Leave at prompt 1 with a bad entry instead.
        lines[-1] = "y"
        lines.append("q")
    return "\n".join(lines) + "\n"


def run(exe, text):
    with tempfile.TemporaryDirectory(prefix="zefrin-diff-") as d:
        p = subprocess.run([exe], input=text.encode("latin-1"), cwd=d, capture_output=True,
                           timeout=20)
        try:
            with open(os.path.join(d, "ZEFRIN.LOG"), "rb") as fh:
                log = fh.read().decode("latin-1")
        except FileNotFoundError:
            log = None
        return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1"), log


def first_difference(want, got):
    a = want.replace("? ", "?\n").splitlines()
    b = got.replace("? ", "?\n").splitlines()
    return "\n".join(list(difflib.unified_diff(a, b, "model", "program", lineterm="", n=1))[:12])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("exe")
    ap.add_argument("--count", type=int, default=300)
    ap.add_argument("--seed", type=int, default=20240611)
    ap.add_argument("--keep")
    ap.add_argument("--show", action="store_true", help="print every session's input")
    args = ap.parse_args()
    rnd = random.Random(args.seed)
    texts = [make_session(rnd) for _ in range(args.count)]
    # The program runs in parallel while the model works the sessions out.
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        runs = [pool.submit(run, args.exe, text) for text in texts]
        passed = failed = 0
        for k, text in enumerate(texts):
            if args.show:
                print("--- session %d\n%s" % (k, text), end="")
            want_out, want_log = zefrin_model.session(text)
            status, out, err, log = runs[k].result()
            problems = []
            if status != 0:
                problems.append("exit status %d" % status)
            if err:
                problems.append("standard error: %r" % err[:200])
            if out != want_out:
                problems.append("terminal differs:\n" + first_difference(want_out, out))
            if (log or "") != want_log:
                problems.append("log differs:\n" + first_difference(want_log, log or ""))
            if not problems:
                passed += 1
                continue
            failed += 1
            print("session %d FAILED\n--- input\n%s--- %s\n" % (k, text, "\n".join(problems)))
            if args.keep:
                os.makedirs(args.keep, exist_ok=True)
                base = os.path.join(args.keep, "s%03d" % k)
                for ext, data in ((".in", text), (".model.out", want_out),
                                  (".model.log", want_log), (".prog.out", out),
                                  (".prog.log", log or "")):
                    with open(base + ext, "w", encoding="latin-1", newline="") as fh:
                        fh.write(data)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
