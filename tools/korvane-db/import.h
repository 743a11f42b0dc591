// korvane-db import: converts files written by a real 5.x or 6.x engine
// into engine files, one file or a whole database directory at a time.
#ifndef KORVANE_DB_IMPORT_H
#define KORVANE_DB_IMPORT_H

#include <string>

#include "real_format.h"

namespace kdb {

// The Create buffer that gives a converted file the original's record
// length, page size, key numbers, flags and types.
Bytes createBufferFor(const RealFile& real);

// Converts SRC (a file, or a directory holding FILE.DDF, FIELD.DDF,
// INDEX.DDF and the data files FILE.DDF names) into DEST, printing a summary
// table. Returns the exit code: 0 when everything converted, 2 when a file
// was skipped, 1 when nothing could be done.
int importDatabase(const std::string& src, const std::string& dest);

}  // namespace kdb

#endif
