printf '{"recordLength": 10, "keys": [{"segments": [{"position": 8, "length": 4}]}]}\n' > spec.json
