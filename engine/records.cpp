// Record writes: Insert, Update, Delete. Each runs as one transaction:
//  1. check the record against the file (length, writable);
//  2. encode every key of the new image, leaving out null keys;
//  3. refuse a duplicate on a unique key (5) or a changed non-modifiable
//     key (10);
//  4. write the record row and its index rows; a changed key's row goes to
//     the end of its duplicate group.
#include <cstring>
#include <optional>
#include <vector>

#include "btrcall.h"
#include "key_codec.h"
#include "open_file.h"

#include <sqlite3.h>

namespace kv {

namespace {

constexpr uint32_t kMaxVariableRecord = 16u * 1024u * 1024u;

using EncodedKeys = std::vector<std::optional<std::string>>;

EncodedKeys encodeAll(const FileDef& def, const std::string& rec) {
    EncodedKeys out;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(rec.data());
    for (const KeyDef& key : def.keys) {
        std::string raw = extractKey(def, key, p, rec.size());
        const uint8_t* r = reinterpret_cast<const uint8_t*>(raw.data());
        if (keyIsNull(key, r)) out.emplace_back(std::nullopt);
        else out.emplace_back(encodeKey(def, key, r));
    }
    return out;
}

// The record as the caller sent it: the fixed part for a fixed-length file,
// everything sent for a variable-length one. Status 22 when too short.
int recordFromCall(const Call& c, const FileDef& def, std::string& rec) {
    uint32_t n = c.dataSize();
    if (!c.data || n < def.recordLength) return KV_STATUS_DATA_BUFFER_TOO_SHORT;
    if (!def.variableLength()) n = def.recordLength;
    else if (n > kMaxVariableRecord) return KV_STATUS_DATA_BUFFER_TOO_SHORT;
    rec.assign(reinterpret_cast<const char*>(c.data), n);
    return KV_STATUS_SUCCESS;
}

// 1 when another record (not exclude) holds k in key table i; -status on error.
int keyTaken(Store& store, size_t i, const std::string& k, int64_t exclude) {
    Statement st = store.prepare("SELECT 1 FROM " + Store::keyTable(i) + " WHERE k = ?1 AND rid <> ?2 LIMIT 1");
    if (!st.ok()) return -KV_STATUS_IO_ERROR;
    st.bindBlob(1, k);
    st.bindInt(2, exclude);
    int rc = st.step();
    if (rc == SQLITE_ROW) return 1;
    if (rc == SQLITE_DONE) return 0;
    return -statusFromSqlite(rc);
}

int addIndexRow(Store& store, size_t i, const std::string& k, int64_t rid, int64_t& seq) {
    std::string t = Store::keyTable(i);
    {
        Statement st = store.prepare("SELECT COALESCE(MAX(seq) + 1, 0) FROM " + t + " WHERE k = ?1");
        if (!st.ok()) return KV_STATUS_IO_ERROR;
        st.bindBlob(1, k);
        int rc = st.step();
        if (rc != SQLITE_ROW) return statusFromSqlite(rc);
        seq = st.columnInt(0);
    }
    Statement st = store.prepare("INSERT INTO " + t + "(k, seq, rid) VALUES (?1, ?2, ?3)");
    if (!st.ok()) return KV_STATUS_IO_ERROR;
    st.bindBlob(1, k);
    st.bindInt(2, seq);
    st.bindInt(3, rid);
    return statusFromSqlite(st.step());
}

int dropIndexRows(Store& store, size_t i, int64_t rid) {
    Statement st = store.prepare("DELETE FROM " + Store::keyTable(i) + " WHERE rid = ?1");
    if (!st.ok()) return KV_STATUS_IO_ERROR;
    st.bindInt(1, rid);
    return statusFromSqlite(st.step());
}

// Fills autoincrement key values that arrive as 0 with the key's highest
// value plus one, in the record and in the caller's buffer.
int fillAutoincrement(Store& store, const Call& c, std::string& rec) {
    const FileDef& def = store.def();
    for (size_t i = 0; i < def.keys.size(); ++i) {
        const SegmentSpec& s = def.keys[i].segments[0];
        if (s.effectiveType() != KT_AUTOINCREMENT) continue;
        size_t at = s.position - 1u;
        bool zero = true;
        for (unsigned b = 0; b < s.length; ++b) zero &= rec[at + b] == 0;
        if (!zero) continue;
        bool descending = (s.flags & KF_DESCENDING) != 0;
        Statement st = store.prepare("SELECT k FROM " + Store::keyTable(i) + " ORDER BY k " +
                                     (descending ? "ASC" : "DESC") + " LIMIT 1");
        if (!st.ok()) return KV_STATUS_IO_ERROR;
        int rc = st.step();
        int64_t highest = 0;
        if (rc == SQLITE_ROW) {
            std::string k = st.columnBlob(0);
            uint64_t v = 0;
            for (unsigned b = 0; b < s.length && b < k.size(); ++b) {
                uint8_t byte = static_cast<uint8_t>(k[b]);
                if (descending) byte = static_cast<uint8_t>(~byte);
                if (b == 0) byte ^= 0x80;
                v = (v << 8) | byte;
            }
            unsigned bits = 8 * s.length;
            if (bits < 64 && (v >> (bits - 1)) & 1) v |= ~0ull << bits;  // sign-extend
            highest = static_cast<int64_t>(v);
        } else if (rc != SQLITE_DONE) {
            return statusFromSqlite(rc);
        }
        uint64_t next = static_cast<uint64_t>(highest < 0 ? 1 : highest + 1);
        for (unsigned b = 0; b < s.length; ++b) {
            uint8_t byte = static_cast<uint8_t>(next >> (8 * b));
            rec[at + b] = static_cast<char>(byte);
            c.data[at + b] = byte;
        }
    }
    return KV_STATUS_SUCCESS;
}

int insertLocked(Store& store, const Call& c, std::string& rec, Cursor& cursor) {
    const FileDef& def = store.def();
    int status = fillAutoincrement(store, c, rec);
    if (status != KV_STATUS_SUCCESS) return status;
    EncodedKeys keys = encodeAll(def, rec);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (!keys[i] || !def.keys[i].unique()) continue;
        int taken = keyTaken(store, i, *keys[i], -1);
        if (taken < 0) return -taken;
        if (taken) return KV_STATUS_DUPLICATE_KEY;
    }
    int64_t rid = 0;
    {
        Statement st = store.prepare("INSERT INTO kv_records(data) VALUES (?1)");
        if (!st.ok()) return KV_STATUS_IO_ERROR;
        st.bindBlob(1, rec);
        status = statusFromSqlite(st.step());
        if (status != KV_STATUS_SUCCESS) return status;
        rid = sqlite3_last_insert_rowid(store.db());
    }
    int currencyKey = def.keyIndex(c.keyNum);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (!keys[i]) continue;
        int64_t seq = 0;
        status = addIndexRow(store, i, *keys[i], rid, seq);
        if (status != KV_STATUS_SUCCESS) return status;
        if (static_cast<int>(i) == currencyKey) cursor = Cursor{true, true, currencyKey, *keys[i], seq, rid};
    }
    return KV_STATUS_SUCCESS;
}

