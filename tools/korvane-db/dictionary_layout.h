// Record layouts of the three dictionary files, as korvane-db writes and
// reads them: offsets and widths in one place.
#ifndef KORVANE_DB_DICTIONARY_LAYOUT_H
#define KORVANE_DB_DICTIONARY_LAYOUT_H

#include <cstdint>
#include <string>

#include "engine_client.h"

namespace kdb {

constexpr size_t kFileRecordLength = 97;
constexpr size_t kFieldRecordLength = 32;
constexpr size_t kIndexRecordLength = 10;
constexpr size_t kNameWidth = 20;
constexpr size_t kLocWidth = 64;

struct FileRow {
    uint16_t id = 0;
    std::string name, location;
    uint8_t flags = 0;
};
struct FieldRow {
    uint16_t id = 0, file = 0;
    std::string name;
    uint8_t type = 0;
    uint16_t offset = 0, size = 0;
    uint8_t dec = 0;
    uint16_t flags = 0;
};
struct IndexRow {
    uint16_t file = 0, field = 0, number = 0, part = 0, flags = 0;
};

inline void put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline uint16_t get16(const Bytes& b, size_t at) {
    return at + 1 < b.size() ? static_cast<uint16_t>(b[at] | b[at + 1] << 8) : 0;
}
// A blank-padded fixed-width text field.
inline void putText(Bytes& b, size_t at, size_t width, const std::string& s, char pad = ' ') {
    for (size_t i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(i < s.size() ? s[i] : pad);
}
// The text of a fixed-width field, up to its first NUL, trailing blanks removed.
inline std::string getText(const Bytes& b, size_t at, size_t width) {
    std::string s;
    for (size_t i = 0; i < width && at + i < b.size() && b[at + i] != 0; ++i) s.push_back(static_cast<char>(b[at + i]));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

inline Bytes encodeFileRow(const FileRow& r) {
    Bytes b(kFileRecordLength, 0);
    put16(b, 0, r.id);
    putText(b, 2, kNameWidth, r.name);
    putText(b, 22, kLocWidth, r.location);
    b[86] = r.flags;
    return b;
}
inline FileRow decodeFileRow(const Bytes& b) {
    FileRow r;
    r.id = get16(b, 0);
    r.name = getText(b, 2, kNameWidth);
    r.location = getText(b, 22, kLocWidth);
    r.flags = b.size() > 86 ? b[86] : 0;
    return r;
}
inline Bytes encodeFieldRow(const FieldRow& r) {
    Bytes b(kFieldRecordLength, 0);
    put16(b, 0, r.id);
    put16(b, 2, r.file);
    putText(b, 4, kNameWidth, r.name);
    b[24] = r.type;
    put16(b, 25, r.offset);
    put16(b, 27, r.size);
    b[29] = r.dec;
    put16(b, 30, r.flags);
    return b;
}
inline FieldRow decodeFieldRow(const Bytes& b) {
    FieldRow r;
    r.id = get16(b, 0);
    r.file = get16(b, 2);
    r.name = getText(b, 4, kNameWidth);
    r.type = b.size() > 24 ? b[24] : 0;
    r.offset = get16(b, 25);
    r.size = get16(b, 27);
    r.dec = b.size() > 29 ? b[29] : 0;
    r.flags = get16(b, 30);
    return r;
}
inline Bytes encodeIndexRow(const IndexRow& r) {
    Bytes b(kIndexRecordLength, 0);
    put16(b, 0, r.file);
    put16(b, 2, r.field);
    put16(b, 4, r.number);
    put16(b, 6, r.part);
    put16(b, 8, r.flags);
    return b;
}
inline IndexRow decodeIndexRow(const Bytes& b) {
    return IndexRow{get16(b, 0), get16(b, 2), get16(b, 4), get16(b, 6), get16(b, 8)};
}

// Dictionary index flags for engine key flags: bits 0x0004 and 0x0080
// dropped, 0x0020 (ACS) to 0x0004, 0x0200 (manual) to 0x0008, 0x0400
// (case-insensitive) to 0x0020.
inline uint16_t indexFlagsFor(uint16_t keyFlags) {
    uint16_t f = keyFlags & 0xF95B;
    if (keyFlags & 0x0020) f |= 0x0004;
    if (keyFlags & 0x0200) f |= 0x0008;
    if (keyFlags & 0x0400) f |= 0x0020;
    return f;
}

}  // namespace kdb

#endif
