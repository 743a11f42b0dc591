// The tool against a scripted engine: what the real engine can't be made
// to answer (status 20, negative statuses, failing inserts, odd Stat
// results), and column-id allocation against a real FIELD.DDF.
#include <gtest/gtest.h>

#include <cstring>

#include "app/run_state.h"
#include "btrieve/requests.h"
#include "dictionary/dictionaries.h"
#include "dictionary/records.h"
#include "engine_fixture.h"
#include "fake_btrcall.h"

namespace {

// One table, T, whose data file T.DAT has one key over column A.
const char* const kOneTable = R"({"tables": [{"name": "T", "location": "T.DAT",
  "columns": [{"name": "A", "type": "integer", "offset": 0, "size": 4}, {"name": "B", "offset": 4, "size": 4}],
  "file": {"recordLength": 8, "keys": [{"segments": [{"position": 1, "length": 4, "type": "integer"}]}]}}]})";

struct ToolTest : ::testing::Test {
    kvtest::TempDir dir;
    void TearDown() override {
        fakeScript = nullptr;
        fakeAfter = nullptr;
    }
    std::string path() const { return dir.path.string(); }
};

bool isOpenOf(const EngineCallArgs& a, const char* name) {
    return a.op == 0 && std::strcmp(static_cast<const char*>(a.keyBuf), name) == 0;
}

}  // namespace

TEST_F(ToolTest, StatusesAreReportedInTheWrapperOwnWords) {
    buildDatabase(path(), kOneTable);
    struct Row {
        int16_t status;
        const char* message;  // before "Unable to Open ..."
    };
    const Row rows[] = {
        {3, ""},  {5, ""},  {12, ""}, {22, ""},
        {30, "FILE.DDF: Not a Btrieve File\n"},
        {2, "Btrieve Error 2: Operation=0, File=FILE.DDF\n"},
        {31, "Btrieve Error 31: Operation=0, File=FILE.DDF\n"},
        {-1, "Btrieve Error -1: Operation=0, File=FILE.DDF\n"},
        {-32768, "Btrieve Error -32768: Operation=0, File=FILE.DDF\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.status);
        fakeScript = [&](const EngineCallArgs& a) -> std::optional<int16_t> {
            if (isOpenOf(a, "FILE.DDF")) return r.status;
            return std::nullopt;
        };
        ToolRun run = runTool(path(), {"T"});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, std::string(r.message) + "Unable to Open Dictionary Files - Status " +
                               std::to_string(r.status) + "\n");
    }
}

