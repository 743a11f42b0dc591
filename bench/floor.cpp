// The storage floor for the benchmarks: the logical work of a first
// `korvane "*"` run done with SQLite directly on the same engine files,
// with no engine layer in between.
//  1. Walk FILE.DDF's table-name index; for each table open its data file's
//     database and read the key specifications stored there.
//  2. For each segment, look up FIELD.DDF's (table, offset, decimals) index
//     for the column at the segment's offset, passing over index names and
//     splitting over shorter columns as the tool does.
//  3. Insert each INDEX.DDF record in a transaction of its own: the record
//     row and one row per index of INDEX.DDF, after the unique-key check.
// Usage: floor DIR
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

sqlite3* openDb(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "floor: cannot open %s\n", path.c_str());
        std::exit(1);
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}

sqlite3_stmt* prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "floor: %s: %s\n", sql, sqlite3_errmsg(db));
        std::exit(1);
    }
    return st;
}

uint16_t u16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

std::string be16(uint16_t v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }

struct IndexFile {
    sqlite3* db;
    sqlite3_stmt *taken, *record, *seq[3], *row[3];
};

void insertIndex(IndexFile& x, uint16_t file, uint16_t field, uint16_t number, uint16_t part, uint16_t flags,
                 long& added, long& verified) {
    unsigned char rec[10];
    uint16_t v[5] = {file, field, number, part, flags};
    for (int i = 0; i < 5; ++i) {
        rec[2 * i] = static_cast<unsigned char>(v[i]);
        rec[2 * i + 1] = static_cast<unsigned char>(v[i] >> 8);
    }
    std::string keys[3] = {be16(file), be16(field), be16(file) + be16(number) + be16(part)};
    sqlite3_exec(x.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_bind_blob(x.taken, 1, keys[2].data(), 6, SQLITE_STATIC);
    bool exists = sqlite3_step(x.taken) == SQLITE_ROW;
    sqlite3_reset(x.taken);
    if (exists) {
        sqlite3_exec(x.db, "ROLLBACK", nullptr, nullptr, nullptr);
        ++verified;
        return;
    }
    sqlite3_bind_blob(x.record, 1, rec, 10, SQLITE_STATIC);
    sqlite3_step(x.record);
    sqlite3_reset(x.record);
    sqlite3_int64 rid = sqlite3_last_insert_rowid(x.db);
    for (int i = 0; i < 3; ++i) {
        sqlite3_bind_blob(x.seq[i], 1, keys[i].data(), static_cast<int>(keys[i].size()), SQLITE_STATIC);
        sqlite3_step(x.seq[i]);
        sqlite3_int64 seq = sqlite3_column_int64(x.seq[i], 0);
        sqlite3_reset(x.seq[i]);
        sqlite3_bind_blob(x.row[i], 1, keys[i].data(), static_cast<int>(keys[i].size()), SQLITE_STATIC);
        sqlite3_bind_int64(x.row[i], 2, seq);
        sqlite3_bind_int64(x.row[i], 3, rid);
        sqlite3_step(x.row[i]);
        sqlite3_reset(x.row[i]);
    }
    sqlite3_exec(x.db, "COMMIT", nullptr, nullptr, nullptr);
    ++added;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: floor DIR\n");
        return 2;
    }
    std::string dir = argv[1];
    sqlite3* files = openDb(dir + "/FILE.DDF");
    sqlite3* fields = openDb(dir + "/FIELD.DDF");
    IndexFile index{openDb(dir + "/INDEX.DDF"), nullptr, nullptr, {}, {}};
    index.taken = prepare(index.db, "SELECT 1 FROM kv_key_2 WHERE k = ?1 LIMIT 1");
    index.record = prepare(index.db, "INSERT INTO kv_records(data) VALUES (?1)");
    for (int i = 0; i < 3; ++i) {
        std::string t = "kv_key_" + std::to_string(i);
        index.seq[i] = prepare(index.db, ("SELECT COALESCE(MAX(seq) + 1, 0) FROM " + t + " WHERE k = ?1").c_str());
        index.row[i] = prepare(index.db, ("INSERT INTO " + t + "(k, seq, rid) VALUES (?1, ?2, ?3)").c_str());
    }
    sqlite3_stmt* column = prepare(fields,
        "SELECT r.data FROM kv_key_4 AS t CROSS JOIN kv_records AS r ON r.id = t.rid "
        "WHERE t.k >= ?1 ORDER BY t.k, t.seq LIMIT 8");
    sqlite3_stmt* tables = prepare(files,
        "SELECT r.data FROM kv_key_1 AS t CROSS JOIN kv_records AS r ON r.id = t.rid ORDER BY t.k, t.seq");

    long processed = 0, keys = 0, added = 0, verified = 0, corrupt = 0;
    while (sqlite3_step(tables) == SQLITE_ROW) {
        const unsigned char* rec = static_cast<const unsigned char*>(sqlite3_column_blob(tables, 0));
        uint16_t fileId = u16(rec);
        std::string loc(reinterpret_cast<const char*>(rec + 22), 64);
        loc = loc.substr(0, loc.find_last_not_of(' ') + 1);
        sqlite3* data = nullptr;
        if (sqlite3_open_v2((dir + "/" + loc).c_str(), &data, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(data);
            continue;
        }
        ++processed;
        std::string spec;
        sqlite3_stmt* meta = prepare(data, "SELECT value FROM kv_meta WHERE name = 'spec'");
        if (sqlite3_step(meta) == SQLITE_ROW)
            spec.assign(static_cast<const char*>(sqlite3_column_blob(meta, 0)), sqlite3_column_bytes(meta, 0));
        sqlite3_finalize(meta);
        sqlite3_close(data);
        const unsigned char* s = reinterpret_cast<const unsigned char*>(spec.data());
        unsigned keyCount = spec.size() >= 16 ? u16(s + 4) : 0;
        keys += keyCount;
        uint16_t part = 0;
        for (size_t at = 16, done = 0; done < keyCount && at + 16 <= spec.size(); at += 16) {
            uint16_t position = u16(s + at), length = u16(s + at + 2), flags = u16(s + at + 4);
            uint8_t keyNumber = static_cast<uint8_t>(done);
            for (;;) {
                uint16_t offset = static_cast<uint16_t>(position - 1);
                std::string k = be16(fileId) + be16(offset) + std::string(1, '\0');
                sqlite3_bind_blob(column, 1, k.data(), 5, SQLITE_STATIC);
                const unsigned char* col = nullptr;
                while (sqlite3_step(column) == SQLITE_ROW) {
                    const unsigned char* c = static_cast<const unsigned char*>(sqlite3_column_blob(column, 0));
                    if (u16(c + 2) != fileId || u16(c + 25) != offset) break;
                    if (c[24] == 255 || c[24] == 227 || u16(c + 27) == 0) continue;
                    col = c;
                    break;
                }
                if (!col) {
                    ++corrupt;
                    sqlite3_reset(column);
                    break;
                }
                uint16_t size = u16(col + 27), fieldId = u16(col);
                sqlite3_reset(column);
                if (size > length) {
                    ++corrupt;
                    break;
                }
                uint16_t f = static_cast<uint16_t>((size < length ? flags | 0x10 : flags) & 0xF95B);
                insertIndex(index, fileId, fieldId, keyNumber, part, f, added, verified);
                if (size == length) break;
                ++part;
                position = static_cast<uint16_t>(position + size);
                length = static_cast<uint16_t>(length - size);
            }
            if (flags & 0x10) {
                ++part;
            } else {
                part = 0;
                ++done;
            }
        }
    }
    std::printf("floor: %ld files, %ld keys, %ld added, %ld verified, %ld corrupt\n", processed, keys, added, verified,
                corrupt);
    sqlite3_finalize(tables);
    sqlite3_finalize(column);
    sqlite3_close(files);
    sqlite3_close(fields);
    return 0;
}
