// The engine call interface of the embedded record manager.
//
// One C entry, BTRCALL, with the seven arguments of a Btrieve engine call.
// Buffer ownership: every buffer belongs to the caller and is only borrowed
// for the duration of the call.
//   op       operation code (KV_OP_*)
//   posBlock 128 bytes owned by the caller, opaque to it; the engine keeps a
//            handle to the open file in it between Open and Close/Reset
//   dataBuf  record or operation buffer; *dataLen is its size (or the length
//            of the record sent) on the way in, and the number of bytes
//            delivered on the way out when a record or Stat result is
//            delivered. Calls that deliver nothing leave *dataLen untouched.
//   keyBuf   key value (or path for Open/Create); keyLen is its size. A Get
//            writes the found record's key value back into it.
//   keyNum   key number (index) or, for Open, the open mode
// The result is an engine status: 0 for success (KV_STATUS_*).
#ifndef KORVANE_ENGINE_BTRCALL_H
#define KORVANE_ENGINE_BTRCALL_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define KV_BTRCALL_CONV __stdcall
#else
#define KV_BTRCALL_CONV
#endif

#if defined(_WIN32)
#define KV_BTRCALL_EXPORT __declspec(dllexport)
#else
#define KV_BTRCALL_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

KV_BTRCALL_EXPORT int16_t KV_BTRCALL_CONV BTRCALL(uint16_t op, void* posBlock, void* dataBuf,
                                                  uint32_t* dataLen, void* keyBuf, uint8_t keyLen,
                                                  int8_t keyNum);

#ifdef __cplusplus
}
#endif

// Operation codes.
enum {
    KV_OP_OPEN = 0,
    KV_OP_CLOSE = 1,
    KV_OP_INSERT = 2,
    KV_OP_UPDATE = 3,
    KV_OP_DELETE = 4,
    KV_OP_GET_EQUAL = 5,
    KV_OP_GET_NEXT = 6,
    KV_OP_GET_PREVIOUS = 7,
    KV_OP_GET_GREATER = 8,
    KV_OP_GET_GREATER_OR_EQUAL = 9,
    KV_OP_GET_LESS = 10,
    KV_OP_GET_LESS_OR_EQUAL = 11,
    KV_OP_GET_FIRST = 12,
    KV_OP_GET_LAST = 13,
    KV_OP_CREATE = 14,
    KV_OP_STAT = 15,
    KV_OP_VERSION = 26,
    KV_OP_RESET = 28,
    KV_OP_SET_OWNER = 29,
    KV_OP_CLEAR_OWNER = 30
};

// Statuses.
enum {
    KV_STATUS_SUCCESS = 0,
    KV_STATUS_INVALID_OPERATION = 1,
    KV_STATUS_IO_ERROR = 2,
    KV_STATUS_NOT_OPEN = 3,
    KV_STATUS_KEY_NOT_FOUND = 4,
    KV_STATUS_DUPLICATE_KEY = 5,
    KV_STATUS_INVALID_KEY_NUMBER = 6,
    KV_STATUS_DIFFERENT_KEY_NUMBER = 7,
    KV_STATUS_INVALID_POSITIONING = 8,
    KV_STATUS_END_OF_FILE = 9,
    KV_STATUS_MODIFIABLE_KEY_CHANGED = 10,
    KV_STATUS_BAD_FILE_NAME = 11,
    KV_STATUS_FILE_NOT_FOUND = 12,
    KV_STATUS_DISK_FULL = 18,
    KV_STATUS_KEY_BUFFER_TOO_SHORT = 21,
    KV_STATUS_DATA_BUFFER_TOO_SHORT = 22,
    KV_STATUS_BAD_PAGE_SIZE = 24,
    KV_STATUS_CREATE_IO_ERROR = 25,
    KV_STATUS_BAD_KEY_COUNT = 26,
    KV_STATUS_BAD_KEY_POSITION = 27,
    KV_STATUS_BAD_RECORD_LENGTH = 28,
    KV_STATUS_BAD_KEY_LENGTH = 29,
    KV_STATUS_NOT_AN_ENGINE_FILE = 30,
    KV_STATUS_INCONSISTENT_KEY_FLAGS = 45,
    KV_STATUS_ACCESS_DENIED = 46,
    KV_STATUS_BAD_ACS = 48,
    KV_STATUS_OWNER_ALREADY_SET = 50,
    KV_STATUS_WRONG_OWNER = 51,
    KV_STATUS_FILE_EXISTS = 59,
    KV_STATUS_FILE_LOCKED = 85
};

#endif