TEST_F(ToolTest, Status20OnTheFirstOpenEndsTheRunAtOnce) {
    buildDatabase(path(), kOneTable);
    int calls = 0;
    fakeScript = [&](const EngineCallArgs&) -> std::optional<int16_t> {
        ++calls;
        return 20;
    };
    ToolRun run = runTool(path(), {"T", "/D"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Opening Data Dictionaries\nOp: 0, Buflen: 97, KeyNum: 0 Status: 20\n");
    EXPECT_EQ(run.err, "Please load the Btrieve Record Manager\n");
}

TEST_F(ToolTest, FailedInsertIsReportedAndCountedAsAdded) {
    buildDatabase(path(), kOneTable);
    fakeScript = [](const EngineCallArgs& a) -> std::optional<int16_t> {
        if (a.op == 2 && *a.dataLen == 10) return 2;  // an INDEX.DDF insert
        return std::nullopt;
    };
    ToolRun run = runTool(path(), {"T", "/S"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "-\b\\\bBtrieve Error 2: Operation=2, File=INDEX.DDF\n");
    EXPECT_NE(run.out.find("Indices Added   = 1\n"), std::string::npos) << run.out;
}

TEST_F(ToolTest, SegmentAtPositionZeroIsLookedForAtOffset65535) {
    buildDatabase(path(), kOneTable);
    fakeAfter = [](const EngineCallArgs& a, int16_t status) {
        if (a.op == 15 && status == 0) std::memset(static_cast<uint8_t*>(a.dataBuf) + 16, 0, 2);
    };
    ToolRun run = runTool(path(), {"T", "/S"});
    EXPECT_EQ(run.out,
              "No Fields Found At Offset 65535.\n\nWork completed.\nFiles Processed = 1\nFiles Rejected  = 0\n"
              "Btrieve Keys    = 1\nIndices Verified= 0\nIndices Added   = 0\nIndices Corrupt = 1\n");
}

TEST_F(ToolTest, KeySpecsAreReadOnlyAsFarAsStatDelivered) {
    buildDatabase(path(), kOneTable);
    // The key count claims 200 keys, but Stat delivered one specification.
    fakeAfter = [](const EngineCallArgs& a, int16_t status) {
        if (a.op == 15 && status == 0) static_cast<uint8_t*>(a.dataBuf)[4] = 200;
    };
    ToolRun run = runTool(path(), {"T", "/S"});
    EXPECT_NE(run.out.find("Btrieve Keys    = 200\nIndices Verified= 0\nIndices Added   = 1\nIndices Corrupt = 0\n"),
              std::string::npos)
        << run.out;
}

TEST_F(ToolTest, FailedStatScansNothingAndClosesTheFile) {
    buildDatabase(path(), kOneTable);
    // The script runs in the child: it marks the data file's Close on stdout.
    fakeScript = [](const EngineCallArgs& a) -> std::optional<int16_t> {
        if (a.op == 15) return 2;
        if (a.op == 1 && *a.dataLen == 33236) printf("[data file closed]\n");
        return std::nullopt;
    };
    ToolRun run = runTool(path(), {"T", "/S", "/W"});
    // The slot's file name is the path as opened: Xf$Loc with its blanks.
    EXPECT_EQ(run.err, "-\bBtrieve Error 2: Operation=15, File=T.DAT" + std::string(59, ' ') + "\n");
    EXPECT_EQ(run.out.substr(0, 19), "[data file closed]\n");
    EXPECT_NE(run.out.find("Files Processed = 1\nFiles Rejected  = 0\nBtrieve Keys    = 0\n"), std::string::npos);
}

TEST_F(ToolTest, FieldIdsAreHandedOutInOrderWithoutProbingTwice) {
    struct Row {
        const char* why;
        std::vector<int> taken;
        std::vector<int> expected;  // successive allocateFieldId results
    };
    const std::vector<Row> rows = {
        {"ids 1 to 10 taken: 11, then 12", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {11, 12}},
        {"ids 2 and 3 free: 2 first, though 1 is free too", {4, 5, 6}, {2, 3, 7}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        kvtest::TempDir d;
        kvtest::SpecBuilder spec;
        spec.recordLength = 32;
        spec.keys = {{{1, 2, 0x0100, 14}}};
        ASSERT_EQ(kvtest::createFile(d.file("FIELD.DDF"), spec), 0);
        {
            kvtest::File f;
            ASSERT_EQ(f.open(d.file("FIELD.DDF")), 0);
            for (int id : r.taken) {
                std::vector<uint8_t> rec(32, 0);
                rec[0] = static_cast<uint8_t>(id);
                ASSERT_EQ(f.insert(rec), 0);
            }
            f.close();
        }
        ToolRun run = runInChild(d.path.string(), [&] {
            std::strcpy(OwnerName, "");
            if (openSlot(SLOT_FIELD, "FIELD.DDF", FieldRecord.bytes, 32) != 0) return 90;
            for (size_t i = 0; i < r.expected.size(); ++i) printf("%d ", allocateFieldId());
            return 0;
        });
        std::string want;
        for (int id : r.expected) want += std::to_string(id) + " ";
        EXPECT_EQ(run.out, want);
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(ToolTest, FullFieldDdfIsReportedEveryTimeNoIdCanBeHandedOut) {
    buildDatabase(path(), kOneTable);
    int probes = 0;
    bool full = true;
    fakeScript = [&](const EngineCallArgs& a) -> std::optional<int16_t> {
        if (a.op == 5 && a.keyNum == 0 && *a.dataLen == 32) {
            ++probes;
            return full ? 0 : 4;
        }
        return std::nullopt;
    };
    ToolRun run = runInChild(path(), [&] {
        std::strcpy(OwnerName, "..MV....");
        if (openSlot(SLOT_FIELD, "FIELD.DDF", FieldRecord.bytes, 32) != 0) return 90;
        printf("%d ", allocateFieldId());  // every id taken: 2 to 65535 probed
        printf("%d ", probes);
        full = false;
        printf("%d ", allocateFieldId());  // the counter wrapped: candidate 0
        printf("%d\n", allocateFieldId());  // and the search starts again at 1
        return 0;
    });
    EXPECT_EQ(run.out, "0 65534 0 1\n");
    EXPECT_EQ(run.err, "Field.DDF Is Completely Full!\nField.DDF Is Completely Full!\n");
}

TEST_F(ToolTest, ReportOnlyStillAdvancesTheFieldIds) {
    buildDatabase(path(), R"({"system": false, "tables": [{"id": 1, "name": "T", "location": "T.DAT",
      "columns": [{"id": 1, "name": "A", "offset": 0, "size": 2}],
      "indexes": [{"column": "A", "number": 0, "part": 0}, {"column": "A", "number": 1, "part": 0}]}]})");
    // Each probe of FIELD.DDF key 0 (the column id) is printed by the child.
    fakeScript = [](const EngineCallArgs& a) -> std::optional<int16_t> {
        if (a.op == 5 && a.keyNum == 0 && *a.dataLen == 32) printf("probe %d\n", static_cast<uint8_t*>(a.keyBuf)[0]);
        return std::nullopt;
    };
    ToolRun run = runTool(path(), {"T", "/N", "/R", "/S"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.substr(0, 16), "probe 2\nprobe 3\n") << run.out;
    EXPECT_NE(run.out.find("Indices Added   = 2\n"), std::string::npos);
}
