// The record layouts of the three dictionary files, written down once as
// offsets and widths, with the process-wide buffers that hold each file's
// current record and field accessors named after the dictionary's columns.
// Integers are little-endian and unsigned; names are blank-padded and carry
// no terminator inside the record.
#ifndef KORVANE_DICTIONARY_RECORDS_H
#define KORVANE_DICTIONARY_RECORDS_H

#include <cstddef>
#include <cstdint>

constexpr int NAME_WIDTH = 20;
constexpr int LOCATION_WIDTH = 64;

constexpr int FILE_RECORD_LENGTH = 97;
constexpr int XF_ID = 0;         // 2: table id
constexpr int XF_NAME = 2;       // 20: table name
constexpr int XF_LOC = 22;       // 64: data file path, up to its first NUL
constexpr int XF_FLAGS = 86;     // 1
constexpr int XF_RESERVED = 87;  // 10

constexpr int FIELD_RECORD_LENGTH = 32;
constexpr int XE_ID = 0;         // 2: column id
constexpr int XE_FILE = 2;       // 2: owning table id
constexpr int XE_NAME = 4;       // 20: column name, or index name
constexpr int XE_DATATYPE = 24;  // 1: 255 marks an index-name entry
constexpr int XE_OFFSET = 25;    // 2: offset in the record, or index number
constexpr int XE_SIZE = 27;      // 2
constexpr int XE_DEC = 29;       // 1
constexpr int XE_FLAGS = 30;     // 2

constexpr int INDEX_RECORD_LENGTH = 10;
constexpr int XI_FILE = 0;    // 2: table id
constexpr int XI_FIELD = 2;   // 2: column id
constexpr int XI_NUMBER = 4;  // 2: index number
constexpr int XI_PART = 6;    // 2: segment number
constexpr int XI_FLAGS = 8;   // 2

constexpr uint8_t DATATYPE_INDEX_NAME = 255;
constexpr uint8_t DATATYPE_INDEX_NAME_ALT = 227;
constexpr uint16_t INDEX_FLAG_SEGMENTED = 0x0010;
constexpr uint16_t INDEX_FLAG_NAMED = 0x0080;

struct FileRecordBuffer {
    uint8_t bytes[FILE_RECORD_LENGTH];
};
struct FieldRecordBuffer {
    uint8_t bytes[FIELD_RECORD_LENGTH];
};
struct IndexRecordBuffer {
    uint8_t bytes[INDEX_RECORD_LENGTH];
};

extern FileRecordBuffer FileRecord;
extern FieldRecordBuffer FieldRecord;
extern IndexRecordBuffer IndexRecord;

// Little-endian helpers bounded by the buffer length.
inline uint16_t readU16(const uint8_t* bytes, size_t length, size_t at) {
    return at + 1 < length ? static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8)) : 0;
}
inline void writeU16(uint8_t* bytes, size_t length, size_t at, uint16_t value) {
    if (at + 1 < length) {
        bytes[at] = static_cast<uint8_t>(value & 0xFF);
        bytes[at + 1] = static_cast<uint8_t>(value >> 8);
    }
}

inline uint16_t Xf$Id() { return readU16(FileRecord.bytes, FILE_RECORD_LENGTH, XF_ID); }
inline const char* Xf$Name() { return reinterpret_cast<const char*>(FileRecord.bytes + XF_NAME); }
inline const char* Xf$Loc() { return reinterpret_cast<const char*>(FileRecord.bytes + XF_LOC); }

inline uint16_t Xe$Id() { return readU16(FieldRecord.bytes, FIELD_RECORD_LENGTH, XE_ID); }
inline uint16_t Xe$File() { return readU16(FieldRecord.bytes, FIELD_RECORD_LENGTH, XE_FILE); }
inline const char* Xe$Name() { return reinterpret_cast<const char*>(FieldRecord.bytes + XE_NAME); }
inline uint8_t Xe$DataType() { return FieldRecord.bytes[XE_DATATYPE]; }
inline uint16_t Xe$Offset() { return readU16(FieldRecord.bytes, FIELD_RECORD_LENGTH, XE_OFFSET); }
inline uint16_t Xe$Size() { return readU16(FieldRecord.bytes, FIELD_RECORD_LENGTH, XE_SIZE); }

inline uint16_t Xi$File() { return readU16(IndexRecord.bytes, INDEX_RECORD_LENGTH, XI_FILE); }
inline uint16_t Xi$Number() { return readU16(IndexRecord.bytes, INDEX_RECORD_LENGTH, XI_NUMBER); }
inline uint16_t Xi$Part() { return readU16(IndexRecord.bytes, INDEX_RECORD_LENGTH, XI_PART); }
inline uint16_t Xi$Flags() { return readU16(IndexRecord.bytes, INDEX_RECORD_LENGTH, XI_FLAGS); }

// Writes a whole index record into IndexRecord.
void setIndexRecord(uint16_t file, uint16_t field, uint16_t number, uint16_t part, uint16_t flags);
void setXi$Flags(uint16_t flags);
// Fills FieldRecord as an index-name entry: the given id, table and
// 20-character name, data type 255, the index number as offset, size,
// decimals and flags 0.
void setIndexNameEntry(uint16_t id, uint16_t file, const char* name20, uint16_t indexNumber);

#endif
