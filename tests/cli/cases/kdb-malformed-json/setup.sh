printf '{\n  "tables": [\n    {"name": "A",, "location": "A.DAT"}\n  ]\n}\n' > bad.json
