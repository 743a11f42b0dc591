// Currency, statuses, the data-length rule, Stat and persistence, each
// produced by real calls on real files.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "engine_fixture.h"

using namespace kvtest;
using Bytes = std::vector<uint8_t>;

namespace {

// A file of 8-byte records: key 0 unique on byte 0 (unsigned), key 1 with
// duplicates and modifiable on byte 1.
SpecBuilder twoKeys() {
    SpecBuilder spec;
    spec.recordLength = 8;
    spec.keys = {{{1, 1, 0x0004}}, {{2, 1, 0x0001 | 0x0002 | 0x0004}}};
    return spec;
}

Bytes rec8(int a, int b) { return {static_cast<uint8_t>(a), static_cast<uint8_t>(b), 0, 0, 0, 0, 0, 0}; }

struct Fixture : ::testing::Test {
    TempDir dir;
    File f;
    std::string path;
    void SetUp() override {
        path = dir.file("T.DAT");
        ASSERT_EQ(createFile(path, twoKeys()), 0);
        ASSERT_EQ(f.open(path), 0);
        for (int i : {10, 20, 30, 40}) ASSERT_EQ(f.insert(rec8(i, i / 20)), 0);
    }
    void TearDown() override { f.close(); }
};

using EngineCurrency = Fixture;
using EngineStatus = Fixture;

}  // namespace

TEST_F(EngineCurrency, NextAfterDeleteReturnsTheDeletedRecordsNeighbour) {
    ASSERT_EQ(f.get(KV_OP_GET_EQUAL, 0, {20}), 0);
    ASSERT_EQ(f.erase(), 0);
    ASSERT_EQ(f.get(KV_OP_GET_NEXT, 0), 0);
    EXPECT_EQ(f.data[0], 30);
    ASSERT_EQ(f.get(KV_OP_GET_EQUAL, 0, {30}), 0);
    ASSERT_EQ(f.erase(), 0);
    ASSERT_EQ(f.get(KV_OP_GET_PREVIOUS, 0), 0);
    EXPECT_EQ(f.data[0], 10);
    // Delete and Update need a current record again after a Delete.
    ASSERT_EQ(f.erase(), 0);
    EXPECT_EQ(f.erase(), KV_STATUS_INVALID_POSITIONING);
}

TEST_F(EngineCurrency, UpdateKeepsThePositionAndMovesWithTheNewKeyValue) {
    // Key 1 values: 10->0, 20->1, 30->1, 40->2. Move 10 to value 3 on key 1.
    ASSERT_EQ(f.get(KV_OP_GET_FIRST, 1), 0);
    ASSERT_EQ(f.data[0], 10);
    ASSERT_EQ(f.update(rec8(10, 3), 1), 0);
    EXPECT_EQ(f.get(KV_OP_GET_NEXT, 1), KV_STATUS_END_OF_FILE);
    ASSERT_EQ(f.get(KV_OP_GET_PREVIOUS, 1), 0);
    EXPECT_EQ(f.data[0], 40);
    // An update that leaves the key alone keeps the record in place.
    ASSERT_EQ(f.get(KV_OP_GET_EQUAL, 0, {20}), 0);
    ASSERT_EQ(f.update(Bytes{20, 1, 9, 9, 9, 9, 9, 9}), 0);
    ASSERT_EQ(f.get(KV_OP_GET_NEXT, 0), 0);
    EXPECT_EQ(f.data[0], 30);
}

TEST_F(EngineCurrency, AFailedGetKeepsTheCurrencyAndOtherKeysAreRefused) {
    ASSERT_EQ(f.get(KV_OP_GET_EQUAL, 0, {20}), 0);
    EXPECT_EQ(f.get(KV_OP_GET_EQUAL, 0, {25}), KV_STATUS_KEY_NOT_FOUND);
    EXPECT_EQ(f.get(KV_OP_GET_GREATER, 0, {40}), KV_STATUS_END_OF_FILE);
    ASSERT_EQ(f.get(KV_OP_GET_NEXT, 0), 0);
    EXPECT_EQ(f.data[0], 30);
    EXPECT_EQ(f.get(KV_OP_GET_NEXT, 1), KV_STATUS_DIFFERENT_KEY_NUMBER);
}

