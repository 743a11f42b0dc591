// Key order per type and flag: records are inserted in a scrambled order and
// must come back, through Get First and Get Next, in the engine's order.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fixture.h"

using namespace kvtest;

namespace {

using Bytes = std::vector<uint8_t>;

struct OrderCase {
    const char* name;
    Segment segment;          // position 1
    std::vector<Bytes> sorted;  // key field values in expected ascending order
};

Bytes le(int64_t v, unsigned n) {
    Bytes b(n);
    for (unsigned i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
    return b;
}
Bytes f32(float f) { uint32_t u; std::memcpy(&u, &f, 4); return le(u, 4); }
Bytes f64(double d) { uint64_t u; std::memcpy(&u, &d, 8); return le(static_cast<int64_t>(u), 8); }
Bytes str(const std::string& s, unsigned n) { Bytes b(n, 0); std::memcpy(b.data(), s.data(), std::min<size_t>(n, s.size())); return b; }
Bytes date(int y, int m, int d) { return {static_cast<uint8_t>(d), static_cast<uint8_t>(m), static_cast<uint8_t>(y & 0xFF), static_cast<uint8_t>(y >> 8)}; }
Bytes tm(int h, int m, int s, int c) { return {static_cast<uint8_t>(c), static_cast<uint8_t>(s), static_cast<uint8_t>(m), static_cast<uint8_t>(h)}; }

constexpr uint16_t EXT = 0x0100;

std::vector<OrderCase> cases() {
    return {
        {"string", {1, 4, 0}, {str("ABCD", 4), str("ABCE", 4), str("abcd", 4)}},
        {"legacy binary is unsigned", {1, 2, 0x0004}, {le(1, 2), le(256, 2), le(0xFFFF, 2)}},
        {"integer 2", {1, 2, EXT, 1}, {le(-300, 2), le(-1, 2), le(0, 2), le(2, 2), le(300, 2)}},
        {"integer 4", {1, 4, EXT, 1}, {le(-70000, 4), le(-1, 4), le(0, 4), le(65536, 4)}},
        {"integer 8", {1, 8, EXT, 1}, {le(INT64_MIN, 8), le(-5, 8), le(7, 8), le(INT64_MAX, 8)}},
        {"autoincrement", {1, 4, EXT, 15}, {le(-2, 4), le(1, 4), le(9, 4)}},
        {"unsigned binary", {1, 4, EXT, 14}, {le(0, 4), le(255, 4), le(256, 4), le(0xFFFFFFFF, 4)}},
        {"logical", {1, 1, EXT, 7}, {le(0, 1), le(1, 1)}},
        {"float 4", {1, 4, EXT, 2}, {f32(-1e9f), f32(-1.5f), f32(0.0f), f32(0.25f), f32(3e8f)}},
        {"float 8", {1, 8, EXT, 2}, {f64(-1e300), f64(-2.0), f64(0.0), f64(1e-300), f64(7.5)}},
        {"bfloat", {1, 4, EXT, 9}, {f32(-2.0f), f32(1.0f), f32(2.0f)}},
        {"date", {1, 4, EXT, 3}, {date(1999, 12, 31), date(2000, 1, 1), date(2000, 1, 2), date(2000, 2, 1)}},
        {"time", {1, 4, EXT, 4}, {tm(1, 59, 59, 99), tm(2, 0, 0, 0), tm(2, 0, 0, 1), tm(23, 0, 0, 0)}},
        {"decimal", {1, 2, EXT, 5}, {{0x99, 0x9D}, {0x01, 0x0D}, {0x00, 0x0C}, {0x01, 0x0C}, {0x99, 0x9C}}},
        {"money", {1, 2, EXT, 6}, {{0x12, 0x3D}, {0x12, 0x3F}, {0x45, 0x6F}}},
        {"numeric", {1, 3, EXT, 8}, {str("12R", 3), str("00J", 3), str("000", 3), str("005", 3), str("12I", 3)}},
        {"zstring stops at NUL", {1, 4, EXT, 11}, {str("AB", 4), Bytes{'A', 'B', 'C', 0}, str("B", 4)}},
        {"lstring uses its length byte", {1, 4, EXT, 10}, {Bytes{1, 'A', 'Z', 'Z'}, Bytes{2, 'A', 'B', 'Q'}, Bytes{1, 'B', 0, 0}}},
        {"case-insensitive", {1, 3, 0x0400}, {str("abc", 3), str("ABD", 3), str("b", 3)}},
        {"descending integer", {1, 2, EXT | 0x0040, 1}, {le(5, 2), le(0, 2), le(-5, 2)}},
        {"descending string", {1, 2, 0x0040}, {str("B", 2), str("AB", 2), str("A", 2)}},
    };
}

}  // namespace

TEST(EngineOrder, EveryKeyTypeOrdersAsTheEngineDoes) {
    TempDir dir;
    int n = 0;
    for (const OrderCase& c : cases()) {
        SCOPED_TRACE(c.name);
        SpecBuilder spec;
        spec.recordLength = 16;
        Segment s = c.segment;
        s.flags |= 0x0001;  // duplicates allowed, so equal encodings don't collide
        spec.keys = {{s}};
        std::string path = dir.file("order" + std::to_string(n++) + ".dat");
        ASSERT_EQ(createFile(path, spec), 0);
        File f;
        ASSERT_EQ(f.open(path), 0);
        // Insert in a scrambled order: reversed, then rotated.
        std::vector<size_t> order(c.sorted.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = order.size() - 1 - i;
        std::rotate(order.begin(), order.begin() + order.size() / 2, order.end());
        for (size_t i : order) {
            Bytes rec(16, 0);
            std::copy(c.sorted[i].begin(), c.sorted[i].end(), rec.begin());
            rec[15] = static_cast<uint8_t>(i);
            ASSERT_EQ(f.insert(rec), 0);
        }
        std::vector<int> seen;
        for (int16_t st = f.get(KV_OP_GET_FIRST, 0); st == 0; st = f.get(KV_OP_GET_NEXT, 0)) seen.push_back(f.data[15]);
        std::vector<int> expected;
        for (size_t i = 0; i < c.sorted.size(); ++i) expected.push_back(static_cast<int>(i));
        EXPECT_EQ(seen, expected);
        // And backwards from the last.
        std::vector<int> back;
        for (int16_t st = f.get(KV_OP_GET_LAST, 0); st == 0; st = f.get(KV_OP_GET_PREVIOUS, 0)) back.push_back(f.data[15]);
        std::reverse(back.begin(), back.end());
        EXPECT_EQ(back, expected);
        f.close();
    }
}

TEST(EngineOrder, AcsTableMapsBeforeComparing) {
    TempDir dir;
    SpecBuilder spec;
    spec.keys = {{{1, 1, 0x0020 | 0x0001}}};
    std::vector<uint8_t> table(265, 0);
    table[0] = 0xAC;
    std::memcpy(&table[1], "REVERSE ", 8);
    for (int i = 0; i < 256; ++i) table[9 + i] = static_cast<uint8_t>(255 - i);
    spec.acs = {table};
    ASSERT_EQ(createFile(dir.file("acs.dat"), spec), 0);
    File f;
    ASSERT_EQ(f.open(dir.file("acs.dat")), 0);
    for (uint8_t v : {1, 3, 2}) ASSERT_EQ(f.insert(Bytes{v, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0);
    std::vector<int> seen;
    for (int16_t st = f.get(KV_OP_GET_FIRST, 0); st == 0; st = f.get(KV_OP_GET_NEXT, 0)) seen.push_back(f.data[0]);
    EXPECT_EQ(seen, (std::vector<int>{3, 2, 1}));
}

TEST(EngineOrder, CompositeKeyOrdersIntegerSegmentsNumerically) {
    TempDir dir;
    SpecBuilder spec;
    // unsigned 2-byte id, then unsigned 2-byte offset: like a dictionary key.
    spec.keys = {{{1, 2, EXT | 0x0001, 14}, {3, 2, EXT | 0x0001, 14}}};
    ASSERT_EQ(createFile(dir.file("comp.dat"), spec), 0);
    File f;
    ASSERT_EQ(f.open(dir.file("comp.dat")), 0);
    std::vector<std::pair<int, int>> rows = {{2, 1}, {1, 300}, {1, 2}, {256, 0}, {2, 0}};
    for (auto [a, b] : rows) {
        Bytes rec(16, 0);
        rec[0] = a & 0xFF; rec[1] = a >> 8; rec[2] = b & 0xFF; rec[3] = b >> 8;
        ASSERT_EQ(f.insert(rec), 0);
    }
    std::vector<std::pair<int, int>> seen;
    for (int16_t st = f.get(KV_OP_GET_FIRST, 0); st == 0; st = f.get(KV_OP_GET_NEXT, 0))
        seen.emplace_back(f.data[0] | f.data[1] << 8, f.data[2] | f.data[3] << 8);
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 2}, {1, 300}, {2, 0}, {2, 1}, {256, 0}}));
    // Get Greater or Equal with a partial key lands on the first of its group.
    ASSERT_EQ(f.get(KV_OP_GET_GREATER_OR_EQUAL, 0, Bytes{2, 0, 0, 0}), 0);
    EXPECT_EQ(f.data[0], 2);
    EXPECT_EQ(f.data[2], 0);
    // The key buffer now holds the found key value.
    EXPECT_EQ(f.key[0], 2);
    EXPECT_EQ(f.key[2], 0);
}

