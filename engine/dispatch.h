// The engine behind BTRCALL, under its own name, so that a test can put a
// scripted BTRCALL in front of the real engine.
#ifndef KORVANE_ENGINE_DISPATCH_H
#define KORVANE_ENGINE_DISPATCH_H

#include <stdint.h>

int16_t korvaneEngineCall(uint16_t op, void* posBlock, void* dataBuf, uint32_t* dataLen, void* keyBuf,
                          uint8_t keyLen, int8_t keyNum);

#endif
