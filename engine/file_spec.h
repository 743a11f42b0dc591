// The Create and Stat buffer codec: a 16-byte file specification followed by
// one 16-byte specification per key segment (and, for Create, the ACS tables).
//
// File specification: record length @0 (u16), page size @2 (u16), number of
// keys @4 (u16), number of records @6 (u32, Stat only), file flags @10 (u16).
// Segment: position @0 (u16, 1-based), length @2 (u16), flags @4 (u16),
// unique-value count @6 (u32, Stat only), extended type @10, null value @11,
// key number @14, ACS number @15.
#ifndef KORVANE_ENGINE_FILE_SPEC_H
#define KORVANE_ENGINE_FILE_SPEC_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

enum KeyFlag : uint16_t {
    KF_DUPLICATES = 0x0001,
    KF_MODIFIABLE = 0x0002,
    KF_BINARY = 0x0004,
    KF_NULL = 0x0008,
    KF_SEGMENTED = 0x0010,
    KF_ACS = 0x0020,
    KF_DESCENDING = 0x0040,
    KF_REPEATING_DUPLICATES = 0x0080,
    KF_EXTENDED_TYPE = 0x0100,
    KF_MANUAL = 0x0200,
    KF_CASE_INSENSITIVE = 0x0400
};

enum FileFlag : uint16_t {
    FF_VARIABLE_LENGTH = 0x0001,
    FF_KEY_NUMBERS_GIVEN = 0x0400
};

// Extended key types.
enum KeyType : uint8_t {
    KT_STRING = 0,
    KT_INTEGER = 1,
    KT_FLOAT = 2,
    KT_DATE = 3,
    KT_TIME = 4,
    KT_DECIMAL = 5,
    KT_MONEY = 6,
    KT_LOGICAL = 7,
    KT_NUMERIC = 8,
    KT_BFLOAT = 9,
    KT_LSTRING = 10,
    KT_ZSTRING = 11,
    KT_UNSIGNED_BINARY = 14,
    KT_AUTOINCREMENT = 15,
    KT_CURRENCY = 19,
    KT_TIMESTAMP = 20
};

constexpr size_t kSpecSize = 16;
constexpr size_t kAcsSize = 265;
constexpr unsigned kMaxKeys = 119;
constexpr unsigned kMaxKeyLength = 255;

struct SegmentSpec {
    uint16_t position = 0;  // 1-based
    uint16_t length = 0;
    uint16_t flags = 0;
    uint8_t extType = 0;
    uint8_t nullValue = 0;
    uint8_t keyNumber = 0;
    uint8_t acsNumber = 0;
    // The type this segment orders by, after the legacy binary flag and the
    // extended-type flag have been taken into account.
    uint8_t effectiveType() const;
};

struct KeyDef {
    uint8_t number = 0;
    uint16_t flags = 0;  // flags of the first segment; the key-wide bits agree
    unsigned length = 0; // sum of the segment lengths
    std::vector<SegmentSpec> segments;
    bool unique() const { return (flags & (KF_DUPLICATES | KF_REPEATING_DUPLICATES)) == 0; }
    bool modifiable() const { return (flags & KF_MODIFIABLE) != 0; }
};

struct FileDef {
    uint16_t recordLength = 0;
    uint16_t pageSize = 0;
    uint16_t fileFlags = 0;
    std::vector<KeyDef> keys;
    std::vector<std::array<uint8_t, kAcsSize>> acs;
    bool variableLength() const { return (fileFlags & FF_VARIABLE_LENGTH) != 0; }
    // Index into keys for an engine key number, or -1.
    int keyIndex(int keyNumber) const;
};

// Parses and validates a Create buffer. Returns 0, or the status that names
// the first fault: 22 truncated, 24 page size, 26 key count, 27 segment
// outside the record, 28 record length, 29 segment length or type,
// 45 inconsistent key flags, 6 duplicate key number, 48 bad ACS table.
int parseFileSpec(const uint8_t* buf, size_t len, FileDef& out);

// Writes the canonical Create buffer for a definition (the form stored in
// the engine file).
std::string encodeFileSpec(const FileDef& def);

// Writes the Stat result. uniqueCounts holds one count per key.
std::string encodeStat(const FileDef& def, uint32_t recordCount,
                       const std::vector<uint32_t>& uniqueCounts);

}  // namespace kv

#endif
