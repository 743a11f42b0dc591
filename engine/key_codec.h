// Key-segment encoders: turn a record's key into a byte string whose plain
// memcmp order is the engine's order for that key.
#ifndef KORVANE_ENGINE_KEY_CODEC_H
#define KORVANE_ENGINE_KEY_CODEC_H

#include <cstdint>
#include <string>

#include "file_spec.h"

namespace kv {

// The raw key value of a record: its segments' bytes, concatenated. The
// record must hold every segment (the caller checked the record length).
std::string extractKey(const FileDef& def, const KeyDef& key, const uint8_t* rec, size_t len);

// Encodes a raw key value (as extractKey returns it, or as a caller passes
// it in a key buffer of at least key.length bytes) into its ordered form.
std::string encodeKey(const FileDef& def, const KeyDef& key, const uint8_t* raw);

// True when the key's null rule leaves this raw value out of the index:
// with KF_NULL when every segment holds only its null byte, with KF_MANUAL
// when any segment does.
bool keyIsNull(const KeyDef& key, const uint8_t* raw);

}  // namespace kv

#endif
