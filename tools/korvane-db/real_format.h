// A read-only reader of files written by real Btrieve 5.x and 6.x engines.
// Every field of the file is untrusted: all reads are bounds-checked, every
// chain is bounded, and a file that can't be read whole is refused with a
// reason rather than half-read.
#ifndef KORVANE_DB_REAL_FORMAT_H
#define KORVANE_DB_REAL_FORMAT_H

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine_client.h"

namespace kdb {

// A file this reader does not take: damaged, or a feature it can't convert
// (compression, a later format, needing recovery). what() is the reason.
struct UnsupportedFile : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct RealSegment {
    uint16_t position = 0;  // 1-based
    uint16_t length = 0;
    uint16_t flags = 0;
    uint8_t extendedType = 0;
    uint8_t nullValue = 0;
    int acs = -1;  // index into RealFile::acs, or -1
};

struct RealKey {
    std::vector<RealSegment> segments;
};

struct RealFile {
    int version = 0;  // 5 or 6
    uint16_t pageSize = 0;
    uint16_t recordLength = 0;
    uint16_t physicalLength = 0;
    uint16_t fileFlags = 0;
    bool variable = false;
    uint32_t storedRecords = 0;  // the count the file claims
    std::vector<RealKey> keys;
    std::vector<std::array<uint8_t, 265>> acs;
    // User records in physical order (v6: ascending logical page): the fixed
    // part followed by the re-assembled variable part.
    std::vector<Bytes> records;
    std::vector<std::string> notes;  // what was passed over, and why
};

// Reads a whole file's bytes; throws UnsupportedFile.
RealFile readRealFile(const Bytes& file);

// True when the bytes start like a 5.x or 6.x file.
bool looksLikeRealFile(const Bytes& file);

}  // namespace kdb

#endif
