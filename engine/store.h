// The SQLite store behind one open engine file.
//
// An engine file is one SQLite database marked with its own application id
// and schema version. It holds the file definition (kv_meta), the records
// (kv_records) and one index table per key (kv_key_<i>) whose rows are the
// memcmp-ordered key value, a tie-breaker that keeps duplicates in insertion
// order, and the record id. Every write is one transaction; statements are
// prepared once per open file and reset after every use, so none stays open
// across two engine calls.
#ifndef KORVANE_ENGINE_STORE_H
#define KORVANE_ENGINE_STORE_H

#include <cstdint>
#include <map>
#include <string>

#include "file_spec.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kv {

constexpr int kApplicationId = 0x4B564E45;  // "KVNE"
constexpr int kSchemaVersion = 1;

// The one mapping from SQLite result codes to engine statuses.
int statusFromSqlite(int rc);

// A prepared statement borrowed from the cache; reset and unbound when the
// borrow ends.
class Statement {
public:
    explicit Statement(sqlite3_stmt* s) : stmt_(s) {}
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return stmt_ != nullptr; }
    void bindBlob(int i, const std::string& v);
    void bindInt(int i, int64_t v);
    void bindText(int i, const std::string& v);
    int step();  // SQLite result code: SQLITE_ROW, SQLITE_DONE or an error
    int64_t columnInt(int i);
    std::string columnBlob(int i);
private:
    sqlite3_stmt* stmt_;
};

class Store {
public:
    ~Store();
    // Opens an existing engine file. exclusive keeps a lock that shuts other
    // connections out while this one is open. Returns an engine status.
    int open(const std::string& path, bool readOnly, bool exclusive);
    // Writes a new engine file with the given definition at path (replacing
    // any file there by an atomic rename). Returns an engine status.
    static int create(const std::string& path, const FileDef& def);

    const FileDef& def() const { return def_; }
    sqlite3* db() const { return db_; }

    // The cached statement for an SQL text; check ok() before use.
    Statement prepare(const std::string& sql);
    // Runs SQL without results; returns an engine status.
    int exec(const char* sql);

    int begin(bool write);  // engine status
    int commit();           // engine status
    void rollback();

    // The file's named values (definition, owner), read once at open and
    // kept in step with every change this connection writes.
    int metaGet(const std::string& name, std::string& value, bool& found);
    int metaPut(const std::string& name, const std::string& value);
    int metaDelete(const std::string& name);

    static std::string keyTable(size_t keyIndex) { return "kv_key_" + std::to_string(keyIndex); }

private:
    int loadMeta();
    int runCached(const char* sql);

    sqlite3* db_ = nullptr;
    std::map<std::string, std::string> meta_;
    FileDef def_;
    std::map<std::string, sqlite3_stmt*> cache_;
};

}  // namespace kv

#endif
