// File-level operations: Open, Close, Create, Stat, Set Owner, Clear Owner.
#include <cstring>

#include "btrcall.h"
#include "open_file.h"
#include "owner.h"
#include "platform.h"

#include <sqlite3.h>

namespace kv {

namespace {

constexpr size_t kMaxOwnerName = 8;

// The path in a key buffer: up to the first NUL, trailing blanks dropped
// (dictionary location fields are blank-padded).
std::string pathFromKey(const Call& c) {
    size_t n = 0;
    size_t cap = c.keyCapacity();
    while (n < cap && c.key[n] != 0) ++n;
    while (n > 0 && c.key[n - 1] == ' ') --n;
    return std::string(reinterpret_cast<const char*>(c.key), n);
}

// The NUL-terminated owner name at the start of a buffer, at most 8 bytes.
std::string ownerFrom(const uint8_t* buf, size_t cap) {
    size_t n = 0;
    while (buf && n < cap && n < kMaxOwnerName && buf[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(buf), n);
}

enum OwnerMode { OWNER_ALL_ACCESS = 0, OWNER_READ_WITHOUT = 1 };

}  // namespace

int openFile(const Call& c) {
    if (!c.posBlock) return KV_STATUS_NOT_OPEN;
    std::string given = pathFromKey(c);
    if (given.empty()) return KV_STATUS_BAD_FILE_NAME;
    PathKind kind;
    std::string path = resolvePath(given, kind);
    if (kind == PathKind::Missing) return KV_STATUS_FILE_NOT_FOUND;
    if (kind == PathKind::Directory) return KV_STATUS_BAD_FILE_NAME;

    bool readOnly = c.keyNum == -2;
    bool exclusive = c.keyNum == -3 || c.keyNum == -4;
    auto file = std::make_unique<OpenFile>();
    int status = file->store.open(path, readOnly, exclusive);
    if (status != KV_STATUS_SUCCESS) return status;
    file->readOnly = readOnly;

    std::string salt, hash, mode;
    bool hasSalt = false, hasHash = false, hasMode = false;
    status = file->store.metaGet("owner_salt", salt, hasSalt);
    if (status == KV_STATUS_SUCCESS) status = file->store.metaGet("owner_hash", hash, hasHash);
    if (status == KV_STATUS_SUCCESS) status = file->store.metaGet("owner_mode", mode, hasMode);
    if (status != KV_STATUS_SUCCESS) return status;
    if (hasSalt && hasHash) {
        if (!ownerMatches(ownerFrom(c.data, c.dataCapacity()), salt, hash)) {
            int ownerMode = hasMode && !mode.empty() ? static_cast<int>(mode[0]) : static_cast<int>(OWNER_ALL_ACCESS);
            if (ownerMode % 2 != OWNER_READ_WITHOUT) return KV_STATUS_WRONG_OWNER;
            file->readOnly = true;
        }
    }
    releaseHandle(c.posBlock);  // a block reused without Close drops its old file
    installHandle(c.posBlock, std::move(file));
    return KV_STATUS_SUCCESS;
}

int closeFile(const Call& c) {
    if (!lookupHandle(c.posBlock)) return KV_STATUS_NOT_OPEN;
    releaseHandle(c.posBlock);
    return KV_STATUS_SUCCESS;
}

int createFile(const Call& c) {
    FileDef def;
    int status = parseFileSpec(c.data, c.dataCapacity(), def);
    if (status != KV_STATUS_SUCCESS) return status;
    std::string given = pathFromKey(c);
    if (given.empty()) return KV_STATUS_BAD_FILE_NAME;
    PathKind kind;
    std::string path = resolvePath(given, kind);
    if (kind == PathKind::Directory) return KV_STATUS_BAD_FILE_NAME;
    if (kind == PathKind::File && c.keyNum == -1) return KV_STATUS_FILE_EXISTS;
    return Store::create(path, def);
}

int statFile(const Call& c) {
    OpenFile* f = lookupHandle(c.posBlock);
    if (!f) return KV_STATUS_NOT_OPEN;
    const FileDef& def = f->store.def();
    int status = f->store.begin(false);
    if (status != KV_STATUS_SUCCESS) return status;
    uint32_t records = 0;
    std::vector<uint32_t> counts;
    {
        Statement st = f->store.prepare("SELECT COUNT(*) FROM kv_records");
        int rc = st.ok() ? st.step() : SQLITE_ERROR;
        if (rc != SQLITE_ROW) status = statusFromSqlite(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
        else records = static_cast<uint32_t>(st.columnInt(0));
    }
    for (size_t i = 0; i < def.keys.size() && status == KV_STATUS_SUCCESS; ++i) {
        Statement st = f->store.prepare("SELECT COUNT(DISTINCT k) FROM " + Store::keyTable(i));
        int rc = st.ok() ? st.step() : SQLITE_ERROR;
        if (rc != SQLITE_ROW) status = statusFromSqlite(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
        else counts.push_back(static_cast<uint32_t>(st.columnInt(0)));
    }
    f->store.rollback();
    if (status != KV_STATUS_SUCCESS) return status;
    std::string out = encodeStat(def, records, counts);
    if (out.size() > c.dataCapacity()) return KV_STATUS_DATA_BUFFER_TOO_SHORT;
    std::memcpy(c.data, out.data(), out.size());
    c.setDataLen(static_cast<uint32_t>(out.size()));
    return KV_STATUS_SUCCESS;
}

int setOwner(const Call& c) {
    OpenFile* f = lookupHandle(c.posBlock);
    if (!f) return KV_STATUS_NOT_OPEN;
    if (f->readOnly) return KV_STATUS_ACCESS_DENIED;
    if (c.keyNum < 0 || c.keyNum > 3) return KV_STATUS_INVALID_OPERATION;
    std::string name = ownerFrom(c.data, c.dataCapacity());
    std::string confirm = ownerFrom(c.key, c.keyCapacity());
    if (name.empty() || name != confirm) return KV_STATUS_WRONG_OWNER;
    std::string existing;
    bool found = false;
    int status = f->store.metaGet("owner_hash", existing, found);
    if (status != KV_STATUS_SUCCESS) return status;
    if (found) return KV_STATUS_OWNER_ALREADY_SET;
    std::string salt, hash;
    if (!hashNewOwner(name, salt, hash)) return KV_STATUS_IO_ERROR;
    status = f->store.begin(true);
    if (status != KV_STATUS_SUCCESS) return status;
    status = f->store.metaPut("owner_salt", salt);
    if (status == KV_STATUS_SUCCESS) status = f->store.metaPut("owner_hash", hash);
    if (status == KV_STATUS_SUCCESS) status = f->store.metaPut("owner_mode", std::string(1, static_cast<char>(c.keyNum)));
    if (status != KV_STATUS_SUCCESS) {
        f->store.rollback();
        return status;
    }
    return f->store.commit();
}

int clearOwner(const Call& c) {
    OpenFile* f = lookupHandle(c.posBlock);
    if (!f) return KV_STATUS_NOT_OPEN;
    if (f->readOnly) return KV_STATUS_ACCESS_DENIED;
    int status = f->store.begin(true);
    if (status != KV_STATUS_SUCCESS) return status;
    for (const char* name : {"owner_salt", "owner_hash", "owner_mode"})
        if (status == KV_STATUS_SUCCESS) status = f->store.metaDelete(name);
    if (status != KV_STATUS_SUCCESS) {
        f->store.rollback();
        return status;
    }
    return f->store.commit();
}

}  // namespace kv
