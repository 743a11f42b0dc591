// Fuzzes the engine call with random operation codes, lengths, buffers and
// key numbers on an open file. Calls that name a path are pointed at the
// fuzzer's own directory. Afterwards the file must still be sound: every
// key lists every record Stat counts (the file has no null keys).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "btrcall.h"

namespace {

std::string dir, path;

void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void pathKey(uint8_t* key, const std::string& p) {
    std::memset(key, 0, 255);
    std::memcpy(key, p.c_str(), p.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Scratch files on tmpfs where there is one: every input writes files.
    char tmpl[] = "/dev/shm/kvfuzz-call-XXXXXX";
    if (access("/dev/shm", W_OK) != 0) std::memcpy(tmpl, "/tmp/kvfuzz-call-XXXXXX", sizeof "/tmp/kvfuzz-call-XXXXXX");
    dir = mkdtemp(tmpl);
    path = dir + "/f.dat";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A fresh file: 16-byte records, key 0 unique unsigned on bytes 1-2,
    // key 1 a case-insensitive string with duplicates on bytes 3-10.
    std::vector<uint8_t> spec(48, 0);
    put16(spec, 0, 16);
    put16(spec, 2, 512);
    put16(spec, 4, 2);
    put16(spec, 16, 1);
    put16(spec, 18, 2);
    put16(spec, 20, 0x0102);
    spec[26] = 14;
    put16(spec, 32, 3);
    put16(spec, 34, 8);
    put16(spec, 36, 0x0403);
    uint8_t pos[128] = {}, key[256] = {};
    uint32_t len = static_cast<uint32_t>(spec.size());
    pathKey(key, path);
    if (BTRCALL(KV_OP_CREATE, pos, spec.data(), &len, key, 255, 0)) std::abort();
    std::vector<uint8_t> buf(4096, 0);
    len = 16;
    if (BTRCALL(KV_OP_OPEN, pos, buf.data(), &len, key, 255, 0)) std::abort();

    size_t at = 0;
    while (at + 6 <= size) {
        uint16_t op = data[at] % 40;
        uint32_t dataLen = data[at + 1] | (data[at + 2] & 0x0F) << 8;
        uint8_t keyLen = data[at + 3];
        int8_t keyNum = static_cast<int8_t>(data[at + 4]);
        size_t chunk = data[at + 5] % 32;
        at += 6;
        std::vector<uint8_t> payload(data + at, data + std::min(size, at + chunk));
        at += payload.size();
        std::memset(buf.data(), 0, buf.size());
        std::memset(key, 0, sizeof key);
        if (!payload.empty()) {
            std::memcpy(buf.data(), payload.data(), payload.size());
            std::memcpy(key, payload.data(), std::min<size_t>(payload.size(), sizeof key));
        }
        if (op == KV_OP_OPEN || op == KV_OP_CREATE) pathKey(key, op == KV_OP_OPEN ? path : dir + "/other.dat");
        if (dataLen > buf.size()) dataLen = static_cast<uint32_t>(buf.size());
        len = dataLen;
        BTRCALL(op, pos, buf.data(), &len, key, keyLen, keyNum);
        if (len != dataLen && len > buf.size()) std::abort();  // never claims more than the buffer
    }
    // Release everything the sequence opened (it may hold the file
    // exclusively), then reopen in a fresh block and check the file.
    uint32_t zero = 0;
    BTRCALL(KV_OP_RESET, nullptr, nullptr, &zero, nullptr, 0, 0);
    uint8_t check[128] = {};
    pathKey(key, path);
    len = 16;
    std::memset(buf.data(), 0, 16);
    int16_t st = BTRCALL(KV_OP_OPEN, check, buf.data(), &len, key, 255, 0);
    if (st == 0) {
        len = static_cast<uint32_t>(buf.size());
        if (BTRCALL(KV_OP_STAT, check, buf.data(), &len, key, 255, -1) != 0) std::abort();
        uint32_t records = buf[6] | buf[7] << 8 | buf[8] << 16 | static_cast<uint32_t>(buf[9]) << 24;
        for (int8_t k = 0; k < 2; ++k) {
            uint32_t seen = 0;
            len = 4096;
            for (int16_t s = BTRCALL(KV_OP_GET_FIRST, check, buf.data(), &len, key, 255, k); s == 0;
                 s = BTRCALL(KV_OP_GET_NEXT, check, buf.data(), &len, key, 255, k))
                ++seen, len = 4096;
            if (seen != records) std::abort();
        }
    } else if (st != KV_STATUS_WRONG_OWNER) {
        std::abort();  // the only way the fuzzer can lock itself out is Set Owner
    }
    BTRCALL(KV_OP_RESET, nullptr, nullptr, &zero, nullptr, 0, 0);
    unlink(path.c_str());
    unlink((dir + "/other.dat").c_str());
    return 0;
}
