#!/usr/bin/env python3
"""Escape through a pseudo-terminal.

Keys typed before the run are waiting when it polls: 'x' at the first table
is swallowed and the run goes on; Escape at the second ends it with the
user-abort message and exit code 1, the dictionaries closed, and the
terminal's settings as they were before the run.
"""
import json, os, pty, subprocess, sys, tempfile, termios

korvane, kdb = sys.argv[1], sys.argv[2]
db = {"system": False, "tables": [{"name": n, "location": n + ".DAT"} for n in ("ALPHA", "BRAVO", "CHARLIE")]}
failures = []
with tempfile.TemporaryDirectory() as work:
    with open(os.path.join(work, "db.json"), "w") as f:
        json.dump(db, f)
    subprocess.run([kdb, "ddf", "build", work, "--from", os.path.join(work, "db.json")], check=True)
    master, slave = pty.openpty()
    before = termios.tcgetattr(slave)
    os.write(master, b"x\x1b")
    p = subprocess.run([korvane, "*", "/F", "/D"], cwd=work, stdin=slave, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=60)
    after = termios.tcgetattr(slave)
    out, err = p.stdout.decode(), p.stderr.decode()
    if p.returncode != 1:
        failures.append("exit code %d, not 1" % p.returncode)
    if err != "\nKorvane Terminated by the User.\n":
        failures.append("stderr %r" % err)
    if "Working On Table ALPHA..." not in out or "BRAVO" in out:
        failures.append("the first table runs and the second does not: %r" % out)
    if not out.endswith("Closing Data Dictionaries\nOp: 1, Buflen: 97, KeyNum: 1 Status: 0\n"
                        "Op: 1, Buflen: 32, KeyNum: 0 Status: 0\nOp: 1, Buflen: 10, KeyNum: 0 Status: 0\n"
                        "Data Dictionaries Closed\nOp: 28, Buflen: 97, KeyNum: 0 Status: 0\n"):
        failures.append("dictionaries closed and Reset sent: %r" % out[-300:])
    if before != after:
        failures.append("terminal settings changed: %r -> %r" % (before, after))
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
