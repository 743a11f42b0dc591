#!/usr/bin/env bash
# new_case.sh NAME FIXTURE|- PROGRAM [ARGS...]: writes a case's cmd and fixture.
set -euo pipefail
dir="$(dirname "$0")/cases/$1"; fixture="$2"; shift 2
mkdir -p "$dir"
printf '%s\n' "$@" > "$dir/cmd"
[ "$fixture" = "-" ] || printf '%s\n' "$fixture" > "$dir/fixture"
