// The index wipe: deletes every INDEX.DDF record of one table, walking key 0
// (the table id) from the table's first record to its last.
#include "../app/console.h"
#include "../app/run.h"
#include "../app/run_state.h"
#include "../btrieve/btrieve_api.h"
#include "../btrieve/requests.h"
#include "../dictionary/records.h"
#include "indexing.h"

int wipeIndexes(uint16_t tableId) {
    if (!runOptions.printTableNames) spinnerTick();
    if (runOptions.traceCalls) printOut("Wiping Indexes...\n");
    uint8_t keyBuffer[KEY_BUFFER_SIZE] = {};
    writeU16(keyBuffer, sizeof keyBuffer, 0, tableId);
    BtrieveRequest& request = btrieveSlots[SLOT_INDEX];
    request.dataBuffer = IndexRecord.bytes;
    request.dataLength = INDEX_RECORD_LENGTH;
    request.keyNumber = 0;
    request.keyBuffer = keyBuffer;
    request.operation = OP_GET_EQUAL;
    if (callBtrieve(request) != STATUS_SUCCESS) return 1;
    while (Xi$File() == tableId) {
        request.operation = OP_DELETE;
        callBtrieve(request);
        request.operation = OP_GET_NEXT;
        if (callBtrieve(request) != STATUS_SUCCESS) break;
    }
    return 1;
}
