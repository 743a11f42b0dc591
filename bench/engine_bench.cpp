// Micro-benchmarks of the engine calls the repair tool makes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "btrcall.h"

namespace {

struct Dir {
    std::string path;
    Dir() {
        char tmpl[] = "/tmp/kvbench-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~Dir() { std::filesystem::remove_all(path); }
};

void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// A FIELD.DDF-like file: 32-byte records, key 0 unique on the id, key 1 the
// (table, offset, decimals) composite with duplicates.
std::vector<uint8_t> fieldSpec() {
    std::vector<uint8_t> b(16 + 4 * 16, 0);
    put16(b, 0, 32);
    put16(b, 2, 1024);
    put16(b, 4, 2);
    auto seg = [&](size_t at, uint16_t pos, uint16_t len, uint16_t flags) {
        put16(b, at, pos);
        put16(b, at + 2, len);
        put16(b, at + 4, flags);
        b[at + 10] = 14;
    };
    seg(16, 1, 2, 0x0102);
    seg(32, 3, 2, 0x0113);
    seg(48, 26, 2, 0x0113);
    seg(64, 30, 1, 0x0103);
    return b;
}

struct Engine {
    uint8_t pos[128] = {};
    uint8_t key[255] = {};
    uint8_t data[64] = {};
    uint32_t len = 0;
    int16_t call(uint16_t op, int8_t keyNum, void* buf, uint32_t n) {
        len = n;
        return BTRCALL(op, pos, buf, &len, key, 255, keyNum);
    }
    void open(const std::string& path) {
        std::memset(key, 0, sizeof key);
        std::snprintf(reinterpret_cast<char*>(key), sizeof key, "%s", path.c_str());
        if (call(KV_OP_OPEN, 0, data, sizeof data)) std::abort();
    }
};

std::vector<uint8_t> fieldRecord(uint16_t id, uint16_t table, uint16_t offset) {
    std::vector<uint8_t> r(32, 0);
    put16(r, 0, id);
    put16(r, 2, table);
    put16(r, 25, offset);
    put16(r, 27, 4);
    return r;
}

// A file of n FIELD-like records over 100 tables, left open.
std::string filled(Dir& dir, int n) {
    std::string path = dir.path + "/FIELD.DDF";
    std::vector<uint8_t> spec = fieldSpec();
    uint8_t pos[128] = {};
    uint32_t len = static_cast<uint32_t>(spec.size());
    char key[256] = {};
    std::snprintf(key, sizeof key, "%s", path.c_str());
    BTRCALL(KV_OP_CREATE, pos, spec.data(), &len, key, 255, 0);
    Engine e;
    e.open(path);
    for (int i = 1; i <= n; ++i) {
        auto r = fieldRecord(static_cast<uint16_t>(i % 65000 + 1), static_cast<uint16_t>(i % 100), static_cast<uint16_t>(i * 4));
        e.call(KV_OP_INSERT, 0, r.data(), 32);
    }
    e.call(KV_OP_CLOSE, 0, e.data, 0);
    return path;
}

void OpenStatClose(benchmark::State& state) {
    Dir dir;
    std::string path = filled(dir, 50);
    std::vector<uint8_t> stat(33236);
    for (auto _ : state) {
        Engine e;
        e.open(path);
        if (e.call(KV_OP_STAT, -1, stat.data(), static_cast<uint32_t>(stat.size()))) std::abort();
        e.call(KV_OP_CLOSE, 0, e.data, 0);
    }
}
BENCHMARK(OpenStatClose);

void GetGreaterOrEqual(benchmark::State& state) {
    Dir dir;
    std::string path = filled(dir, 10000);
    Engine e;
    e.open(path);
    unsigned i = 0;
    for (auto _ : state) {
        ++i;
        e.key[0] = static_cast<uint8_t>(i % 100);
        e.key[1] = 0;
        e.key[2] = static_cast<uint8_t>((i * 4) & 0xFF);
        e.key[3] = static_cast<uint8_t>(((i * 4) >> 8) & 0xFF);
        e.key[4] = 0;
        benchmark::DoNotOptimize(e.call(KV_OP_GET_GREATER_OR_EQUAL, 1, e.data, sizeof e.data));
    }
}
BENCHMARK(GetGreaterOrEqual);

void GetNext(benchmark::State& state) {
    Dir dir;
    std::string path = filled(dir, 10000);
    Engine e;
    e.open(path);
    e.call(KV_OP_GET_FIRST, 1, e.data, sizeof e.data);
    for (auto _ : state) {
        if (e.call(KV_OP_GET_NEXT, 1, e.data, sizeof e.data) != 0) e.call(KV_OP_GET_FIRST, 1, e.data, sizeof e.data);
    }
}
BENCHMARK(GetNext);

void InsertUnique(benchmark::State& state) {
    Dir dir;
    std::string path = filled(dir, 0);
    Engine e;
    e.open(path);
    uint16_t id = 0;
    for (auto _ : state) {
        ++id;
        auto r = fieldRecord(id, static_cast<uint16_t>(id % 100), id);
        if (e.call(KV_OP_INSERT, 0, r.data(), 32) != 0) {
            state.PauseTiming();  // the id space wrapped: start a fresh file
            e.call(KV_OP_CLOSE, 0, e.data, 0);
            path = filled(dir, 0);
            e.open(path);
            state.ResumeTiming();
        }
    }
}
BENCHMARK(InsertUnique);

void Update(benchmark::State& state) {
    Dir dir;
    std::string path = filled(dir, 1000);
    Engine e;
    e.open(path);
    e.key[0] = 7;
    e.key[1] = 0;
    e.call(KV_OP_GET_EQUAL, 0, e.data, sizeof e.data);
    std::vector<uint8_t> r(e.data, e.data + 32);
    uint16_t flags = 0;
    for (auto _ : state) {
        put16(r, 30, ++flags);
        if (e.call(KV_OP_UPDATE, 0, r.data(), 32)) std::abort();
    }
}
BENCHMARK(Update);

void GetEqualIn100k(benchmark::State& state) {
    Dir dir;
    std::string path = dir.path + "/BIG.DAT";
    std::vector<uint8_t> spec(32, 0);
    put16(spec, 0, 16);
    put16(spec, 2, 4096);
    put16(spec, 4, 1);
    put16(spec, 16, 1);
    put16(spec, 18, 4);
    put16(spec, 20, 0x0100);
    spec[26] = 14;
    uint8_t pos[128] = {};
    uint32_t len = 32;
    char key[256] = {};
    std::snprintf(key, sizeof key, "%s", path.c_str());
    BTRCALL(KV_OP_CREATE, pos, spec.data(), &len, key, 255, 0);
    Engine e;
    e.open(path);
    // Load in one process-wide pass; each Insert is its own transaction.
    std::vector<uint8_t> r(16, 0);
    for (uint32_t i = 0; i < 100000; ++i) {
        std::memcpy(r.data(), &i, 4);
        e.call(KV_OP_INSERT, 0, r.data(), 16);
    }
    uint32_t i = 0;
    for (auto _ : state) {
        i = (i * 2654435761u + 1) % 100000;
        std::memcpy(e.key, &i, 4);
        if (e.call(KV_OP_GET_EQUAL, 0, e.data, sizeof e.data)) std::abort();
    }
}
BENCHMARK(GetEqualIn100k)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
