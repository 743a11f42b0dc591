// Fuzzes the engine's Create buffer parsing and key encoding.
// Mode 0: the input is a Create buffer as it comes (robustness only).
// Mode 1: the input draws a file of one key over string, integer and
// unsigned segments (ascending or descending, case-insensitive strings,
// duplicates or unique) and then records to insert; Get First/Next must
// return exactly the accepted records in the order an independent model
// gives, and a unique key must refuse exactly the model's duplicates.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "btrcall.h"

namespace {

std::string dir;

struct Input {
    const uint8_t* p;
    size_t n;
    uint8_t byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
};

struct Seg {
    uint16_t pos, len;
    uint8_t type;  // 0 string, 1 integer, 14 unsigned
    bool desc, nocase;
};

int compareSeg(const Seg& s, const uint8_t* a, const uint8_t* b) {
    int c = 0;
    if (s.type == 0) {
        for (unsigned i = 0; i < s.len && !c; ++i) {
            int x = s.nocase ? std::toupper(a[i]) : a[i], y = s.nocase ? std::toupper(b[i]) : b[i];
            c = (x > y) - (x < y);
        }
    } else {
        uint64_t x = 0, y = 0;
        for (unsigned i = 0; i < s.len; ++i) {
            x |= static_cast<uint64_t>(a[i]) << (8 * i);
            y |= static_cast<uint64_t>(b[i]) << (8 * i);
        }
        if (s.type == 1) {
            unsigned shift = 64 - 8 * s.len;
            int64_t sx = static_cast<int64_t>(x << shift) >> shift, sy = static_cast<int64_t>(y << shift) >> shift;
            c = (sx > sy) - (sx < sy);
        } else {
            c = (x > y) - (x < y);
        }
    }
    return s.desc ? -c : c;
}

int compareKey(const std::vector<Seg>& segs, const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    for (const Seg& s : segs)
        if (int c = compareSeg(s, a.data() + s.pos - 1, b.data() + s.pos - 1)) return c;
    return 0;
}

void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

int16_t create(const std::string& path, std::vector<uint8_t>& spec) {
    uint8_t pos[128] = {};
    uint32_t len = static_cast<uint32_t>(spec.size());
    char key[256] = {};
    std::snprintf(key, sizeof key, "%s", path.c_str());
    return BTRCALL(KV_OP_CREATE, pos, spec.data(), &len, key, 255, 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Scratch files on tmpfs where there is one: every input writes files.
    char tmpl[] = "/dev/shm/kvfuzz-keys-XXXXXX";
    if (access("/dev/shm", W_OK) != 0) std::memcpy(tmpl, "/tmp/kvfuzz-keys-XXXXXX", sizeof "/tmp/kvfuzz-keys-XXXXXX");
    dir = mkdtemp(tmpl);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    Input in{data + 1, size - 1};
    std::string path = dir + "/k.dat";
    if (data[0] % 2 == 0) {
        std::vector<uint8_t> spec(in.p, in.p + in.n);
        if (create(path, spec) == 0) unlink(path.c_str());
        return 0;
    }
    uint16_t recLen = static_cast<uint16_t>(8 + in.byte() % 24);
    std::vector<Seg> segs;
    unsigned count = 1 + in.byte() % 3;
    for (unsigned i = 0; i < count; ++i) {
        Seg s;
        uint8_t t = in.byte();
        s.type = t % 3 == 0 ? 0 : (t % 3 == 1 ? 1 : 14);
        s.desc = t & 0x10;
        s.nocase = s.type == 0 && (t & 0x20);
        static const uint16_t intLens[] = {1, 2, 4, 8};
        s.len = s.type == 0 ? static_cast<uint16_t>(1 + in.byte() % 6) : intLens[in.byte() % 4];
        if (s.len > recLen) s.len = recLen;
        if (s.type != 0 && s.len != 1 && s.len != 2 && s.len != 4 && s.len != 8) s.len = 1;
        s.pos = static_cast<uint16_t>(1 + in.byte() % (recLen - s.len + 1));
        segs.push_back(s);
    }
    bool unique = in.byte() & 1;
    std::vector<uint8_t> spec(16 + 16 * segs.size(), 0);
    put16(spec, 0, recLen);
    put16(spec, 2, 512);
    put16(spec, 4, 1);
    for (size_t i = 0; i < segs.size(); ++i) {
        size_t at = 16 + 16 * i;
        uint16_t flags = static_cast<uint16_t>((unique ? 0 : 0x0001) | 0x0100 | (i + 1 < segs.size() ? 0x0010 : 0) |
                                               (segs[i].desc ? 0x0040 : 0) | (segs[i].nocase ? 0x0400 : 0));
        put16(spec, at, segs[i].pos);
        put16(spec, at + 2, segs[i].len);
        put16(spec, at + 4, flags);
        spec[at + 10] = segs[i].type;
    }
    if (create(path, spec) != 0) std::abort();  // every drawn spec is valid
    uint8_t pos[128] = {};
    uint8_t owner[16] = {};
    uint32_t len = sizeof owner;
    char key[256] = {};
    std::snprintf(key, sizeof key, "%s", path.c_str());
    if (BTRCALL(KV_OP_OPEN, pos, owner, &len, key, 255, 0) != 0) std::abort();

    std::vector<std::vector<uint8_t>> accepted;
    while (in.n >= recLen) {
        std::vector<uint8_t> rec(in.p, in.p + recLen);
        in.p += recLen;
        in.n -= recLen;
        bool dup = false;
        for (const auto& r : accepted) dup |= compareKey(segs, r, rec) == 0;
        uint8_t kb[255];
        std::vector<uint8_t> copy = rec;
        len = recLen;
        int16_t st = BTRCALL(KV_OP_INSERT, pos, copy.data(), &len, kb, 255, 0);
        if (unique && dup) {
            if (st != KV_STATUS_DUPLICATE_KEY) std::abort();
        } else {
            if (st != 0) std::abort();
            accepted.push_back(rec);
        }
    }
    // The model's order: by key, ties in insertion order.
    std::vector<std::vector<uint8_t>> expected = accepted;
    std::stable_sort(expected.begin(), expected.end(),
                     [&](const auto& a, const auto& b) { return compareKey(segs, a, b) < 0; });
    std::vector<uint8_t> buf(recLen);
    uint8_t kb[255];
    size_t i = 0;
    len = recLen;
    for (int16_t st = BTRCALL(KV_OP_GET_FIRST, pos, buf.data(), &len, kb, 255, 0); st == 0;
         st = BTRCALL(KV_OP_GET_NEXT, pos, buf.data(), &len, kb, 255, 0), ++i) {
        if (i >= expected.size() || buf != expected[i]) std::abort();
        len = recLen;
    }
    if (i != expected.size()) std::abort();
    BTRCALL(KV_OP_CLOSE, pos, buf.data(), &len, kb, 255, 0);
    unlink(path.c_str());
    return 0;
}
