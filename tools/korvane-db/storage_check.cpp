#include "storage_check.h"

#include <sqlite3.h>

namespace kdb {

namespace {

constexpr int kEngineApplicationId = 0x4B564E45;

struct Db {
    sqlite3* db = nullptr;
    ~Db() { sqlite3_close(db); }
    // Runs a query, handing each row's first column as text to each.
    template <typename F>
    bool rows(const std::string& sql, F each) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(st, 0);
            each(t ? reinterpret_cast<const char*>(t) : "");
        }
        sqlite3_finalize(st);
        return rc == SQLITE_DONE;
    }
};

}  // namespace

std::vector<std::string> checkStorage(const std::string& path, bool& applies) {
    std::vector<std::string> problems;
    applies = false;
    Db d;
    if (sqlite3_open_v2(path.c_str(), &d.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return problems;
    std::string id;
    if (!d.rows("PRAGMA application_id", [&](const char* v) { id = v; }) || id != std::to_string(kEngineApplicationId))
        return problems;
    applies = true;
    if (!d.rows("PRAGMA integrity_check", [&](const char* v) {
            if (std::string(v) != "ok") problems.push_back(std::string("storage: ") + v);
        }))
        problems.push_back("storage: the integrity check could not run");
    std::vector<std::string> tables;
    d.rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 'kv_key_%'",
           [&](const char* v) { tables.push_back(v); });
    for (const std::string& t : tables) {
        std::string orphans;
        d.rows("SELECT COUNT(*) FROM " + t + " WHERE rid NOT IN (SELECT id FROM kv_records)",
               [&](const char* v) { orphans = v; });
        if (orphans != "0") problems.push_back("storage: " + t + " has " + orphans + " entries without a record");
    }
    return problems;
}

}  // namespace kdb
