#!/usr/bin/env bash
# Sets up, builds everything and runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}"
demo=$(mktemp -d /tmp/korvane-demo.XXXXXX)
./build/engine/engine-smoke ./build/engine/libkorvane-engine.so "$demo"
rm -rf "$demo"
