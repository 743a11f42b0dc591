// The exported engine entry.
#include "btrcall.h"
#include "dispatch.h"

extern "C" int16_t KV_BTRCALL_CONV BTRCALL(uint16_t op, void* posBlock, void* dataBuf, uint32_t* dataLen,
                                           void* keyBuf, uint8_t keyLen, int8_t keyNum) {
    return korvaneEngineCall(op, posBlock, dataBuf, dataLen, keyBuf, keyLen, keyNum);
}