TEST(EngineOrder, NullKeysAreLeftOutOfTheirIndex) {
    struct Case {
        const char* name;
        uint16_t flags;
        std::vector<Bytes> values;  // two 1-byte segments per record
        std::vector<int> indexed;   // which records the key lists, in order
    };
    std::vector<Case> rows = {
        {"null flag: all segments null", 0x0008 | 0x0001, {{0, 0}, {0, 1}, {1, 0}}, {1, 2}},
        {"manual flag: any segment null", 0x0200 | 0x0001, {{0, 0}, {0, 1}, {1, 0}, {1, 1}}, {3}},
        {"no null flag keeps all", 0x0001, {{0, 0}, {1, 0}}, {0, 1}},
    };
    TempDir dir;
    int n = 0;
    for (const Case& c : rows) {
        SCOPED_TRACE(c.name);
        SpecBuilder spec;
        spec.keys = {{{1, 1, c.flags}, {2, 1, c.flags}}, {{16, 1, 0}}};
        std::string path = dir.file("null" + std::to_string(n++) + ".dat");
        ASSERT_EQ(createFile(path, spec), 0);
        File f;
        ASSERT_EQ(f.open(path), 0);
        for (size_t i = 0; i < c.values.size(); ++i) {
            Bytes rec(16, 0);
            rec[0] = c.values[i][0];
            rec[1] = c.values[i][1];
            rec[15] = static_cast<uint8_t>(i);
            ASSERT_EQ(f.insert(rec), 0);
        }
        std::vector<int> seen;
        for (int16_t st = f.get(KV_OP_GET_FIRST, 0); st == 0; st = f.get(KV_OP_GET_NEXT, 0)) seen.push_back(f.data[15]);
        EXPECT_EQ(seen, c.indexed);
    }
}

