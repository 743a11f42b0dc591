truncate -s 2048 CUSTOMER.DAT
