#include "owner.h"

#include <sodium.h>

namespace kv {

namespace {

constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = crypto_generichash_BYTES;

bool hashWith(const std::string& name, const std::string& salt, std::string& hash) {
    unsigned char out[kHashBytes];
    if (crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(name.data()), name.size(),
                           reinterpret_cast<const unsigned char*>(salt.data()), salt.size()) != 0)
        return false;
    hash.assign(reinterpret_cast<const char*>(out), sizeof out);
    return true;
}

}  // namespace

bool hashNewOwner(const std::string& name, std::string& salt, std::string& hash) {
    if (sodium_init() < 0) return false;
    unsigned char bytes[kSaltBytes];
    randombytes_buf(bytes, sizeof bytes);
    salt.assign(reinterpret_cast<const char*>(bytes), sizeof bytes);
    return hashWith(name, salt, hash);
}

bool ownerMatches(const std::string& name, const std::string& salt, const std::string& hash) {
    if (sodium_init() < 0) return false;
    std::string computed;
    if (!hashWith(name, salt, computed) || computed.size() != hash.size()) return false;
    return sodium_memcmp(computed.data(), hash.data(), hash.size()) == 0;
}

}  // namespace kv