TEST_F(EngineStatus, RecordAndCursorStatusesComeFromRealCalls) {
    File other;
    ASSERT_EQ(other.open(path), 0);
    EXPECT_EQ(other.get(KV_OP_GET_NEXT, 0), KV_STATUS_INVALID_POSITIONING) << "no currency yet";
    EXPECT_EQ(other.update(rec8(1, 1)), KV_STATUS_INVALID_POSITIONING);
    EXPECT_EQ(other.insert(rec8(10, 0)), KV_STATUS_DUPLICATE_KEY);
    EXPECT_EQ(other.get(KV_OP_GET_FIRST, 7), KV_STATUS_INVALID_KEY_NUMBER);
    ASSERT_EQ(other.get(KV_OP_GET_EQUAL, 0, {10}), 0);
    EXPECT_EQ(other.update(rec8(11, 0)), KV_STATUS_MODIFIABLE_KEY_CHANGED);
    EXPECT_EQ(other.update(rec8(10, 2)), 0) << "key 1 is modifiable";
    ASSERT_EQ(other.get(KV_OP_GET_EQUAL, 1, {1}), 0);
    ASSERT_EQ(other.get(KV_OP_GET_LAST, 0), 0);
    EXPECT_EQ(other.get(KV_OP_GET_NEXT, 0), KV_STATUS_END_OF_FILE);
    // A key buffer shorter than the key, and a data buffer shorter than a record.
    other.len = 64;
    EXPECT_EQ(BTRCALL(KV_OP_GET_FIRST, other.pos, other.data.data(), &other.len, other.key, 0, 0),
              KV_STATUS_KEY_BUFFER_TOO_SHORT);
    uint8_t small[4] = {7, 7, 7, 7};
    uint32_t len = sizeof small;
    EXPECT_EQ(BTRCALL(KV_OP_GET_FIRST, other.pos, small, &len, other.key, 255, 0), KV_STATUS_DATA_BUFFER_TOO_SHORT);
    EXPECT_EQ(small[0], 7) << "nothing delivered";
    EXPECT_EQ(len, 4u);
    uint32_t tiny = 20;
    EXPECT_EQ(BTRCALL(KV_OP_STAT, other.pos, small, &tiny, other.key, 255, -1), KV_STATUS_DATA_BUFFER_TOO_SHORT);
    EXPECT_EQ(other.close(), 0);
    EXPECT_EQ(other.close(), KV_STATUS_NOT_OPEN);
    EXPECT_EQ(other.get(KV_OP_GET_FIRST, 0), KV_STATUS_NOT_OPEN);
    EXPECT_EQ(BTRCALL(99, f.pos, f.data.data(), &f.len, f.key, 255, 0), KV_STATUS_INVALID_OPERATION);
}

TEST_F(EngineStatus, DataLengthIsLeftAsItCameAfterCallsThatDeliverNothing) {
    auto check = [&](uint16_t op, void* data, int8_t keyNum, const char* what) {
        uint32_t len = 8;
        BTRCALL(op, f.pos, data, &len, f.key, 255, keyNum);
        EXPECT_EQ(len, 8u) << what;
    };
    Bytes r = rec8(50, 0);
    check(KV_OP_INSERT, r.data(), 0, "insert");
    ASSERT_EQ(f.get(KV_OP_GET_EQUAL, 0, {50}), 0);
    r = rec8(50, 1);
    check(KV_OP_UPDATE, r.data(), 0, "update");
    check(KV_OP_DELETE, r.data(), 0, "delete");
    check(KV_OP_GET_EQUAL, r.data(), 0, "get miss");
    File g;
    uint8_t owner[16] = {};
    uint32_t len = 10;
    char name[256] = {};
    std::strncpy(name, path.c_str(), 255);
    ASSERT_EQ(BTRCALL(KV_OP_OPEN, g.pos, owner, &len, name, 255, 0), 0);
    EXPECT_EQ(len, 10u) << "open";
    ASSERT_EQ(BTRCALL(KV_OP_CLOSE, g.pos, owner, &len, name, 255, 0), 0);
    EXPECT_EQ(len, 10u) << "close";
}

