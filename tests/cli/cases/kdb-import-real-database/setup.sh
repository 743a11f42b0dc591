# A database copied from another machine: the dictionary (written by
# korvane-db) and a data file a real 5.x engine wrote, its name in another case.
set -e
mkdir src && mv FILE.DDF FIELD.DDF INDEX.DDF src/
cp "$KORVANE_REAL/MBMGEPLT.DAT" src/mbmgeplt.dat
