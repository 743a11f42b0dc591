#!/usr/bin/env bash
# Sets up, builds, and runs the demo: a small database whose INDEX.DDF lacks
# most index definitions, shown before and after `korvane "*" /S`.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}" >/dev/null
top=$PWD
demo=$(mktemp -d /tmp/korvane-demo.XXXXXX)
cd "$demo"
"$top/build/tools/korvane-db/korvane-db" demo .
echo; echo "== The dictionary before the repair"; echo
"$top/build/tools/korvane-db/korvane-db" ddf show .
echo "== korvane \"*\" /S"; echo
"$top/build/korvane" "*" /S
echo; echo "== The dictionary after the repair"; echo
"$top/build/tools/korvane-db/korvane-db" ddf show .
echo "(the demo database is in $demo)"
