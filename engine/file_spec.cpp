// Create/Stat buffer codec.
//  1. Read the 16-byte file specification and check page size, key count
//     and record length.
//  2. Read each key's segments (a segment with 0x0010 is followed by another
//     of the same key), checking placement, length per type and that the
//     key-wide flags agree across segments.
//  3. Read the ACS tables that follow the segments, as many as the segments
//     refer to.
#include "file_spec.h"

#include <algorithm>

#include "btrcall.h"
#include "bytes.h"

namespace kv {

uint8_t SegmentSpec::effectiveType() const {
    if (flags & KF_EXTENDED_TYPE) return extType;
    if (flags & KF_BINARY) return KT_UNSIGNED_BINARY;
    return KT_STRING;
}

int FileDef::keyIndex(int keyNumber) const {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i].number == keyNumber) return static_cast<int>(i);
    return -1;
}

namespace {

bool lengthAllowed(uint8_t type, unsigned len) {
    switch (type) {
    case KT_INTEGER: return len == 1 || len == 2 || len == 4 || len == 8;
    case KT_AUTOINCREMENT: return len == 2 || len == 4 || len == 8;
    case KT_FLOAT:
    case KT_BFLOAT: return len == 4 || len == 8;
    case KT_DATE:
    case KT_TIME: return len == 4;
    case KT_LOGICAL: return len == 1 || len == 2;
    case KT_CURRENCY:
    case KT_TIMESTAMP: return len == 8;
    case KT_LSTRING:
    case KT_ZSTRING: return len >= 2 && len <= kMaxKeyLength;
    case KT_STRING:
    case KT_DECIMAL:
    case KT_MONEY:
    case KT_NUMERIC:
    case KT_UNSIGNED_BINARY: return len >= 1 && len <= kMaxKeyLength;
    default: return false;
    }
}

constexpr uint16_t kKeyWideFlags = KF_DUPLICATES | KF_MODIFIABLE | KF_NULL | KF_REPEATING_DUPLICATES;

void putSegment(std::string& out, const SegmentSpec& s, uint32_t uniqueCount, bool last) {
    uint8_t b[kSpecSize] = {};
    uint16_t flags = static_cast<uint16_t>(last ? (s.flags & ~KF_SEGMENTED) : (s.flags | KF_SEGMENTED));
    putU16(b, kSpecSize, 0, s.position);
    putU16(b, kSpecSize, 2, s.length);
    putU16(b, kSpecSize, 4, flags);
    putU32(b, kSpecSize, 6, uniqueCount);
    putU8(b, kSpecSize, 10, s.extType);
    putU8(b, kSpecSize, 11, s.nullValue);
    putU8(b, kSpecSize, 14, s.keyNumber);
    putU8(b, kSpecSize, 15, s.acsNumber);
    out.append(reinterpret_cast<const char*>(b), kSpecSize);
}

std::string encode(const FileDef& def, uint32_t recordCount, const std::vector<uint32_t>* counts) {
    std::string out;
    uint8_t head[kSpecSize] = {};
    putU16(head, kSpecSize, 0, def.recordLength);
    putU16(head, kSpecSize, 2, def.pageSize);
    putU16(head, kSpecSize, 4, static_cast<uint16_t>(def.keys.size()));
    putU32(head, kSpecSize, 6, recordCount);
    putU16(head, kSpecSize, 10, def.fileFlags);
    out.append(reinterpret_cast<const char*>(head), kSpecSize);
    for (size_t k = 0; k < def.keys.size(); ++k) {
        const KeyDef& key = def.keys[k];
        uint32_t count = counts && k < counts->size() ? (*counts)[k] : 0;
        for (size_t i = 0; i < key.segments.size(); ++i)
            putSegment(out, key.segments[i], count, i + 1 == key.segments.size());
    }
    for (const auto& table : def.acs) out.append(reinterpret_cast<const char*>(table.data()), table.size());
    return out;
}

}  // namespace

int parseFileSpec(const uint8_t* buf, size_t len, FileDef& out) {
    out = FileDef{};
    if (buf == nullptr || len < kSpecSize) return KV_STATUS_DATA_BUFFER_TOO_SHORT;
    out.recordLength = getU16(buf, len, 0);
    out.pageSize = getU16(buf, len, 2);
    unsigned keyCount = getU16(buf, len, 4);
    out.fileFlags = getU16(buf, len, 10);
    if (out.pageSize < 512 || out.pageSize > 16384 || out.pageSize % 512 != 0) return KV_STATUS_BAD_PAGE_SIZE;
    if (keyCount > kMaxKeys) return KV_STATUS_BAD_KEY_COUNT;
    if (out.recordLength < 4) return KV_STATUS_BAD_RECORD_LENGTH;

    size_t off = kSpecSize;
    unsigned acsNeeded = 0;
    for (unsigned k = 0; k < keyCount; ++k) {
        KeyDef key;
        for (;;) {
            if (off + kSpecSize > len) return KV_STATUS_DATA_BUFFER_TOO_SHORT;
            SegmentSpec s;
            s.position = getU16(buf, len, off);
            s.length = getU16(buf, len, off + 2);
            s.flags = getU16(buf, len, off + 4);
            s.extType = getU8(buf, len, off + 10);
            s.nullValue = getU8(buf, len, off + 11);
            s.keyNumber = (out.fileFlags & FF_KEY_NUMBERS_GIVEN) ? getU8(buf, len, off + 14) : static_cast<uint8_t>(k);
            s.acsNumber = getU8(buf, len, off + 15);
            off += kSpecSize;
            if (!lengthAllowed(s.effectiveType(), s.length)) return KV_STATUS_BAD_KEY_LENGTH;
            if (s.position < 1 || static_cast<unsigned>(s.position) + s.length - 1 > out.recordLength)
                return KV_STATUS_BAD_KEY_POSITION;
            if (key.segments.empty()) {
                key.flags = s.flags;
                key.number = s.keyNumber;
            } else if ((key.flags & kKeyWideFlags) != (s.flags & kKeyWideFlags)) {
                return KV_STATUS_INCONSISTENT_KEY_FLAGS;
            }
            if (s.flags & KF_ACS) acsNeeded = std::max<unsigned>(acsNeeded, s.acsNumber + 1u);
            key.length += s.length;
            key.segments.push_back(s);
            if (!(s.flags & KF_SEGMENTED)) break;
            if (key.segments.size() > kMaxKeyLength) return KV_STATUS_BAD_KEY_LENGTH;
        }
        if (key.length > kMaxKeyLength) return KV_STATUS_BAD_KEY_LENGTH;
        key.flags = static_cast<uint16_t>(key.flags & ~KF_SEGMENTED);
        if (out.keyIndex(key.number) >= 0) return KV_STATUS_INVALID_KEY_NUMBER;
        out.keys.push_back(std::move(key));
    }
    for (unsigned a = 0; a < acsNeeded; ++a) {
        if (off + kAcsSize > len) return KV_STATUS_DATA_BUFFER_TOO_SHORT;
        if (buf[off] != 0xAC) return KV_STATUS_BAD_ACS;
        std::array<uint8_t, kAcsSize> table;
        std::copy(buf + off, buf + off + kAcsSize, table.begin());
        out.acs.push_back(table);
        off += kAcsSize;
    }
    return KV_STATUS_SUCCESS;
}

std::string encodeFileSpec(const FileDef& def) { return encode(def, 0, nullptr); }

std::string encodeStat(const FileDef& def, uint32_t recordCount, const std::vector<uint32_t>& uniqueCounts) {
    return encode(def, recordCount, &uniqueCounts);
}

}  // namespace kv
