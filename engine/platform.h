// The engine's few file-system needs, with one source per platform
// (platform_posix.cpp, platform_win32.cpp).
#ifndef KORVANE_ENGINE_PLATFORM_H
#define KORVANE_ENGINE_PLATFORM_H

#include <string>

namespace kv {

enum class PathKind { Missing, File, Directory };

// Resolves a path as the engine understands it: '\' is a separator, and a
// component that does not exist under its exact name is replaced by the one
// entry of its folder that matches it case-insensitively (dictionaries copied
// from DOS and Windows keep working). kind tells what the result names.
std::string resolvePath(const std::string& given, PathKind& kind);

bool removeFile(const std::string& path);
// Atomically moves from over to (replacing to).
bool replaceFile(const std::string& from, const std::string& to);

}  // namespace kv

#endif
