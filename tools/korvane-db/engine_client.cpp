#include "engine_client.h"

#include <cstring>

#include "btrcall.h"

namespace kdb {

std::string statusWords(int status) {
    switch (status) {
    case 0: return "success";
    case 1: return "invalid operation";
    case 2: return "I/O error or damaged file";
    case 3: return "file not open";
    case 4: return "key value not found";
    case 5: return "duplicate key value";
    case 6: return "invalid key number";
    case 7: return "different key number";
    case 8: return "invalid positioning";
    case 9: return "end of file";
    case 10: return "modifiable key value changed";
    case 11: return "invalid file name";
    case 12: return "file not found";
    case 18: return "disk full";
    case 21: return "key buffer too short";
    case 22: return "data buffer too short";
    case 24: return "invalid page size";
    case 25: return "create I/O error";
    case 26: return "invalid number of keys";
    case 27: return "invalid key position";
    case 28: return "invalid record length";
    case 29: return "invalid key length or type";
    case 30: return "not an engine file";
    case 45: return "inconsistent key flags";
    case 46: return "access denied";
    case 48: return "invalid alternate collating sequence";
    case 50: return "owner already set";
    case 51: return "wrong owner name";
    case 59: return "file already exists";
    case 85: return "file locked";
    default: return "engine error";
    }
}

EngineError::EngineError(const std::string& file, int st)
    : std::runtime_error(file + ": " + statusWords(st) + " (status " + std::to_string(st) + ")"), status(st) {}

namespace {

void pathKey(const std::string& path, char (&key)[256]) {
    std::memset(key, 0, sizeof key);
    std::strncpy(key, path.c_str(), 254);
}

}  // namespace

void createEngineFile(const std::string& path, const Bytes& spec, bool overwrite) {
    char key[256];
    pathKey(path, key);
    Bytes buf = spec;
    uint32_t len = static_cast<uint32_t>(buf.size());
    uint8_t pos[128] = {};
    int st = BTRCALL(KV_OP_CREATE, pos, buf.data(), &len, key, 255, overwrite ? 0 : -1);
    if (st) throw EngineError(path, st);
}

EngineFile::EngineFile(const std::string& path, const std::string& owner, int8_t mode) : path_(path) {
    char key[256];
    pathKey(path, key);
    char data[64] = {};
    std::strncpy(data, owner.c_str(), 8);
    uint32_t len = sizeof data;
    int st = BTRCALL(KV_OP_OPEN, pos_, data, &len, key, 255, mode);
    if (st) throw EngineError(path, st);
    open_ = true;
}

EngineFile::~EngineFile() {
    if (open_) {
        uint32_t len = 0;
        char key[255] = {};
        BTRCALL(KV_OP_CLOSE, pos_, nullptr, &len, key, 255, 0);
    }
}

Bytes EngineFile::stat() {
    Bytes buf(33236);
    uint32_t len = static_cast<uint32_t>(buf.size());
    char key[256] = {};
    int st = BTRCALL(KV_OP_STAT, pos_, buf.data(), &len, key, 255, -1);
    if (st) throw EngineError(path_, st);
    buf.resize(len);
    return buf;
}

int EngineFile::insert(const Bytes& record) {
    Bytes rec = record;
    uint32_t len = static_cast<uint32_t>(rec.size());
    uint8_t key[255] = {};
    return BTRCALL(KV_OP_INSERT, pos_, rec.data(), &len, key, 255, 0);
}

int EngineFile::update(const Bytes& record) {
    Bytes rec = record;
    uint32_t len = static_cast<uint32_t>(rec.size());
    uint8_t key[255] = {};
    return BTRCALL(KV_OP_UPDATE, pos_, rec.data(), &len, key, 255, 0);
}

int EngineFile::get(uint16_t op, int8_t keyNum, Bytes& record, Bytes& key) {
    record.assign(70000, 0);
    key.resize(255, 0);
    uint32_t len = static_cast<uint32_t>(record.size());
    int st = BTRCALL(op, pos_, record.data(), &len, key.data(), 255, keyNum);
    record.resize(st == 0 ? len : 0);
    return st;
}

void EngineFile::setOwner(const std::string& owner, int mode) {
    char name[16] = {};
    std::strncpy(name, owner.c_str(), 8);
    char confirm[255] = {};
    std::strncpy(confirm, owner.c_str(), 8);
    uint32_t len = static_cast<uint32_t>(std::strlen(name) + 1);
    int st = BTRCALL(KV_OP_SET_OWNER, pos_, name, &len, confirm, 255, static_cast<int8_t>(mode));
    if (st) throw EngineError(path_, st);
}

void EngineFile::clearOwner() {
    uint32_t len = 0;
    char key[255] = {};
    int st = BTRCALL(KV_OP_CLEAR_OWNER, pos_, nullptr, &len, key, 255, 0);
    if (st) throw EngineError(path_, st);
}

void resetEngine() {
    uint32_t len = 0;
    BTRCALL(KV_OP_RESET, nullptr, nullptr, &len, nullptr, 0, 0);
}

}  // namespace kdb
