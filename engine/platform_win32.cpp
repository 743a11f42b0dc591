#include "platform.h"

#include <windows.h>

namespace kv {

std::string resolvePath(const std::string& given, PathKind& kind) {
    // Windows file names are case-insensitive already.
    DWORD attrs = GetFileAttributesA(given.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) kind = PathKind::Missing;
    else kind = (attrs & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::File;
    return given;
}

bool removeFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool replaceFile(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace kv
