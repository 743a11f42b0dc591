# Random bytes (a fixed seed) over the file's second page.
python3 -c '
import random
r = random.Random(7)
with open("FIELD.DDF", "r+b") as f:
    f.seek(4096)
    f.write(bytes(r.randrange(256) for _ in range(4096)))
'
