cat > db.json <<'JSON'
{"tables": [{"name": "ORDERS", "location": "ORDERS.DAT", "file": {"recordLength": 8, "keys": []}},
            {"name": "orders", "location": "ORDERS2.DAT"}]}
JSON
