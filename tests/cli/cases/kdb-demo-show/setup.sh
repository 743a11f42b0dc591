$KDB demo . >/dev/null
