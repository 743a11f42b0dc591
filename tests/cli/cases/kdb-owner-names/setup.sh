# T.DAT gets an owner; dumping it then needs the name.
set -e
printf '{"recordLength": 4, "keys": [{"segments": [{"position": 1, "length": 4}]}]}\n' > spec.json
$KDB create T.DAT --spec spec.json
printf '{"hex": "41424344"}\n' > r.jsonl
$KDB load T.DAT r.jsonl >/dev/null
$KDB set-owner T.DAT SECRET
$KDB --owner SECRET dump T.DAT >/dev/null
$KDB --owner SECRET clear-owner T.DAT
$KDB set-owner T.DAT OTHER
