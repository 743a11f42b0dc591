truncate -s $(( $(stat -c %s FIELD.DDF) / 2 )) FIELD.DDF
