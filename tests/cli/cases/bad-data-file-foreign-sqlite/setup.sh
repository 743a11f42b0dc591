python3 -c 'import sqlite3; c = sqlite3.connect("CUSTOMER.DAT.new"); c.execute("create table t(x)"); c.commit()' && mv CUSTOMER.DAT.new CUSTOMER.DAT
