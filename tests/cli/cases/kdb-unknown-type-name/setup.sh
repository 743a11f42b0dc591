printf '{"recordLength": 10, "keys": [{"segments": [{"position": 1, "length": 4, "type": "integr"}]}]}\n' > spec.json
