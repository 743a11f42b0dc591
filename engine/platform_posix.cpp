#include "platform.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace kv {

namespace {

PathKind kindOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return PathKind::Missing;
    return S_ISDIR(st.st_mode) ? PathKind::Directory : PathKind::File;
}

// The one entry of folder whose name equals name ignoring case, or "".
std::string uniqueCaseMatch(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return std::string();
    std::string match;
    int count = 0;
    while (dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
            match = entry->d_name;
            ++count;
        }
    }
    ::closedir(dir);
    return count == 1 ? match : std::string();
}

}  // namespace

std::string resolvePath(const std::string& given, PathKind& kind) {
    std::string path = given;
    for (char& c : path)
        if (c == '\\') c = '/';
    kind = kindOf(path);
    if (kind != PathKind::Missing) return path;

    // Walk the components, replacing each missing one by its unique
    // case-insensitive match.
    std::string built;
    size_t pos = 0;
    if (!path.empty() && path[0] == '/') {
        built = "/";
        pos = 1;
    }
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        std::string part = path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        if (!part.empty()) {
            std::string candidate = built + part;
            if (kindOf(candidate) == PathKind::Missing && part != "." && part != "..") {
                std::string match = uniqueCaseMatch(built, part);
                if (match.empty()) {
                    kind = PathKind::Missing;
                    return path;
                }
                candidate = built + match;
            }
            built = candidate;
            if (slash != std::string::npos) built += "/";
        }
        if (slash == std::string::npos) break;
        pos = slash + 1;
    }
    kind = kindOf(built);
    return kind == PathKind::Missing ? path : built;
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool replaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

}  // namespace kv