TEST(EngineFiles, CreateValidatesItsBuffer) {
    struct Case {
        const char* name;
        SpecBuilder spec;
        int status;
    };
    auto base = [] {
        SpecBuilder s;
        s.recordLength = 20;
        s.keys = {{{1, 4, 0}}};
        return s;
    };
    std::vector<Case> rows;
    auto add = [&](const char* name, auto change, int status) {
        SpecBuilder s = base();
        change(s);
        rows.push_back({name, s, status});
    };
    add("valid", [](SpecBuilder&) {}, 0);
    add("page size not a multiple of 512", [](SpecBuilder& s) { s.pageSize = 1000; }, KV_STATUS_BAD_PAGE_SIZE);
    add("page size too large", [](SpecBuilder& s) { s.pageSize = 16896; }, KV_STATUS_BAD_PAGE_SIZE);
    add("120 keys", [](SpecBuilder& s) { s.keys.assign(120, {{1, 1, 0x0001}}); }, KV_STATUS_BAD_KEY_COUNT);
    add("segment past the record", [](SpecBuilder& s) { s.keys = {{{18, 4, 0}}}; }, KV_STATUS_BAD_KEY_POSITION);
    add("position 0", [](SpecBuilder& s) { s.keys = {{{0, 4, 0}}}; }, KV_STATUS_BAD_KEY_POSITION);
    add("record length 3", [](SpecBuilder& s) { s.recordLength = 3; s.keys.clear(); }, KV_STATUS_BAD_RECORD_LENGTH);
    add("integer of 3 bytes", [](SpecBuilder& s) { s.keys = {{{1, 3, 0x0100, 1}}}; }, KV_STATUS_BAD_KEY_LENGTH);
    add("unknown type", [](SpecBuilder& s) { s.keys = {{{1, 4, 0x0100, 99}}}; }, KV_STATUS_BAD_KEY_LENGTH);
    add("duplicates flag differs between segments",
        [](SpecBuilder& s) { s.keys = {{{1, 2, 0x0001}, {3, 2, 0}}}; }, KV_STATUS_INCONSISTENT_KEY_FLAGS);
    add("no keys", [](SpecBuilder& s) { s.keys.clear(); }, 0);
    TempDir dir;
    int n = 0;
    for (const Case& c : rows) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(createFile(dir.file("c" + std::to_string(n++)), c.spec), c.status);
    }
    // Key number -1 refuses to overwrite.
    EXPECT_EQ(createFile(dir.file("c0"), base(), -1), KV_STATUS_FILE_EXISTS);
    EXPECT_EQ(createFile(dir.file("c0"), base(), 0), 0);
    EXPECT_EQ(createFile(dir.file("missing-dir/x"), base()), KV_STATUS_BAD_FILE_NAME);
}