TEST(EngineOrder, DuplicatesKeepInsertionOrderAndAChangedOneMovesToTheEnd) {
    TempDir dir;
    SpecBuilder spec;
    spec.keys = {{{1, 1, 0x0001 | 0x0002}}, {{2, 1, 0}}};
    ASSERT_EQ(createFile(dir.file("dup.dat"), spec), 0);
    File f;
    ASSERT_EQ(f.open(dir.file("dup.dat")), 0);
    // key 0 value in byte 0, unique id in byte 1
    for (auto [k, id] : std::vector<std::pair<int, int>>{{5, 1}, {5, 2}, {4, 3}, {5, 4}})
        ASSERT_EQ(f.insert(Bytes{static_cast<uint8_t>(k), static_cast<uint8_t>(id), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0);
    auto walk = [&] {
        std::vector<int> ids;
        for (int16_t st = f.get(KV_OP_GET_FIRST, 0); st == 0; st = f.get(KV_OP_GET_NEXT, 0)) ids.push_back(f.data[1]);
        return ids;
    };
    EXPECT_EQ(walk(), (std::vector<int>{3, 1, 2, 4}));
    // Move record 3 into group 5: it goes after 4. Move 1 out and back: after 3.
    ASSERT_EQ(f.get(KV_OP_GET_EQUAL, 1, Bytes{3}), 0);
    Bytes rec = f.record();
    rec[0] = 5;
    ASSERT_EQ(f.update(rec, 1), 0);
    EXPECT_EQ(walk(), (std::vector<int>{1, 2, 4, 3}));
}
