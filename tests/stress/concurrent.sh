#!/usr/bin/env bash
# Concurrent runs: two `korvane "*"` started together on one dictionary both
# exit 0 and leave INDEX.DDF as one run does (the unique key turns the
# loser's inserts into verifications); and a run while korvane-db dumps the
# same files in a loop, every dump succeeding.
#   tests/stress/concurrent.sh [ROUNDS=5] [TABLES=200]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(cd "${BUILD:-build}" && pwd)
rounds=${1:-5} tables=${2:-200}
korvane=$build/korvane kdb=$build/tools/korvane-db/korvane-db
work=$(mktemp -d /tmp/korvane-concurrent.XXXXXX)
trap 'rm -rf "$work"' EXIT

"$build/bench/bench-gen" "$work/src" "$tables" >/dev/null
cp -r "$work/src" "$work/ref"
(cd "$work/ref" && "$korvane" "*" /S 2>/dev/null) > "$work/ref.out"
expected=$(sed -n 's/^Indices Added   = //p' "$work/ref.out")
"$kdb" dump "$work/ref/INDEX.DDF" --key 2 > "$work/ref.dump"

for r in $(seq 1 "$rounds"); do
  rm -rf "$work/run"; cp -r "$work/src" "$work/run"
  (cd "$work/run" && "$korvane" "*" /S 2>"$work/a.err" >"$work/a.out") & a=$!
  (cd "$work/run" && "$korvane" "*" /S 2>"$work/b.err" >"$work/b.out") & b=$!
  wait $a || { echo "concurrent: round $r: the first run failed"; cat "$work/a.err"; exit 1; }
  wait $b || { echo "concurrent: round $r: the second run failed"; cat "$work/b.err"; exit 1; }
  if grep -q "Btrieve Error" "$work/a.err" "$work/b.err"; then echo "concurrent: round $r: an engine error"; exit 1; fi
  added=$(( $(sed -n 's/^Indices Added   = //p' "$work/a.out") + $(sed -n 's/^Indices Added   = //p' "$work/b.out") ))
  [ "$added" -eq "$expected" ] || { echo "concurrent: round $r: $added added between them, not $expected"; exit 1; }
  "$kdb" dump "$work/run/INDEX.DDF" --key 2 > "$work/run.dump"
  cmp -s "$work/ref.dump" "$work/run.dump" || { echo "concurrent: round $r: INDEX.DDF differs from one run"; exit 1; }
done

rm -rf "$work/run"; cp -r "$work/src" "$work/run"
(cd "$work/run" && "$korvane" "*" /S >"$work/a.out" 2>"$work/a.err") & a=$!
dumps=0
while kill -0 $a 2>/dev/null; do
  for f in INDEX FIELD FILE; do
    "$kdb" dump "$work/run/$f.DDF" >/dev/null || { echo "concurrent: a dump of $f.DDF failed during the run"; exit 1; }
    dumps=$((dumps + 1))
  done
done
wait $a || { echo "concurrent: the run beside the dumps failed"; exit 1; }
"$kdb" dump "$work/run/INDEX.DDF" --key 2 > "$work/run.dump"
cmp -s "$work/ref.dump" "$work/run.dump" || { echo "concurrent: INDEX.DDF differs after the run beside the dumps"; exit 1; }
echo "concurrent: $rounds rounds of two runs, and one run beside $dumps dumps: all sound"
