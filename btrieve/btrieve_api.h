// The engine's call entry, the only function of the engine the tool knows.
// Arguments: operation code; the file's 128-byte position block (owned by
// the caller, opaque to it); data buffer; address of the data length (in:
// buffer size or length sent; out: bytes delivered, or unchanged when
// nothing is delivered); key buffer; key buffer length; key number.
// Returns the engine status, 0 for success.
#ifndef KORVANE_BTRIEVE_BTRIEVE_API_H
#define KORVANE_BTRIEVE_BTRIEVE_API_H

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define BTRIEVE_CALL_CONVENTION __stdcall
#else
#define BTRIEVE_CALL_CONVENTION
#endif

extern "C" int16_t BTRIEVE_CALL_CONVENTION BTRCALL(uint16_t operation, void* positionBlock, void* dataBuffer,
                                                   uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                                                   int8_t keyNumber);

enum BtrieveOperation : uint16_t {
    OP_OPEN = 0,
    OP_CLOSE = 1,
    OP_INSERT = 2,
    OP_UPDATE = 3,
    OP_DELETE = 4,
    OP_GET_EQUAL = 5,
    OP_GET_NEXT = 6,
    OP_GET_GREATER_OR_EQUAL = 9,
    OP_GET_FIRST = 12,
    OP_STAT = 15,
    OP_RESET = 28
};

enum BtrieveStatus : int16_t {
    STATUS_SUCCESS = 0,
    STATUS_FILE_NOT_OPEN = 3,
    STATUS_KEY_NOT_FOUND = 4,
    STATUS_DUPLICATE_KEY = 5,
    STATUS_END_OF_FILE = 9,
    STATUS_FILE_NOT_FOUND = 12,
    STATUS_RECORD_MANAGER_INACTIVE = 20,
    STATUS_DATA_BUFFER_TOO_SHORT = 22,
    STATUS_NOT_A_BTRIEVE_FILE = 30
};

#endif
