#!/usr/bin/env bash
# Crash safety: kills `korvane "*"` with SIGKILL at random moments and
# checks after each kill that the three dictionary files are sound and that
# a second run completes the repair: added plus verified equals the full set
# of index records, and INDEX.DDF then holds exactly that set.
#   tests/stress/crash.sh [KILLS=50] [TABLES=300] [SEED=1]
# BUILD names the build directory (default: build).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(cd "${BUILD:-build}" && pwd)
kills=${1:-50} tables=${2:-300} seed=${3:-1}
korvane=$build/korvane kdb=$build/tools/korvane-db/korvane-db
work=$(mktemp -d /tmp/korvane-crash.XXXXXX)
trap 'rm -rf "$work"' EXIT
RANDOM=$seed

"$build/bench/bench-gen" "$work/src" "$tables" "$seed" >/dev/null
cp -r "$work/src" "$work/ref"
start=$(date +%s%N)
(cd "$work/ref" && "$korvane" "*" /S 2>/dev/null) > "$work/ref.out"
run_ms=$(( ($(date +%s%N) - start) / 1000000 + 1 ))
expected=$(sed -n 's/^Indices Added   = //p' "$work/ref.out")
"$kdb" dump "$work/ref/INDEX.DDF" --key 2 > "$work/ref.dump"
echo "crash: $tables tables, $expected index records, a full run takes ${run_ms} ms"

mid_run=0
for i in $(seq 1 "$kills"); do
  rm -rf "$work/run"
  cp -r "$work/src" "$work/run"
  wait_ms=$(( (RANDOM * 32768 + RANDOM) % run_ms ))
  (cd "$work/run" && exec "$korvane" "*" >/dev/null 2>&1) &
  pid=$!
  sleep "$(printf '%d.%03d' $((wait_ms / 1000)) $((wait_ms % 1000)))"
  if kill -9 "$pid" 2>/dev/null; then mid_run=$((mid_run + 1)); fi
  wait "$pid" 2>/dev/null || true
  for f in FILE FIELD INDEX; do
    "$kdb" check "$work/run/$f.DDF" >/dev/null || { echo "crash: kill $i: $f.DDF is not sound"; exit 1; }
  done
  (cd "$work/run" && "$korvane" "*" /S 2>/dev/null) > "$work/run.out"
  added=$(sed -n 's/^Indices Added   = //p' "$work/run.out")
  verified=$(sed -n 's/^Indices Verified= //p' "$work/run.out")
  if [ $((added + verified)) -ne "$expected" ]; then
    echo "crash: kill $i after ${wait_ms} ms: added $added + verified $verified != $expected"; exit 1
  fi
  "$kdb" dump "$work/run/INDEX.DDF" --key 2 > "$work/run.dump"
  cmp -s "$work/ref.dump" "$work/run.dump" || { echo "crash: kill $i: INDEX.DDF differs from a clean run"; exit 1; }
done
echo "crash: $kills kills ($mid_run during the run), every dictionary sound and every repair complete"
