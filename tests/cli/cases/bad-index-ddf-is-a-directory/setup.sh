rm INDEX.DDF && mkdir INDEX.DDF
