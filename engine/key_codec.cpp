// Key encoding, one segment at a time:
//  1. decode the segment by its type into an order-preserving byte form of
//     the same length (big-endian numbers with the sign bit flipped, IEEE
//     total order, date and time fields reordered, BCD and numeric text
//     mapped to sign-then-digits);
//  2. apply case folding or the ACS table to string types;
//  3. invert the bytes of a descending segment.
#include "key_codec.h"

#include <cctype>
#include <cstring>

namespace kv {

namespace {

uint64_t readLittle(const uint8_t* p, unsigned n) {
    uint64_t v = 0;
    for (unsigned i = 0; i < n && i < 8; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return v;
}

void writeBig(uint8_t* out, unsigned n, uint64_t v) {
    for (unsigned i = 0; i < n; ++i) out[n - 1 - i] = static_cast<uint8_t>(v >> (8 * i));
}

// Little-endian integer reversed to big-endian; signed values get their sign
// bit flipped so that negatives order before positives.
void encodeInteger(const uint8_t* in, unsigned n, bool isSigned, uint8_t* out) {
    for (unsigned i = 0; i < n; ++i) out[i] = in[n - 1 - i];
    if (isSigned && n > 0) out[0] ^= 0x80;
}

void encodeFloat(const uint8_t* in, unsigned n, uint8_t* out) {
    uint64_t bits = readLittle(in, n);
    uint64_t sign = 1ull << (8 * n - 1);
    bits = (bits & sign) ? ~bits : (bits | sign);
    if (n < 8) bits &= (1ull << (8 * n)) - 1;
    writeBig(out, n, bits);
}

// Packed decimal: 2n-1 digit nibbles and a trailing sign nibble (0xD or 0xB
// negative). Output: a sign nibble (0 negative, 1 positive) then the digits,
// nine's-complemented when negative.
void encodeDecimal(const uint8_t* in, unsigned n, uint8_t* out) {
    unsigned signNibble = in[n - 1] & 0x0F;
    bool negative = signNibble == 0x0D || signNibble == 0x0B;
    unsigned nibbles = 2 * n;
    auto digitAt = [&](unsigned i) -> unsigned {
        unsigned b = in[i / 2];
        unsigned d = (i % 2 == 0) ? (b >> 4) : (b & 0x0F);
        if (d > 9) d = 9;
        return negative ? 9 - d : d;
    };
    auto setNibble = [&](unsigned i, unsigned v) {
        if (i % 2 == 0) out[i / 2] = static_cast<uint8_t>((out[i / 2] & 0x0F) | (v << 4));
        else out[i / 2] = static_cast<uint8_t>((out[i / 2] & 0xF0) | v);
    };
    std::memset(out, 0, n);
    setNibble(0, negative ? 0 : 1);
    for (unsigned i = 0; i + 1 < nibbles; ++i) setNibble(i + 1, digitAt(i));
}

// Numeric text with the sign overpunched in the last byte ('{', 'A'-'I'
// positive; '}', 'J'-'R' negative). Output: each digit as a byte, nine's
// complement when negative, the first byte marked 0x80 when positive.
void encodeNumeric(const uint8_t* in, unsigned n, uint8_t* out) {
    bool negative = false;
    for (unsigned i = 0; i < n; ++i) {
        uint8_t c = in[i];
        unsigned d = 0;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (i + 1 == n && c == '{') d = 0;
        else if (i + 1 == n && c >= 'A' && c <= 'I') d = c - 'A' + 1;
        else if (i + 1 == n && c == '}') { d = 0; negative = true; }
        else if (i + 1 == n && c >= 'J' && c <= 'R') { d = c - 'J' + 1; negative = true; }
        else if (c == '-') negative = true;
        out[i] = static_cast<uint8_t>(d);
    }
    for (unsigned i = 0; i < n; ++i) if (negative) out[i] = static_cast<uint8_t>(9 - out[i]);
    if (!negative) out[0] |= 0x80;
}

void encodeSegment(const FileDef& def, const SegmentSpec& s, const uint8_t* in, uint8_t* out) {
    unsigned n = s.length;
    uint8_t type = s.effectiveType();
    bool stringType = false;
    switch (type) {
    case KT_INTEGER:
    case KT_AUTOINCREMENT:
    case KT_CURRENCY: encodeInteger(in, n, true, out); break;
    case KT_UNSIGNED_BINARY:
    case KT_LOGICAL:
    case KT_TIMESTAMP: encodeInteger(in, n, false, out); break;
    case KT_FLOAT:
    case KT_BFLOAT: encodeFloat(in, n, out); break;
    case KT_DATE:  // day, month, year (u16)
        out[0] = in[3]; out[1] = in[2]; out[2] = in[1]; out[3] = in[0];
        break;
    case KT_TIME:  // hundredths, second, minute, hour
        out[0] = in[3]; out[1] = in[2]; out[2] = in[1]; out[3] = in[0];
        break;
    case KT_DECIMAL:
    case KT_MONEY: encodeDecimal(in, n, out); break;
    case KT_NUMERIC: encodeNumeric(in, n, out); break;
    case KT_ZSTRING: {
        std::memset(out, 0, n);
        for (unsigned i = 0; i < n && in[i] != 0; ++i) out[i] = in[i];
        stringType = true;
        break;
    }
    case KT_LSTRING: {
        std::memset(out, 0, n);
        unsigned used = in[0] < n ? in[0] : n - 1;
        std::memcpy(out, in + 1, used);
        stringType = true;
        break;
    }
    default:
        std::memcpy(out, in, n);
        stringType = true;
        break;
    }
    if (stringType) {
        if ((s.flags & KF_ACS) && s.acsNumber < def.acs.size()) {
            const auto& table = def.acs[s.acsNumber];
            for (unsigned i = 0; i < n; ++i) out[i] = table[9 + out[i]];
        } else if (s.flags & KF_CASE_INSENSITIVE) {
            for (unsigned i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(std::toupper(out[i]));
        }
    }
    if (s.flags & KF_DESCENDING)
        for (unsigned i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(~out[i]);
}

}  // namespace

std::string extractKey(const FileDef&, const KeyDef& key, const uint8_t* rec, size_t len) {
    std::string raw;
    raw.reserve(key.length);
    for (const SegmentSpec& s : key.segments) {
        size_t start = s.position - 1u;
        for (unsigned i = 0; i < s.length; ++i)
            raw.push_back(start + i < len ? static_cast<char>(rec[start + i]) : '\0');
    }
    return raw;
}

std::string encodeKey(const FileDef& def, const KeyDef& key, const uint8_t* raw) {
    std::string out(key.length, '\0');
    size_t off = 0;
    for (const SegmentSpec& s : key.segments) {
        encodeSegment(def, s, raw + off, reinterpret_cast<uint8_t*>(&out[off]));
        off += s.length;
    }
    return out;
}

bool keyIsNull(const KeyDef& key, const uint8_t* raw) {
    bool allSegments = (key.flags & KF_NULL) != 0;
    bool anySegment = false;
    for (const SegmentSpec& s : key.segments) anySegment |= (s.flags & KF_MANUAL) != 0;
    if (!allSegments && !anySegment) return false;
    size_t off = 0;
    bool allNull = true;
    bool someNull = false;
    for (const SegmentSpec& s : key.segments) {
        bool segNull = true;
        for (unsigned i = 0; i < s.length; ++i)
            if (raw[off + i] != s.nullValue) { segNull = false; break; }
        allNull &= segNull;
        someNull |= segNull;
        off += s.length;
    }
    return (allSegments && allNull) || (anySegment && someNull);
}

}  // namespace kv
