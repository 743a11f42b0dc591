truncate -s 1024 INDEX.DDF
