# Behind the engine's back: drop one entry of key 1 and add an entry of
# key 0 that points at no record.
python3 -c '
import sqlite3
c = sqlite3.connect("FIELD.DDF")
c.execute("DELETE FROM kv_key_1 WHERE (k, seq) IN (SELECT k, seq FROM kv_key_1 LIMIT 1)")
c.execute("INSERT INTO kv_key_0 VALUES (zeroblob(2), 0, 999999)")
c.commit()
'
