// SQLite store: connection set-up, validation of a file as one of ours,
// creation of new files, the statement cache and the status mapping.
#include "store.h"

#include <sqlite3.h>

#include <cstdio>

#include "btrcall.h"
#include "platform.h"

namespace kv {

int statusFromSqlite(int rc) {
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return KV_STATUS_SUCCESS;
    case SQLITE_FULL: return KV_STATUS_DISK_FULL;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return KV_STATUS_FILE_LOCKED;
    case SQLITE_NOTADB: return KV_STATUS_NOT_AN_ENGINE_FILE;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return KV_STATUS_ACCESS_DENIED;
    case SQLITE_CANTOPEN: return KV_STATUS_FILE_NOT_FOUND;
    default: return KV_STATUS_IO_ERROR;  // corruption, I/O errors, a damaged schema
    }
}

Statement::~Statement() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

void Statement::bindBlob(int i, const std::string& v) {
    sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
}
void Statement::bindInt(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
void Statement::bindText(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
}
int Statement::step() { return sqlite3_step(stmt_); }
int64_t Statement::columnInt(int i) { return sqlite3_column_int64(stmt_, i); }
std::string Statement::columnBlob(int i) {
    const void* p = sqlite3_column_blob(stmt_, i);
    int n = sqlite3_column_bytes(stmt_, i);
    return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
}

Store::~Store() {
    for (auto& entry : cache_) sqlite3_finalize(entry.second);
    if (db_) sqlite3_close_v2(db_);
}

Statement Store::prepare(const std::string& sql) {
    auto it = cache_.find(sql);
    if (it != cache_.end()) return Statement(it->second);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return Statement(nullptr);
    }
    cache_[sql] = stmt;
    return Statement(stmt);
}

int Store::exec(const char* sql) { return statusFromSqlite(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr)); }

// Transaction control runs through cached statements: sqlite3_exec would
// parse the text again on every write.
int Store::runCached(const char* sql) {
    Statement st = prepare(sql);
    if (!st.ok()) return statusFromSqlite(sqlite3_errcode(db_));
    return statusFromSqlite(st.step());
}

int Store::begin(bool write) { return runCached(write ? "BEGIN IMMEDIATE" : "BEGIN"); }
int Store::commit() {
    int status = runCached("COMMIT");
    if (status != KV_STATUS_SUCCESS) rollback();
    return status;
}
void Store::rollback() {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

int Store::metaGet(const std::string& name, std::string& value, bool& found) {
    auto it = meta_.find(name);
    found = it != meta_.end();
    if (found) value = it->second;
    return KV_STATUS_SUCCESS;
}

int Store::loadMeta() {
    meta_.clear();
    Statement st = prepare("SELECT name, value FROM kv_meta");
    if (!st.ok()) return statusFromSqlite(sqlite3_errcode(db_));
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) meta_[st.columnBlob(0)] = st.columnBlob(1);
    return statusFromSqlite(rc);
}

int Store::metaPut(const std::string& name, const std::string& value) {
    Statement st = prepare("INSERT OR REPLACE INTO kv_meta(name, value) VALUES (?1, ?2)");
    if (!st.ok()) return statusFromSqlite(sqlite3_errcode(db_));
    st.bindText(1, name);
    st.bindBlob(2, value);
    int status = statusFromSqlite(st.step());
    if (status == KV_STATUS_SUCCESS) meta_[name] = value;
    return status;
}

int Store::metaDelete(const std::string& name) {
    Statement st = prepare("DELETE FROM kv_meta WHERE name = ?1");
    if (!st.ok()) return statusFromSqlite(sqlite3_errcode(db_));
    st.bindText(1, name);
    int status = statusFromSqlite(st.step());
    if (status == KV_STATUS_SUCCESS) meta_.erase(name);
    return status;
}

namespace {

// Reads one integer pragma; returns an engine status.
int readPragma(sqlite3* db, const char* sql, int& value) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            value = sqlite3_column_int(stmt, 0);
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(stmt);
    return statusFromSqlite(rc);
}

