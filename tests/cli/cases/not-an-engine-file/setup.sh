printf "this is not an engine file\n" > INDEX.DDF
