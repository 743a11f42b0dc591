// The engine conversation: slots, the traced and classified call, and the
// file operations built on it.
#include "requests.h"

#include <cstdlib>
#include <cstring>

#include "../app/console.h"
#include "../app/run_state.h"
#include "btrieve_api.h"

BtrieveRequest btrieveSlots[SLOT_COUNT];

namespace {

const uint8_t KEY_BUFFER_LENGTH = 255;

// Copies at most size - 1 characters and terminates.
void copyBounded(char* to, const char* from, size_t size) {
    size_t n = 0;
    while (n + 1 < size && from[n] != '\0') {
        to[n] = from[n];
        ++n;
    }
    to[n] = '\0';
}

}  // namespace

int16_t engineCall(BtrieveRequest& request) {
    uint32_t length = request.dataLength;
    int16_t status = BTRCALL(request.operation, request.positionBlock, request.dataBuffer, &length,
                             request.keyBuffer, KEY_BUFFER_LENGTH,
                             static_cast<int8_t>(static_cast<uint8_t>(request.keyNumber & 0xFF)));
    request.dataLength = static_cast<uint16_t>(length & 0xFFFF);
    return status;
}

int16_t callBtrieve(BtrieveRequest& request) {
    if (runOptions.traceCalls)
        printOut("Op: %d, Buflen: %d, KeyNum: %d ", static_cast<unsigned>(request.operation),
                 static_cast<unsigned>(request.dataLength), static_cast<int>(request.keyNumber));
    int16_t status = engineCall(request);
    if (runOptions.traceCalls) printOut("Status: %d\n", status);
    switch (status) {
    case STATUS_SUCCESS:
    case STATUS_FILE_NOT_OPEN:
    case STATUS_KEY_NOT_FOUND:
    case STATUS_DUPLICATE_KEY:
    case STATUS_END_OF_FILE:
    case STATUS_FILE_NOT_FOUND:
    case STATUS_DATA_BUFFER_TOO_SHORT:
        break;
    case STATUS_RECORD_MANAGER_INACTIVE:
        printErr("Please load the Btrieve Record Manager\n");
        consoleRestore();
        std::exit(1);
    case STATUS_NOT_A_BTRIEVE_FILE:
        printErr("%s: Not a Btrieve File\n", request.fileName);
        break;
    default:
        printErr("Btrieve Error %d: Operation=%d, File=%s\n", status, static_cast<int>(request.operation),
                 request.fileName);
        break;
    }
    return status;
}

int16_t openSlot(int slot, const char* path, void* dataBuffer, uint16_t dataLength) {
    char keyBuffer[KEY_BUFFER_SIZE];
    copyBounded(keyBuffer, path, sizeof keyBuffer - 1);  // at most 254 characters
    BtrieveRequest& request = btrieveSlots[slot];
    copyBounded(request.fileName, path, sizeof request.fileName);
    // The owner name is bounded to 8 characters, and every open passes a
    // buffer of at least 10 bytes, so the copy with its terminator fits.
    std::memcpy(dataBuffer, OwnerName, std::strlen(OwnerName) + 1);
    request.dataBuffer = dataBuffer;
    request.dataLength = dataLength;
    request.keyBuffer = keyBuffer;
    request.keyNumber = 0;
    request.operation = OP_OPEN;
    return callBtrieve(request);
}

int16_t closeSlot(int slot) {
    btrieveSlots[slot].operation = OP_CLOSE;
    return callBtrieve(btrieveSlots[slot]);
}

int16_t statSlot(int slot, void* dataBuffer, uint16_t dataLength) {
    char keyBuffer[KEY_BUFFER_SIZE] = {};
    BtrieveRequest& request = btrieveSlots[slot];
    request.dataLength = dataLength;
    request.dataBuffer = dataBuffer;
    request.keyNumber = -1;
    request.keyBuffer = keyBuffer;
    request.operation = OP_STAT;
    return callBtrieve(request);
}

int16_t resetEngine() {
    BtrieveRequest& request = btrieveSlots[SLOT_FILE];
    request.keyNumber = 0;
    request.keyBuffer = nullptr;
    request.operation = OP_RESET;
    return callBtrieve(request);
}
