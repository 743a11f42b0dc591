#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build with ctest, then the
# ASan+UBSan build with ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="${JOBS:-2}"

echo "== build (RelWithDebInfo)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest -j"$jobs" --output-on-failure)

echo "== build (ASan+UBSan)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest -j"$jobs" --output-on-failure)
