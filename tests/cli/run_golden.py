#!/usr/bin/env python3
"""Runs one golden CLI case and compares its output byte for byte.

A case is a directory:
  cmd        the program ("korvane" or "korvane-db") on the first line, then
             one argument per line ("<EMPTY>" stands for an empty argument)
  fixture    optional: the name of a description in ../../fixtures, built
             with `korvane-db ddf build` into a fresh directory
  fixture.json  optional: the same, kept beside the case
  setup.sh   optional: run with bash in that directory before the program
  stdout, stderr, exit   what the program must print and return
  after/NAME optional: what `korvane-db dump NAME` must print after the run
             (a name ending in .json: `korvane-db ddf show . --json`;
             LISTING: the names of the files in the directory)

The program runs in the fixture directory with no standard input. Nothing
is normalised. With KORVANE_GOLDEN_UPDATE=1 the expected files are
rewritten from what the program printed.
"""
import argparse
import difflib
import os
import shutil
import subprocess
import sys
import tempfile


def read(path, default=None):
    if not os.path.exists(path):
        return default
    with open(path, "rb") as f:
        return f.read()


def show_diff(name, expected, actual):
    exp = expected.decode("latin-1").splitlines(keepends=True)
    act = actual.decode("latin-1").splitlines(keepends=True)
    sys.stdout.write("--- %s differs:\n" % name)
    for line in difflib.unified_diff(exp, act, "expected", "actual"):
        sys.stdout.write(repr(line) + "\n")


def run(cmd, cwd, env):
    p = subprocess.run(cmd, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, env=env, timeout=120)
    return p.returncode, p.stdout, p.stderr


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--korvane", required=True, help="the korvane command (words split at blanks, so a wrapper may lead)")
    ap.add_argument("--kdb", required=True, help="the korvane-db command (split likewise)")
    ap.add_argument("--fixtures", required=True)
    ap.add_argument("case")
    a = ap.parse_args()

    update = os.environ.get("KORVANE_GOLDEN_UPDATE") == "1"
    lines = read(os.path.join(a.case, "cmd")).decode().split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    program, args = lines[0], ["" if x == "<EMPTY>" else x for x in lines[1:]]
    programs = {"korvane": a.korvane.split(), "korvane-db": a.kdb.split()}

    work = tempfile.mkdtemp(prefix="kvgold-")
    env = dict(os.environ, KDB=a.kdb, KORVANE=a.korvane, LC_ALL="C")
    try:
        fixture = None
        named = read(os.path.join(a.case, "fixture"))
        if named is not None:
            fixture = os.path.join(a.fixtures, named.decode().strip())
        elif os.path.exists(os.path.join(a.case, "fixture.json")):
            fixture = os.path.join(a.case, "fixture.json")
        if fixture:
            rc, out, err = run(a.kdb.split() + ["ddf", "build", work, "--from", os.path.abspath(fixture)], work, env)
            if rc != 0:
                print("fixture build failed:", err.decode())
                return 1
        setup = os.path.join(a.case, "setup.sh")
        if os.path.exists(setup):
            rc, out, err = run(["bash", os.path.abspath(setup)], work, env)
            if rc != 0:
                print("setup failed:", out.decode(), err.decode())
                return 1

        rc, out, err = run(programs[program] + args, work, env)
        actual = {"stdout": out, "stderr": err, "exit": b"%d\n" % rc}
        after_dir = os.path.join(a.case, "after")
        if os.path.isdir(after_dir):
            for name in sorted(os.listdir(after_dir)):
                if name == "LISTING":
                    names = sorted(os.listdir(work))
                    dout, derr = "".join(n + "\n" for n in names).encode(), b""
                elif name.endswith(".json"):
                    drc, dout, derr = run(a.kdb.split() + ["ddf", "show", ".", "--json"], work, env)
                else:
                    drc, dout, derr = run(a.kdb.split() + ["dump", name], work, env)
                actual["after/" + name] = dout + derr

        failed = False
        for name, got in actual.items():
            path = os.path.join(a.case, name)
            if update:
                with open(path, "wb") as f:
                    f.write(got)
                continue
            want = read(path, b"")
            if want != got:
                failed = True
                show_diff(name, want, got)
        return 1 if failed else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