int updateLocked(Store& store, const std::string& rec, Cursor& cursor) {
    const FileDef& def = store.def();
    std::string old;
    {
        Statement st = store.prepare("SELECT data FROM kv_records WHERE id = ?1");
        if (!st.ok()) return KV_STATUS_IO_ERROR;
        st.bindInt(1, cursor.rid);
        int rc = st.step();
        if (rc == SQLITE_DONE) return KV_STATUS_INVALID_POSITIONING;
        if (rc != SQLITE_ROW) return statusFromSqlite(rc);
        old = st.columnBlob(0);
    }
    EncodedKeys before = encodeAll(def, old);
    EncodedKeys after = encodeAll(def, rec);
    for (size_t i = 0; i < after.size(); ++i) {
        if (before[i] == after[i]) continue;
        if (!def.keys[i].modifiable()) return KV_STATUS_MODIFIABLE_KEY_CHANGED;
        if (after[i] && def.keys[i].unique()) {
            int taken = keyTaken(store, i, *after[i], cursor.rid);
            if (taken < 0) return -taken;
            if (taken) return KV_STATUS_DUPLICATE_KEY;
        }
    }
    {
        Statement st = store.prepare("UPDATE kv_records SET data = ?1 WHERE id = ?2");
        if (!st.ok()) return KV_STATUS_IO_ERROR;
        st.bindBlob(1, rec);
        st.bindInt(2, cursor.rid);
        int status = statusFromSqlite(st.step());
        if (status != KV_STATUS_SUCCESS) return status;
    }
    for (size_t i = 0; i < after.size(); ++i) {
        if (before[i] == after[i]) continue;
        int status = dropIndexRows(store, i, cursor.rid);
        if (status != KV_STATUS_SUCCESS) return status;
        if (!after[i]) continue;
        int64_t seq = 0;
        status = addIndexRow(store, i, *after[i], cursor.rid, seq);
        if (status != KV_STATUS_SUCCESS) return status;
        if (static_cast<int>(i) == cursor.keyIndex) {
            cursor.k = *after[i];
            cursor.seq = seq;
        }
    }
    return KV_STATUS_SUCCESS;
}

