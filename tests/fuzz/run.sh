#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) and runs each one for
# SECONDS (default 60), starting from its seed corpus under tests/fuzz/corpus.
# New inputs go to build-fuzz/corpus/NAME; a crash leaves crash-* there.
#   tests/fuzz/run.sh [SECONDS] [NAME...]     names: keys btrcall runmain
# With FUZZ_RUNS=N each fuzzer instead runs N inputs from seed 1, which is
# what the test command does as a smoke check.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-60}"; shift || true
names=("$@"); [ ${#names[@]} -gt 0 ] || names=(keys btrcall runmain)
cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVANE_FUZZ=ON -DKORVANE_SANITIZE=ON -DKORVANE_TESTS=OFF -DKORVANE_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target $(printf 'fuzz_%s ' "${names[@]}")
status=0
for name in "${names[@]}"; do
  mkdir -p "build-fuzz/corpus/$name"
  echo "== fuzz_$name"
  quiet=""; [ "$name" = runmain ] && quiet="-close_fd_mask=3"
  limit="-max_total_time=$seconds"; [ -n "${FUZZ_RUNS:-}" ] && limit="-runs=$FUZZ_RUNS -seed=1"
  (cd build-fuzz/corpus && "../tests/fuzz/fuzz_$name" $limit -print_final_stats=1 $quiet \
      -artifact_prefix="$PWD/$name-" "$PWD/$name" "$PWD/../../tests/fuzz/corpus/$name") || status=1
done
exit $status
