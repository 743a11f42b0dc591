#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build with ctest; the
# golden cases again with korvane linked against an external requester
# library (our own shared engine); the ASan+UBSan build with ctest; and a
# short seeded run of each fuzzer, built with clang.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="${JOBS:-2}"

echo "== build (RelWithDebInfo)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest -j"$jobs" --output-on-failure)

echo "== korvane linked against an external requester (our own shared engine)"
requester="$PWD/build/engine/libkorvane-engine.so"
cmake -S . -B build-requester -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_REQUESTER="$requester" -DKORVANE_BENCH=OFF >/dev/null
cmake --build build-requester -j"$jobs" --target korvane korvane-db
if ! ldd build-requester/korvane | grep -q "libkorvane-engine.so"; then
  echo "test: build-requester/korvane does not load $requester" >&2
  exit 1
fi
(cd build-requester && ctest -j"$jobs" -L golden --output-on-failure)

echo "== build (ASan+UBSan)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest -j"$jobs" --output-on-failure)

echo "== fuzz smoke (clang, libFuzzer, ASan+UBSan; long runs: tests/fuzz/run.sh SECONDS)"
FUZZ_RUNS=300 bash tests/fuzz/run.sh