constexpr int kOpenBusyMs = 1000;
constexpr int kBusyMs = 5000;

}  // namespace

int Store::open(const std::string& path, bool readOnly, bool exclusive) {
    int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) return statusFromSqlite(rc);
    sqlite3_extended_result_codes(db_, 0);
    sqlite3_busy_timeout(db_, kOpenBusyMs);
    if (exclusive && exec("PRAGMA locking_mode=EXCLUSIVE") != KV_STATUS_SUCCESS) return KV_STATUS_IO_ERROR;

    // Validate before anything is written: a file that is not ours is never touched.
    int appId = 0, version = 0;
    int status = readPragma(db_, "PRAGMA application_id", appId);
    if (status != KV_STATUS_SUCCESS) return status;
    if (appId != kApplicationId) return KV_STATUS_NOT_AN_ENGINE_FILE;
    status = readPragma(db_, "PRAGMA user_version", version);
    if (status != KV_STATUS_SUCCESS) return status;
    if (version != kSchemaVersion) return KV_STATUS_NOT_AN_ENGINE_FILE;

    status = loadMeta();
    if (status != KV_STATUS_SUCCESS) return status;
    std::string spec;
    bool found = false;
    metaGet("spec", spec, found);
    if (!found || parseFileSpec(reinterpret_cast<const uint8_t*>(spec.data()), spec.size(), def_) != 0)
        return KV_STATUS_IO_ERROR;
    if (exclusive) {
        // Take the write lock now and, in exclusive locking mode, keep it.
        status = exec("BEGIN EXCLUSIVE");
        if (status != KV_STATUS_SUCCESS) return status;
        status = commit();
        if (status != KV_STATUS_SUCCESS) return status;
    }
    sqlite3_busy_timeout(db_, kBusyMs);
    return KV_STATUS_SUCCESS;
}

int Store::create(const std::string& path, const FileDef& def) {
    std::string temp = path + ".kvnew";
    removeFile(temp);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        removeFile(temp);
        return rc == SQLITE_CANTOPEN ? KV_STATUS_BAD_FILE_NAME : statusFromSqlite(rc);
    }
    std::string sql = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                      ";PRAGMA user_version=" + std::to_string(kSchemaVersion) +
                      ";PRAGMA journal_mode=WAL;BEGIN;"
                      "CREATE TABLE kv_meta(name TEXT PRIMARY KEY, value BLOB NOT NULL);"
                      "CREATE TABLE kv_records(id INTEGER PRIMARY KEY, data BLOB NOT NULL);";
    for (size_t i = 0; i < def.keys.size(); ++i) {
        std::string t = keyTable(i);
        sql += "CREATE TABLE " + t +
               "(k BLOB NOT NULL, seq INTEGER NOT NULL, rid INTEGER NOT NULL, PRIMARY KEY(k, seq)) WITHOUT ROWID;"
               "CREATE INDEX " + t + "_rid ON " + t + "(rid);";
    }
    rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        std::string spec = encodeFileSpec(def);
        sqlite3_stmt* stmt = nullptr;
        rc = sqlite3_prepare_v2(db, "INSERT INTO kv_meta(name, value) VALUES ('spec', ?1)", -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_blob(stmt, 1, spec.data(), static_cast<int>(spec.size()), SQLITE_TRANSIENT);
            rc = sqlite3_step(stmt) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
        }
        sqlite3_finalize(stmt);
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    int closeRc = sqlite3_close_v2(db);
    if (rc == SQLITE_OK) rc = closeRc;
    if (rc != SQLITE_OK) {
        removeFile(temp);
        removeFile(temp + "-wal");
        removeFile(temp + "-shm");
        return statusFromSqlite(rc);
    }
    if (!replaceFile(temp, path)) {
        removeFile(temp);
        return KV_STATUS_CREATE_IO_ERROR;
    }
    return KV_STATUS_SUCCESS;
}

}  // namespace kv
