"$KDB" demo . >/dev/null
