// Request slots: one engine conversation per open file, kept for the whole
// run, and the one road to the engine.
#ifndef KORVANE_BTRIEVE_REQUESTS_H
#define KORVANE_BTRIEVE_REQUESTS_H

#include <cstdint>

constexpr int POSITION_BLOCK_SIZE = 128;
constexpr int SLOT_FILE_NAME_SIZE = 128;
constexpr int KEY_BUFFER_SIZE = 256;
constexpr int SLOT_COUNT = 26;

struct BtrieveRequest {
    uint16_t operation;
    uint8_t positionBlock[POSITION_BLOCK_SIZE];
    void* dataBuffer;
    uint16_t dataLength;
    void* keyBuffer;
    int16_t keyNumber;
    char fileName[SLOT_FILE_NAME_SIZE];  // used only in messages
};

enum {
    SLOT_FILE = 1,   // FILE.DDF
    SLOT_FIELD = 2,  // FIELD.DDF
    SLOT_INDEX = 3,  // INDEX.DDF
    SLOT_DATA = 4    // the data file of the table being scanned
};

extern BtrieveRequest btrieveSlots[SLOT_COUNT];

// One engine call for the request; the returned data length is written back.
int16_t engineCall(BtrieveRequest& request);

// engineCall with the trace and the status verdict: statuses 0, 3, 4, 5, 9,
// 12 and 22 pass silently, 30 and every other are reported, and 20 ends the
// process with exit code 1.
int16_t callBtrieve(BtrieveRequest& request);

// Opens path into a slot, passing the owner name in the data buffer.
int16_t openSlot(int slot, const char* path, void* dataBuffer, uint16_t dataLength);
int16_t closeSlot(int slot);
int16_t statSlot(int slot, void* dataBuffer, uint16_t dataLength);
// Releases every file of the program.
int16_t resetEngine();

#endif
