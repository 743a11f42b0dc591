// The reader of real 5.x and 6.x files against the facts of the real test
// files, and against damaged copies of them.
#include <gtest/gtest.h>
#include <sodium.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "btrcall.h"
#include "import.h"
#include "real_format.h"
#include "file_spec_json.h"

using namespace kdb;

namespace {

const std::string kDir = KORVANE_REAL_TESTDATA;

Bytes slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string sha256(const uint8_t* p, size_t n) {
    unsigned char out[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(out, p, n);
    return toHex(out, sizeof out);
}

ordered_json facts() {
    std::ifstream in(kDir + "/facts.json");
    return ordered_json::parse(in);
}

#define NEED_TESTDATA()                                                            \
    if (!std::filesystem::exists(kDir + "/facts.json")) GTEST_SKIP() << "no real test files at " << kDir

}  // namespace

TEST(RealFormat, EveryRealFileMatchesItsFacts) {
    NEED_TESTDATA();
    const ordered_json all = facts();
    for (const auto& [name, f] : all.items()) {
        if (name[0] == '_') continue;
        SCOPED_TRACE(name);
        RealFile real = readRealFile(slurp(kDir + "/" + name));
        EXPECT_EQ(std::to_string(real.version) + ".x", f["format_version"].get<std::string>());
        EXPECT_EQ(real.pageSize, f["page_size"].get<int>());
        EXPECT_EQ(real.recordLength, f["record_length"].get<int>());
        EXPECT_EQ(real.physicalLength, f["physical_record_length"].get<int>());
        EXPECT_EQ(real.variable, f["variable_length"].get<bool>());
        EXPECT_EQ(real.storedRecords, f["record_count_stored"].get<unsigned>());
        EXPECT_EQ(real.records.size(), f["record_count_found"].get<size_t>());
        EXPECT_EQ(real.keys.size(), f["key_count"].get<size_t>());
        size_t segments = 0;
        for (const RealKey& k : real.keys) segments += k.segments.size();
        ASSERT_EQ(segments, f["segment_count"].get<size_t>());
        for (const auto& s : f["segments"]) {
            const RealSegment& got = real.keys.at(s["key"].get<size_t>()).segments.at(s["segment"].get<size_t>());
            SCOPED_TRACE("key " + s["key"].dump() + " segment " + s["segment"].dump());
            EXPECT_EQ(got.position, s["position"].get<int>());
            EXPECT_EQ(got.length, s["length"].get<int>());
            EXPECT_EQ(got.flags, std::stoi(s["flags"].get<std::string>(), nullptr, 16));
            EXPECT_EQ(got.extendedType, s["extended_type"].get<int>());
            EXPECT_EQ(got.nullValue, s["null_value"].get<int>());
            if (s.contains("acs_table_sha256")) {
                ASSERT_GE(got.acs, 0);
                const auto& table = real.acs.at(static_cast<size_t>(got.acs));
                std::string acsName(reinterpret_cast<const char*>(&table[1]), 8);
                EXPECT_EQ(acsName.substr(0, s["acs_name"].get<std::string>().size()), s["acs_name"].get<std::string>());
                EXPECT_EQ(sha256(&table[9], 256), s["acs_table_sha256"].get<std::string>());
            }
        }
        for (const char* which : {"first_record", "last_record"}) {
            if (f[which].is_null()) continue;
            SCOPED_TRACE(which);
            const Bytes& rec = std::string(which) == "first_record" ? real.records.front() : real.records.back();
            EXPECT_EQ(rec.size(), f[which]["length"].get<size_t>());
            EXPECT_EQ(sha256(rec.data(), rec.size()), f[which]["sha256"].get<std::string>());
        }
        if (f.contains("all_records_sha256")) {
            Bytes all;
            for (const Bytes& r : real.records) all.insert(all.end(), r.begin(), r.end());
            EXPECT_EQ(sha256(all.data(), all.size()), f["all_records_sha256"].get<std::string>());
        }
    }
}

// Every prefix of a small real file of each version, a sample of prefixes of
// the larger ones, and copies with random bytes over one page: each is read
// or refused with a reason, and nothing crashes (this suite also runs under
// ASan and UBSan).
TEST(RealFormat, DamagedCopiesAreRefusedWithAReasonAndNeverCrash) {
    NEED_TESTDATA();
    std::mt19937 rng(12345);
    int read = 0, refused = 0;
    auto attempt = [&](const Bytes& b) {
        try {
            readRealFile(b);
            ++read;
        } catch (const UnsupportedFile& e) {
            EXPECT_STRNE(e.what(), "");
            ++refused;
        }
    };
    for (const char* name : {"MBBSEMU.DAT", "MBMGEPLT.DAT", "GALTELA.DAT", "WGSMENU2.DAT", "VARIABLE.DAT", "MULTIACS.DAT"}) {
        SCOPED_TRACE(name);
        Bytes whole = slurp(kDir + "/" + name);
        size_t step = whole.size() <= 16384 ? 1 : whole.size() / 2000;
        for (size_t n = 0; n < whole.size(); n += step) attempt(Bytes(whole.begin(), whole.begin() + static_cast<long>(n)));
        size_t pageSize = readRealFile(whole).pageSize;
        for (int i = 0; i < 150; ++i) {
            Bytes copy = whole;
            size_t page = rng() % (copy.size() / pageSize);
            for (size_t b = 0; b < pageSize; ++b) copy[page * pageSize + b] = static_cast<uint8_t>(rng());
            attempt(copy);
        }
    }
    EXPECT_GT(refused, 0);
    std::printf("damaged copies: %d read, %d refused\n", read, refused);
}

TEST(RealFormat, UnsupportedFeaturesAreNamed) {
    NEED_TESTDATA();
    Bytes v5 = slurp(kDir + "/MBBSEMU.DAT");
    struct Row {
        const char* why;
        size_t at;
        uint16_t value;
        const char* reason;
    };
    const Row rows[] = {
        {"needs recovery", 0x22, 0xFFFF, "the file needs recovery by its engine"},
        {"compressed", 0x106, 0x0008, "data compression is not supported"},
        {"key-only", 0x106, 0x0010, "key-only files are not supported"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        Bytes copy = v5;
        copy[r.at] = static_cast<uint8_t>(r.value);
        copy[r.at + 1] = static_cast<uint8_t>(r.value >> 8);
        try {
            readRealFile(copy);
            ADD_FAILURE() << "read";
        } catch (const UnsupportedFile& e) {
            EXPECT_STREQ(e.what(), r.reason);
        }
    }
    Bytes text = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_THROW(readRealFile(text), UnsupportedFile);
}

// A converted file orders its records as the engine would: in MBMGEPLT.DAT
// key 2 holds 1 eight times, 2 eight times and 3 six times, so a Get Greater
// or Equal on 2 finds a 2 and 13 more records follow it.
TEST(RealFormat, AConvertedFileAnswersGetsInKeyOrder) {
    NEED_TESTDATA();
    char tmpl[] = "/tmp/kvreal-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    std::string out = dir + "/PLATES.DAT";
    RealFile real = readRealFile(slurp(kDir + "/MBMGEPLT.DAT"));
    createEngineFile(out, createBufferFor(real), false);
    {
        EngineFile f(out);
        for (const Bytes& r : real.records) ASSERT_EQ(f.insert(r), 0);
        Bytes rec, key(255, 0);
        key[0] = 2;
        ASSERT_EQ(f.get(KV_OP_GET_GREATER_OR_EQUAL, 2, rec, key), 0);
        EXPECT_EQ(rec[6], 2);
        int after = 0;
        while (f.get(KV_OP_GET_NEXT, 2, rec, key) == 0) ++after;
        EXPECT_EQ(after, 13);
    }
    std::filesystem::remove_all(dir);
}
