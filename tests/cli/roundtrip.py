#!/usr/bin/env python3
"""ddf build then ddf show --json gives back the description it was built from."""
import json, subprocess, sys, tempfile

kdb, description = sys.argv[1], sys.argv[2]
with open(description) as f:
    want = json.load(f)
with tempfile.TemporaryDirectory() as work:
    subprocess.run([kdb, "ddf", "build", work, "--from", description], check=True)
    got = json.loads(subprocess.run([kdb, "ddf", "show", work, "--json"], check=True,
                                    stdout=subprocess.PIPE).stdout)
if got != want:
    print("expected:", json.dumps(want, indent=1))
    print("got:     ", json.dumps(got, indent=1))
    sys.exit(1)
