$KORVANE "*" >/dev/null 2>&1