int deleteLocked(Store& store, int64_t rid) {
    for (size_t i = 0; i < store.def().keys.size(); ++i) {
        int status = dropIndexRows(store, i, rid);
        if (status != KV_STATUS_SUCCESS) return status;
    }
    Statement st = store.prepare("DELETE FROM kv_records WHERE id = ?1");
    if (!st.ok()) return KV_STATUS_IO_ERROR;
    st.bindInt(1, rid);
    return statusFromSqlite(st.step());
}

// Runs body inside one write transaction, committing on success and rolling
// back on any failure; currency changes are kept only when it commits.
template <typename Body>
int inWriteTransaction(OpenFile& f, Body body) {
    if (f.readOnly) return KV_STATUS_ACCESS_DENIED;
    int status = f.store.begin(true);
    if (status != KV_STATUS_SUCCESS) return status;
    Cursor cursor = f.cursor;
    status = body(cursor);
    if (status != KV_STATUS_SUCCESS) {
        f.store.rollback();
        return status;
    }
    status = f.store.commit();
    if (status == KV_STATUS_SUCCESS) f.cursor = cursor;
    return status;
}

}  // namespace

int insertRecord(const Call& c) {
    OpenFile* f = lookupHandle(c.posBlock);
    if (!f) return KV_STATUS_NOT_OPEN;
    std::string rec;
    int status = recordFromCall(c, f->store.def(), rec);
    if (status != KV_STATUS_SUCCESS) return status;
    return inWriteTransaction(*f, [&](Cursor& cursor) { return insertLocked(f->store, c, rec, cursor); });
}

int updateRecord(const Call& c) {
    OpenFile* f = lookupHandle(c.posBlock);
    if (!f) return KV_STATUS_NOT_OPEN;
    if (!f->cursor.valid || !f->cursor.onRecord) return KV_STATUS_INVALID_POSITIONING;
    std::string rec;
    int status = recordFromCall(c, f->store.def(), rec);
    if (status != KV_STATUS_SUCCESS) return status;
    return inWriteTransaction(*f, [&](Cursor& cursor) { return updateLocked(f->store, rec, cursor); });
}

int deleteRecord(const Call& c) {
    OpenFile* f = lookupHandle(c.posBlock);
    if (!f) return KV_STATUS_NOT_OPEN;
    if (!f->cursor.valid || !f->cursor.onRecord) return KV_STATUS_INVALID_POSITIONING;
    return inWriteTransaction(*f, [&](Cursor& cursor) {
        int status = deleteLocked(f->store, cursor.rid);
        if (status == KV_STATUS_SUCCESS) cursor.onRecord = false;
        return status;
    });
}

}  // namespace kv
