// Owner-name hashing. An owner name is never stored: only a random salt and
// a keyed hash of the name under that salt (owner_sodium.cpp on POSIX).
#ifndef KORVANE_ENGINE_OWNER_H
#define KORVANE_ENGINE_OWNER_H

#include <string>

namespace kv {

// Makes a fresh salt and the hash of name under it; false if the library
// could not be used.
bool hashNewOwner(const std::string& name, std::string& salt, std::string& hash);

// True when name hashes, under salt, to hash.
bool ownerMatches(const std::string& name, const std::string& salt, const std::string& hash);

}  // namespace kv

#endif
