set -e
mkdir src && mv FILE.DDF FIELD.DDF INDEX.DDF src/
cp "$KORVANE_REAL/MBMGEPLT.DAT" src/mbmgeplt.dat
$KDB import src . >/dev/null || true
