#!/usr/bin/env python3
"""Writes, or checks, the expected terminal text and log of the scripted sessions.

    regenerate.py DATA_DIR           write NAME.out and NAME.log for every NAME.in
    regenerate.py --check DATA_DIR   only compare them with the model's

The expected files of tests/sessions/data come from the model, never from
the program.  two-reports is the exception: its .out and .log were worked
out apart from both, so it is never written here, only checked, and the
model must reproduce it as well.  The model's own worked cases of the
writer and the reader (zefrin_model.selftest) run first.
"""

import glob
import os
import sys

sys.dont_write_bytecode = True  # leave no cache in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zefrin_model as M  # noqa: E402

REFERENCE = {"two-reports"}


def read(path):
    with open(path, encoding="latin-1", newline="") as fh:
        return fh.read()


def main(argv):
    check = "--check" in argv
    dirs = [a for a in argv[1:] if a != "--check"]
    if len(dirs) != 1:
        sys.stderr.write(__doc__)
        return 2
    M.selftest()
    bad = 0
    names = sorted(glob.glob(os.path.join(dirs[0], "*.in")))
    for path in names:
        name = os.path.basename(path)[:-3]
        out, log = M.session(read(path))
        for ext, text in ((".out", out), (".log", log)):
            target = path[:-3] + ext
            if check or name in REFERENCE:
                if not os.path.exists(target) or read(target) != text:
                    print("%s%s differs from the model" % (name, ext))
                    bad += 1
            else:
                with open(target, "w", encoding="latin-1", newline="") as fh:
                    fh.write(text)
    print("%d sessions, %d files differ" % (len(names), bad))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
