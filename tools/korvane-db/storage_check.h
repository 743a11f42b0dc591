// The storage-level half of `check`, for files of the embedded engine: a
// read-only look at the SQLite database under the engine file. Files of any
// other engine are checked through the engine call alone.
#ifndef KORVANE_DB_STORAGE_CHECK_H
#define KORVANE_DB_STORAGE_CHECK_H

#include <string>
#include <vector>

namespace kdb {

// Problems found (empty when sound); applies is false when the file is not
// the embedded engine's.
std::vector<std::string> checkStorage(const std::string& path, bool& applies);

}  // namespace kdb

#endif
