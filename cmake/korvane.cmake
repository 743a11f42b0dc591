# the repair tool (added with the tool)
