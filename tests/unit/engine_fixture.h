// Small verbs for driving the engine through its call interface in tests.
#ifndef KORVANE_TESTS_ENGINE_FIXTURE_H
#define KORVANE_TESTS_ENGINE_FIXTURE_H

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "btrcall.h"

namespace kvtest {

struct Segment {
    uint16_t position;
    uint16_t length;
    uint16_t flags;
    uint8_t type = 0;
    uint8_t nullValue = 0;
    uint8_t keyNumber = 0;
    uint8_t acs = 0;
};

// One key = consecutive segments; the builder sets 0x0010 on all but the last.
struct SpecBuilder {
    uint16_t recordLength = 16;
    uint16_t pageSize = 1024;
    uint16_t fileFlags = 0;
    std::vector<std::vector<Segment>> keys;
    std::vector<std::vector<uint8_t>> acs;

    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> b(16, 0);
        auto put16 = [&](size_t at, uint16_t v) { b[at] = v & 0xFF; b[at + 1] = v >> 8; };
        put16(0, recordLength);
        put16(2, pageSize);
        put16(4, static_cast<uint16_t>(keys.size()));
        put16(10, fileFlags);
        for (const auto& key : keys) {
            for (size_t i = 0; i < key.size(); ++i) {
                size_t at = b.size();
                b.resize(at + 16, 0);
                const Segment& s = key[i];
                uint16_t flags = s.flags;
                if (i + 1 < key.size()) flags |= 0x0010;
                put16(at, s.position);
                put16(at + 2, s.length);
                put16(at + 4, flags);
                b[at + 10] = s.type;
                b[at + 11] = s.nullValue;
                b[at + 14] = s.keyNumber;
                b[at + 15] = s.acs;
            }
        }
        for (const auto& table : acs) b.insert(b.end(), table.begin(), table.end());
        return b;
    }
};

inline int16_t createFile(const std::string& path, const SpecBuilder& spec, int8_t keyNum = 0) {
    std::vector<uint8_t> buf = spec.bytes();
    uint32_t len = static_cast<uint32_t>(buf.size());
    uint8_t pos[128] = {};
    char key[256] = {};
    std::strncpy(key, path.c_str(), 255);
    return BTRCALL(KV_OP_CREATE, pos, buf.data(), &len, key, 255, keyNum);
}

// An open engine file.
struct File {
    uint8_t pos[128] = {};
    uint8_t key[255] = {};
    std::vector<uint8_t> data = std::vector<uint8_t>(4096, 0);
    uint32_t len = 0;

    int16_t open(const std::string& path, int8_t mode = 0, const std::string& owner = "") {
        std::memset(data.data(), 0, data.size());
        std::memcpy(data.data(), owner.c_str(), owner.size());
        len = static_cast<uint32_t>(owner.size() + 1);
        char k[256] = {};
        std::strncpy(k, path.c_str(), 255);
        return BTRCALL(KV_OP_OPEN, pos, data.data(), &len, k, 255, mode);
    }
    int16_t close() { return BTRCALL(KV_OP_CLOSE, pos, data.data(), &len, key, 255, 0); }
    int16_t insert(const std::vector<uint8_t>& rec, int8_t keyNum = 0) {
        std::vector<uint8_t> r = rec;
        len = static_cast<uint32_t>(r.size());
        int16_t st = BTRCALL(KV_OP_INSERT, pos, r.data(), &len, key, 255, keyNum);
        last = r;
        return st;
    }
    int16_t update(const std::vector<uint8_t>& rec, int8_t keyNum = 0) {
        std::vector<uint8_t> r = rec;
        len = static_cast<uint32_t>(r.size());
        return BTRCALL(KV_OP_UPDATE, pos, r.data(), &len, key, 255, keyNum);
    }
    int16_t erase(int8_t keyNum = 0) { return BTRCALL(KV_OP_DELETE, pos, data.data(), &len, key, 255, keyNum); }
    // A Get with the key buffer holding keyValue (for the keyed Gets).
    int16_t get(uint16_t op, int8_t keyNum, const std::vector<uint8_t>& keyValue = {}) {
        if (!keyValue.empty()) {
            std::memset(key, 0, sizeof key);
            std::memcpy(key, keyValue.data(), keyValue.size());
        }
        len = static_cast<uint32_t>(data.size());
        return BTRCALL(op, pos, data.data(), &len, key, 255, keyNum);
    }
    std::vector<uint8_t> record() const { return std::vector<uint8_t>(data.begin(), data.begin() + len); }
    int16_t stat(std::vector<uint8_t>& out) {
        out.assign(33236, 0);
        len = static_cast<uint32_t>(out.size());
        int16_t st = BTRCALL(KV_OP_STAT, pos, out.data(), &len, key, 255, -1);
        out.resize(st == 0 ? len : 0);
        return st;
    }
    std::vector<uint8_t> last;
};

// A fresh temporary directory, removed at the end of the test.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        char tmpl[] = "/tmp/kvtest-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

}  // namespace kvtest

#endif