TEST(EngineFiles, StatRoundTripsTheCreateSpecsWithCounts) {
    TempDir dir;
    SpecBuilder spec;
    spec.recordLength = 30;
    spec.pageSize = 4096;
    spec.fileFlags = 0x0400;  // key numbers as given: 3 and 7
    spec.keys = {{{1, 2, 0x0100 | 0x0001, 14, 0, 3}, {5, 4, 0x0100 | 0x0001, 0, 0, 3}}, {{10, 8, 0x0400 | 0x0002, 0, 0x20, 7}}};
    ASSERT_EQ(createFile(dir.file("s.dat"), spec), 0);
    File f;
    ASSERT_EQ(f.open(dir.file("s.dat")), 0);
    Bytes rec(30, 0);
    for (int i = 0; i < 3; ++i) {
        rec[0] = 1;          // one distinct value of key 3 ...
        rec[9] = 'A' + i;    // ... three of key 7
        ASSERT_EQ(f.insert(rec, 3), 0);
    }
    Bytes st;
    ASSERT_EQ(f.stat(st), 0);
    ASSERT_EQ(st.size(), 16u + 3 * 16);
    auto u16 = [&](size_t at) { return st[at] | st[at + 1] << 8; };
    EXPECT_EQ(u16(0), 30);
    EXPECT_EQ(u16(2), 4096);
    EXPECT_EQ(u16(4), 2);
    EXPECT_EQ(u16(6), 3) << "record count";
    EXPECT_EQ(u16(10), 0x0400);
    // Segments: position, length, flags (0x0010 on all but a key's last), unique count, type, null, key number.
    EXPECT_EQ(u16(16), 1);
    EXPECT_EQ(u16(18), 2);
    EXPECT_EQ(u16(20), 0x0111);
    EXPECT_EQ(u16(22), 1);
    EXPECT_EQ(st[26], 14);
    EXPECT_EQ(st[30], 3);
    EXPECT_EQ(u16(36), 0x0101);
    EXPECT_EQ(st[46], 3);
    EXPECT_EQ(u16(48), 10);
    EXPECT_EQ(u16(52), 0x0402);
    EXPECT_EQ(u16(54), 3);
    EXPECT_EQ(st[59], 0x20);
    EXPECT_EQ(st[62], 7);
    // The key number of the first key is 3, so key 0 does not exist.
    EXPECT_EQ(f.get(KV_OP_GET_FIRST, 0), KV_STATUS_INVALID_KEY_NUMBER);
    EXPECT_EQ(f.get(KV_OP_GET_FIRST, 7), 0);
}

TEST(EngineFiles, OpenStatuses) {
    TempDir dir;
    {
        std::ofstream(dir.file("text.dat")) << "this is not an engine file\n";
        std::ofstream(dir.file("empty.dat"));
        sqlite3* db = nullptr;
        sqlite3_open(dir.file("other.db").c_str(), &db);
        sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    struct Case {
        const char* name;
        std::string path;
        int status;
    };
    std::vector<Case> rows = {
        {"missing", dir.file("nope.dat"), KV_STATUS_FILE_NOT_FOUND},
        {"empty name", "", KV_STATUS_BAD_FILE_NAME},
        {"a directory", dir.path.string(), KV_STATUS_BAD_FILE_NAME},
        {"text", dir.file("text.dat"), KV_STATUS_NOT_AN_ENGINE_FILE},
        {"empty file", dir.file("empty.dat"), KV_STATUS_NOT_AN_ENGINE_FILE},
        {"another SQLite database", dir.file("other.db"), KV_STATUS_NOT_AN_ENGINE_FILE},
    };
    for (const Case& c : rows) {
        SCOPED_TRACE(c.name);
        File f;
        EXPECT_EQ(f.open(c.path), c.status);
    }
    // Foreign files are never written to.
    std::ifstream in(dir.file("text.dat"));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "this is not an engine file");
    EXPECT_EQ(std::filesystem::file_size(dir.file("empty.dat")), 0u);
}

