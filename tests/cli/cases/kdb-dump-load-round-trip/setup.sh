# Dump a file, load the dump into a fresh file of the same spec: the two
# dumps must be identical, byte for byte.
set -e
$KDB demo . >/dev/null
$KDB stat CUSTOMER.DAT --json > spec.json
$KDB create COPY.DAT --spec spec.json
$KDB dump CUSTOMER.DAT --json > records.jsonl
$KDB load COPY.DAT records.jsonl >/dev/null
$KDB dump CUSTOMER.DAT --json > a.jsonl
$KDB dump COPY.DAT --json > b.jsonl
cmp a.jsonl b.jsonl
$KDB stat CUSTOMER.DAT | tail -n +2 > a.stat
$KDB stat COPY.DAT | tail -n +2 > b.stat
cmp a.stat b.stat
