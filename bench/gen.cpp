// Synthetic database generator for the benchmarks.
//  1. Draw, from a fixed seed, N tables of mixed-type columns laid end to
//     end, and 1 to 6 keys per data file of 1 to 3 segments each: mostly one
//     column per segment, about one segment in ten spanning two adjacent
//     columns, and a few keys starting mid-column (so they match nothing).
//  2. Name about a third of the keys in FIELD.DDF, so /N finds some named.
//  3. Write it with korvane-db's builder: dictionaries with an empty
//     INDEX.DDF, and one empty data file per table.
// Column ids are 16-bit, so a large N gets fewer columns per table.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ddf.h"

using kdb::ordered_json;

namespace {

// xorshift64*: the same numbers on every platform.
struct Random {
    uint64_t s;
    uint64_t next() {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return s * 2685821657736338717ull;
    }
    int between(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<uint64_t>(hi - lo + 1)); }
};

struct ColumnType {
    const char* name;
    int minSize, maxSize;
    const char* keyType;  // nullptr: ordered as a string
};

const ColumnType kTypes[] = {
    {"integer", 4, 4, "integer"}, {"integer", 2, 2, "integer"}, {"string", 4, 30, nullptr},
    {"date", 4, 4, "date"},       {"money", 6, 6, "money"},     {"zstring", 8, 24, "zstring"},
    {"float", 8, 8, "float"},     {"unsigned", 4, 4, "unsigned"},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: gen DIR [TABLES=2000] [SEED=1]\n");
        return 2;
    }
    std::string dir = argv[1];
    int tables = argc > 2 ? std::atoi(argv[2]) : 2000;
    Random rnd{argc > 3 ? std::strtoull(argv[3], nullptr, 10) | 1 : 1};
    // Column ids are 16-bit: leave room for an index name per key (up to
    // six a table) so that /N never fills FIELD.DDF; what remains bounds
    // the columns.
    const int idSpace = 65000;
    int n = tables > 0 ? tables : 1;
    int average = (idSpace - 6 * n) / n;
    int maxColumns = std::max(2, std::min(40, average * 2 - 8));
    int minColumns = std::max(1, std::min(8, average / 2));
    if (maxColumns < minColumns) maxColumns = minColumns;
    int namesLeft = 3 * n;

    ordered_json list = ordered_json::array();
    long columnsTotal = 0, keysTotal = 0, named = 0;
    for (int t = 0; t < tables; ++t) {
        char name[21];
        std::snprintf(name, sizeof name, "T%05d", t);
        int count = rnd.between(minColumns, maxColumns);
        struct Col {
            int offset, size;
            const ColumnType* type;
        };
        std::vector<Col> cols;
        ordered_json columns = ordered_json::array();
        int offset = 0;
        for (int c = 0; c < count; ++c) {
            const ColumnType& type = kTypes[rnd.between(0, 7)];
            int size = rnd.between(type.minSize, type.maxSize);
            cols.push_back({offset, size, &type});
            columns.push_back({{"name", "C" + std::to_string(c)}, {"type", type.name}, {"offset", offset}, {"size", size}});
            offset += size;
        }
        columnsTotal += count;
        ordered_json keys = ordered_json::array();
        ordered_json names = ordered_json::array();
        int keyCount = rnd.between(1, 6);
        for (int k = 0; k < keyCount; ++k) {
            ordered_json segs = ordered_json::array();
            int segCount = rnd.between(1, 3);
            bool nowhere = rnd.between(1, 100) <= 4;  // a key that starts mid-column
            for (int s = 0; s < segCount; ++s) {
                int c = rnd.between(0, count - 1);
                ordered_json seg;
                if (nowhere && s == 0 && cols[c].size > 1) {
                    seg = {{"position", cols[c].offset + 2}, {"length", 1}};
                } else if (c + 1 < count && rnd.between(1, 10) == 1) {
                    seg = {{"position", cols[c].offset + 1}, {"length", cols[c].size + cols[c + 1].size}};
                } else {
                    seg = {{"position", cols[c].offset + 1}, {"length", cols[c].size}};
                    if (cols[c].type->keyType) seg["type"] = cols[c].type->keyType;
                }
                segs.push_back(seg);
            }
            keys.push_back({{"flags", {"duplicates", "modifiable"}}, {"segments", segs}});
            if (namesLeft > 0 && rnd.between(1, 3) == 1) {
                names.push_back({{"name", "ix" + std::to_string(k)}, {"number", k}});
                --namesLeft;
                ++named;
            }
        }
        keysTotal += keyCount;
        std::string location = std::string("data/") + name + ".DAT";
        list.push_back({{"id", t + 1},
                        {"name", name},
                        {"location", location},
                        {"columns", columns},
                        {"indexNames", names},
                        {"file", {{"recordLength", std::max(offset, 4)}, {"keys", keys}}}});
    }
    std::filesystem::create_directories(dir);
    try {
        kdb::ddfBuild(dir, {{"system", false}, {"tables", list}});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gen: %s\n", e.what());
        return 1;
    }
    std::printf("%d tables, %ld columns, %ld keys, %ld named\n", tables, columnsTotal, keysTotal, named);
    return 0;
}
