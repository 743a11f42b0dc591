// The Gets. Each is one statement over a key's index table joined to the
// records, so it reads one consistent snapshot:
//  1. check the key number (6), the key buffer length (21) and, for Next
//     and Previous, the currency (8) and its key (7);
//  2. find the row by the operation's rule in (key value, insertion order);
//  3. deliver the record (22 when the buffer is too short) and its key
//     value, and move the currency there. A Get that finds nothing leaves
//     the currency as it was.
#include <cstring>

#include "btrcall.h"
#include "key_codec.h"
#include "open_file.h"

#include <sqlite3.h>

namespace kv {

namespace {

struct Found {
    std::string k;
    int64_t seq = 0;
    int64_t rid = 0;
    std::string data;
};

// Runs one positioning query; bindings: ?1 key value, ?2 sequence.
int findRow(Store& store, size_t keyIndex, const char* where, bool backwards, const std::string* k,
            int64_t seq, Found& out) {
    std::string order = backwards ? " ORDER BY t.k DESC, t.seq DESC" : " ORDER BY t.k, t.seq";
    std::string sql = "SELECT t.k, t.seq, t.rid, r.data FROM " + Store::keyTable(keyIndex) +
                      " AS t CROSS JOIN kv_records AS r ON r.id = t.rid" + (where[0] ? " WHERE " : "") + where +
                      order + " LIMIT 1";
    Statement st = store.prepare(sql);
    if (!st.ok()) return KV_STATUS_IO_ERROR;
    if (k) st.bindBlob(1, *k);
    st.bindInt(2, seq);
    int rc = st.step();
    if (rc == SQLITE_DONE) return KV_STATUS_END_OF_FILE;
    if (rc != SQLITE_ROW) return statusFromSqlite(rc);
    out.k = st.columnBlob(0);
    out.seq = st.columnInt(1);
    out.rid = st.columnInt(2);
    out.data = st.columnBlob(3);
    return KV_STATUS_SUCCESS;
}

// Hands a found record to the caller and makes it current.
int deliver(OpenFile& f, const Call& c, size_t keyIndex, const Found& row) {
    const FileDef& def = f.store.def();
    const KeyDef& key = def.keys[keyIndex];
    size_t cap = c.dataCapacity();
    if (row.data.size() > cap) {
        if (!def.variableLength() || cap < def.recordLength) return KV_STATUS_DATA_BUFFER_TOO_SHORT;
    }
    size_t n = row.data.size() < cap ? row.data.size() : cap;
    std::memcpy(c.data, row.data.data(), n);
    c.setDataLen(static_cast<uint32_t>(n));
    std::string raw = extractKey(def, key, reinterpret_cast<const uint8_t*>(row.data.data()), row.data.size());
    std::memcpy(c.key, raw.data(), raw.size());
    f.cursor = Cursor{true, true, static_cast<int>(keyIndex), row.k, row.seq, row.rid};
    return n < row.data.size() ? KV_STATUS_DATA_BUFFER_TOO_SHORT : KV_STATUS_SUCCESS;
}

}  // namespace

int getByKey(const Call& c) {
    OpenFile* f = lookupHandle(c.posBlock);
    if (!f) return KV_STATUS_NOT_OPEN;
    const FileDef& def = f->store.def();
    int keyIndex = def.keyIndex(c.keyNum);
    if (c.keyNum < 0 || keyIndex < 0) return KV_STATUS_INVALID_KEY_NUMBER;
    const KeyDef& key = def.keys[keyIndex];
    if (c.keyCapacity() < key.length) return KV_STATUS_KEY_BUFFER_TOO_SHORT;

    std::string k;
    if (c.op != KV_OP_GET_FIRST && c.op != KV_OP_GET_LAST) k = encodeKey(def, key, c.key);
    Found row;
    int status = KV_STATUS_END_OF_FILE;
    size_t i = static_cast<size_t>(keyIndex);
    switch (c.op) {
    case KV_OP_GET_EQUAL:
        status = findRow(f->store, i, "t.k = ?1", false, &k, 0, row);
        if (status == KV_STATUS_END_OF_FILE) status = KV_STATUS_KEY_NOT_FOUND;
        break;
    case KV_OP_GET_GREATER: status = findRow(f->store, i, "t.k > ?1", false, &k, 0, row); break;
    case KV_OP_GET_GREATER_OR_EQUAL: status = findRow(f->store, i, "t.k >= ?1", false, &k, 0, row); break;
    case KV_OP_GET_LESS: status = findRow(f->store, i, "t.k < ?1", true, &k, 0, row); break;
    case KV_OP_GET_LESS_OR_EQUAL:
        // An exact match gives the first of its duplicates, as Get Equal does.
        status = findRow(f->store, i, "t.k = ?1", false, &k, 0, row);
        if (status == KV_STATUS_END_OF_FILE) status = findRow(f->store, i, "t.k < ?1", true, &k, 0, row);
        break;
    case KV_OP_GET_FIRST: status = findRow(f->store, i, "", false, nullptr, 0, row); break;
    case KV_OP_GET_LAST: status = findRow(f->store, i, "", true, nullptr, 0, row); break;
    default: return KV_STATUS_INVALID_OPERATION;
    }
    if (status != KV_STATUS_SUCCESS) return status;
    return deliver(*f, c, i, row);
}

int stepCursor(const Call& c) {
    OpenFile* f = lookupHandle(c.posBlock);
    if (!f) return KV_STATUS_NOT_OPEN;
    const FileDef& def = f->store.def();
    if (!f->cursor.valid) return KV_STATUS_INVALID_POSITIONING;
    int keyIndex = def.keyIndex(c.keyNum);
    if (c.keyNum < 0 || keyIndex < 0) return KV_STATUS_INVALID_KEY_NUMBER;
    if (keyIndex != f->cursor.keyIndex) return KV_STATUS_DIFFERENT_KEY_NUMBER;
    if (c.keyCapacity() < def.keys[keyIndex].length) return KV_STATUS_KEY_BUFFER_TOO_SHORT;
    bool next = c.op == KV_OP_GET_NEXT;
    Found row;
    int status = findRow(f->store, static_cast<size_t>(keyIndex), next ? "(t.k, t.seq) > (?1, ?2)" : "(t.k, t.seq) < (?1, ?2)",
                         !next, &f->cursor.k, f->cursor.seq, row);
    if (status != KV_STATUS_SUCCESS) return status;
    return deliver(*f, c, static_cast<size_t>(keyIndex), row);
}

}  // namespace kv
