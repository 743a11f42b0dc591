// The engine entry: dispatch by operation code. Nothing escapes it: any
// unexpected failure inside an operation becomes status 2.
#include "dispatch.h"

#include <cstring>
#include <new>

#include "btrcall.h"
#include "open_file.h"

namespace kv {

namespace {

int versionInfo(const Call& c) {
    if (c.dataCapacity() < 5) return KV_STATUS_DATA_BUFFER_TOO_SHORT;
    const uint8_t version[5] = {6, 0, 15, 0, 'K'};  // 6.15, embedded
    std::memcpy(c.data, version, sizeof version);
    c.setDataLen(sizeof version);
    return KV_STATUS_SUCCESS;
}

int dispatch(const Call& c) {
    switch (c.op) {
    case KV_OP_OPEN: return openFile(c);
    case KV_OP_CLOSE: return closeFile(c);
    case KV_OP_INSERT: return insertRecord(c);
    case KV_OP_UPDATE: return updateRecord(c);
    case KV_OP_DELETE: return deleteRecord(c);
    case KV_OP_GET_EQUAL:
    case KV_OP_GET_GREATER:
    case KV_OP_GET_GREATER_OR_EQUAL:
    case KV_OP_GET_LESS:
    case KV_OP_GET_LESS_OR_EQUAL:
    case KV_OP_GET_FIRST:
    case KV_OP_GET_LAST: return getByKey(c);
    case KV_OP_GET_NEXT:
    case KV_OP_GET_PREVIOUS: return stepCursor(c);
    case KV_OP_CREATE: return createFile(c);
    case KV_OP_STAT: return statFile(c);
    case KV_OP_VERSION: return versionInfo(c);
    case KV_OP_RESET: releaseAllHandles(); return KV_STATUS_SUCCESS;
    case KV_OP_SET_OWNER: return setOwner(c);
    case KV_OP_CLEAR_OWNER: return clearOwner(c);
    default: return KV_STATUS_INVALID_OPERATION;
    }
}

}  // namespace

}  // namespace kv

int16_t korvaneEngineCall(uint16_t op, void* posBlock, void* dataBuf, uint32_t* dataLen, void* keyBuf,
                          uint8_t keyLen, int8_t keyNum) {
    kv::Call c{op, posBlock, static_cast<uint8_t*>(dataBuf), dataLen, static_cast<uint8_t*>(keyBuf), keyLen, keyNum};
    try {
        return static_cast<int16_t>(kv::dispatch(c));
    } catch (...) {
        return KV_STATUS_IO_ERROR;
    }
}
