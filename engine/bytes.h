// Little-endian field access for engine buffers. Every read and write is
// bounds-checked against the buffer length; out-of-range reads yield 0 and
// out-of-range writes are dropped, so a short or hostile buffer can never
// make the engine touch memory it was not given.
#ifndef KORVANE_ENGINE_BYTES_H
#define KORVANE_ENGINE_BYTES_H

#include <cstddef>
#include <cstdint>

namespace kv {

inline uint8_t getU8(const uint8_t* p, size_t len, size_t off) { return off < len ? p[off] : 0; }

inline uint16_t getU16(const uint8_t* p, size_t len, size_t off) {
    return static_cast<uint16_t>(getU8(p, len, off) | (getU8(p, len, off + 1) << 8));
}

inline uint32_t getU32(const uint8_t* p, size_t len, size_t off) {
    return static_cast<uint32_t>(getU16(p, len, off)) |
           (static_cast<uint32_t>(getU16(p, len, off + 2)) << 16);
}

inline void putU8(uint8_t* p, size_t len, size_t off, uint8_t v) {
    if (off < len) p[off] = v;
}

inline void putU16(uint8_t* p, size_t len, size_t off, uint16_t v) {
    putU8(p, len, off, static_cast<uint8_t>(v));
    putU8(p, len, off + 1, static_cast<uint8_t>(v >> 8));
}

inline void putU32(uint8_t* p, size_t len, size_t off, uint32_t v) {
    putU16(p, len, off, static_cast<uint16_t>(v));
    putU16(p, len, off + 2, static_cast<uint16_t>(v >> 16));
}

}  // namespace kv

#endif