TEST(EngineFiles, ADamagedFileGivesStatus2AndNoCrash) {
    TempDir dir;
    std::string path = dir.file("d.dat");
    ASSERT_EQ(createFile(path, twoKeys()), 0);
    {
        File f;
        ASSERT_EQ(f.open(path), 0);
        for (int i = 0; i < 200; ++i) ASSERT_EQ(f.insert(rec8(i, i % 7)), 0);
        f.close();
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA writable_schema=ON; DROP TABLE kv_key_1", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    File f;
    ASSERT_EQ(f.open(path), 0);
    EXPECT_EQ(f.get(KV_OP_GET_FIRST, 0), 0);
    EXPECT_EQ(f.get(KV_OP_GET_FIRST, 1), KV_STATUS_IO_ERROR);
    EXPECT_EQ(f.insert(rec8(250, 1)), KV_STATUS_IO_ERROR);
    Bytes st;
    EXPECT_EQ(f.stat(st), KV_STATUS_IO_ERROR);
}

TEST(EngineFiles, OwnerNamesAndAccessModes) {
    TempDir dir;
    std::string path = dir.file("o.dat");
    ASSERT_EQ(createFile(path, twoKeys()), 0);
    {
        File f;
        ASSERT_EQ(f.open(path), 0);
        char name[9] = "SECRET";
        uint32_t len = 9;
        ASSERT_EQ(BTRCALL(KV_OP_SET_OWNER, f.pos, name, &len, name, 255, 1), 0);  // read-only without owner
        EXPECT_EQ(BTRCALL(KV_OP_SET_OWNER, f.pos, name, &len, name, 255, 1), KV_STATUS_OWNER_ALREADY_SET);
        f.close();
    }
    // The name is stored only as a salted hash.
    {
        std::ifstream in(path, std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(all.find("SECRET"), std::string::npos);
    }
    File ro;
    ASSERT_EQ(ro.open(path, 0, "WRONG"), 0) << "mode 1 lets others read";
    EXPECT_EQ(ro.get(KV_OP_GET_FIRST, 0), KV_STATUS_END_OF_FILE);
    EXPECT_EQ(ro.insert(rec8(1, 1)), KV_STATUS_ACCESS_DENIED);
    ro.close();
    File rw;
    ASSERT_EQ(rw.open(path, 0, "SECRET"), 0);
    EXPECT_EQ(rw.insert(rec8(1, 1)), 0);
    uint32_t len = 0;
    ASSERT_EQ(BTRCALL(KV_OP_CLEAR_OWNER, rw.pos, rw.data.data(), &len, rw.key, 255, 0), 0);
    char name[9] = "OWNER2";
    len = 9;
    ASSERT_EQ(BTRCALL(KV_OP_SET_OWNER, rw.pos, name, &len, name, 255, 0), 0);  // all access needs the name
    rw.close();
    File denied;
    EXPECT_EQ(denied.open(path, 0, "SECRET"), KV_STATUS_WRONG_OWNER);
    File readOnly;
    ASSERT_EQ(readOnly.open(path, -2, "OWNER2"), 0);
    EXPECT_EQ(readOnly.insert(rec8(2, 2)), KV_STATUS_ACCESS_DENIED);
}

TEST(EngineFiles, ExclusiveOpenLocksOthersOut) {
    TempDir dir;
    std::string path = dir.file("x.dat");
    ASSERT_EQ(createFile(path, twoKeys()), 0);
    File a;
    ASSERT_EQ(a.open(path, -4), 0);
    ASSERT_EQ(a.insert(rec8(1, 1)), 0);
    pid_t child = fork();
    if (child == 0) {
        File b;
        _exit(b.open(path));
    }
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    EXPECT_EQ(WEXITSTATUS(wstatus), KV_STATUS_FILE_LOCKED);
    a.close();
    File b;
    EXPECT_EQ(b.open(path), 0);
}

TEST(EngineFiles, WritesPersistAcrossProcessesAndLastCloseLeavesOneFile) {
    TempDir dir;
    std::string path = dir.file("p.dat");
    ASSERT_EQ(createFile(path, twoKeys()), 0);
    pid_t child = fork();
    if (child == 0) {
        File f;
        int bad = f.open(path);
        for (int i = 0; i < 50 && !bad; ++i) bad = f.insert(rec8(i, i % 3));
        _exit(bad);  // no close: the process just ends
    }
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    ASSERT_EQ(WEXITSTATUS(wstatus), 0);
    File f;
    ASSERT_EQ(f.open(path), 0);
    int count = 0;
    for (int16_t st = f.get(KV_OP_GET_FIRST, 0); st == 0; st = f.get(KV_OP_GET_NEXT, 0)) ++count;
    EXPECT_EQ(count, 50);
    f.close();
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"p.dat"});
}

TEST(EngineFiles, PathsTakeBackslashesAndMatchCaseInsensitively) {
    TempDir dir;
    std::filesystem::create_directory(dir.path / "Data");
    ASSERT_EQ(createFile(dir.file("Data/Orders.Dat"), twoKeys()), 0);
    File f;
    EXPECT_EQ(f.open(dir.path.string() + "\\DATA\\ORDERS.DAT   "), 0);
    f.close();
    std::ofstream(dir.file("Data/orders.dat")) << "x";
    File g;
    EXPECT_EQ(g.open(dir.path.string() + "/DATA/ORDERS.DAT"), KV_STATUS_FILE_NOT_FOUND) << "two candidates";
}

TEST(EngineFiles, AutoincrementFillsZeroWithTheNextValue) {
    TempDir dir;
    SpecBuilder spec;
    spec.recordLength = 8;
    spec.keys = {{{1, 4, 0x0100, 15}}};
    ASSERT_EQ(createFile(dir.file("a.dat"), spec), 0);
    File f;
    ASSERT_EQ(f.open(dir.file("a.dat")), 0);
    ASSERT_EQ(f.insert(Bytes(8, 0)), 0);
    EXPECT_EQ(f.last[0], 1);
    ASSERT_EQ(f.insert(Bytes{41, 0, 0, 0, 0, 0, 0, 0}), 0);
    ASSERT_EQ(f.insert(Bytes(8, 0)), 0);
    EXPECT_EQ(f.last[0], 42);
}

TEST(EngineFiles, ResetClosesEverythingAndVersionAnswers) {
    TempDir dir;
    ASSERT_EQ(createFile(dir.file("r.dat"), twoKeys()), 0);
    File f;
    ASSERT_EQ(f.open(dir.file("r.dat")), 0);
    uint8_t v[5] = {};
    uint32_t len = 5;
    ASSERT_EQ(BTRCALL(KV_OP_VERSION, nullptr, v, &len, nullptr, 0, 0), 0);
    EXPECT_EQ(v[0], 6);
    len = 0;
    ASSERT_EQ(BTRCALL(KV_OP_RESET, nullptr, nullptr, &len, nullptr, 0, 0), 0);
    EXPECT_EQ(f.get(KV_OP_GET_FIRST, 0), KV_STATUS_NOT_OPEN);
}

TEST(EngineFiles, AFullDiskGivesStatus18AndKeepsEveryAcknowledgedRecord) {
    TempDir dir;
    std::string mnt = dir.file("small");
    std::filesystem::create_directory(mnt);
    if (std::system(("mount -t tmpfs -o size=96k tmpfs " + mnt + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    struct Unmount {
        std::string at;
        ~Unmount() {
            BTRCALL(KV_OP_RESET, nullptr, nullptr, nullptr, nullptr, 0, 0);
            std::system(("umount " + at).c_str());
        }
    } unmount{mnt};
    std::string path = mnt + "/full.dat";
    int acknowledged = 0;
    int16_t last = 0;
    {
        SpecBuilder spec;
        spec.recordLength = 200;
        spec.keys = {{{1, 4, 0x0004}}};
        ASSERT_EQ(createFile(path, spec), 0);
        File f;
        ASSERT_EQ(f.open(path), 0);
        Bytes rec(200, 'x');
        for (int i = 0; i < 5000; ++i) {
            std::memcpy(rec.data(), &i, 4);
            last = f.insert(rec);
            if (last != 0) break;
            ++acknowledged;
        }
        f.close();
    }
    EXPECT_EQ(last, KV_STATUS_DISK_FULL);
    EXPECT_GT(acknowledged, 0);
    File f;
    ASSERT_EQ(f.open(path), 0);
    int count = 0;
    for (int16_t st = f.get(KV_OP_GET_FIRST, 0); st == 0; st = f.get(KV_OP_GET_NEXT, 0)) ++count;
    EXPECT_EQ(count, acknowledged);
    f.close();
}
