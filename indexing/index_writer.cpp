// The index record writer.
//  1. Turn the spinner and trace the pair.
//  2. Fill IndexRecord from FileRecord, FieldRecord and the segment.
//  3. Translate the engine's key flags into the dictionary's index flags.
//  4. Insert it, unless the run only reports; a duplicate-key answer means
//     the segment was already described.
#include <cstring>

#include "../app/console.h"
#include "../app/run.h"
#include "../app/run_state.h"
#include "../btrieve/btrieve_api.h"
#include "../btrieve/requests.h"
#include "../dictionary/records.h"
#include "indexing.h"

uint16_t translateKeyFlags(uint16_t keyFlags) {
    // The ACS, manual and case-insensitive bits sit elsewhere in the
    // dictionary; the legacy binary and repeating-duplicates bits have no
    // counterpart there.
    uint16_t flags = keyFlags & 0xF95B;
    if (keyFlags & 0x0020) flags |= 0x0004;
    if (keyFlags & 0x0200) flags |= 0x0008;
    if (keyFlags & 0x0400) flags |= 0x0020;
    return flags;
}

int addIndexRecord(uint16_t keyNumber, uint16_t part, uint16_t keyFlags) {
    if (!runOptions.printTableNames) spinnerTick();
    if (runOptions.traceCalls) {
        char name[NAME_WIDTH + 1];
        std::memcpy(name, Xe$Name(), NAME_WIDTH);
        name[NAME_WIDTH] = '\0';
        printOut("Adding Index: Field <%20s> with Length %d as %d/%d with flags: %4x.\n", name, Xe$Size(), keyNumber,
                 part, static_cast<unsigned>(keyFlags));
    }
    setIndexRecord(Xf$Id(), Xe$Id(), keyNumber, part, keyFlags);
    if (runOptions.traceCalls) printOut("Before Mods: flags: %4x.\n", static_cast<unsigned>(keyFlags));
    if (runOptions.traceCalls) printOut("During Mods: flags: %4x.\n", static_cast<unsigned>(keyFlags & 0xF95B));
    uint16_t flags = translateKeyFlags(keyFlags);
    setXi$Flags(flags);
    if (runOptions.traceCalls) printOut("After All Mods: flags: %4x.\n", static_cast<unsigned>(flags));

    char keyBuffer[KEY_BUFFER_SIZE] = {};
    BtrieveRequest& request = btrieveSlots[SLOT_INDEX];
    request.dataBuffer = IndexRecord.bytes;
    request.dataLength = INDEX_RECORD_LENGTH;
    request.keyNumber = 0;
    request.keyBuffer = keyBuffer;
    request.operation = OP_INSERT;
    if (runOptions.reportOnly) return 1;
    int16_t status = callBtrieve(request);
    if (status == STATUS_DUPLICATE_KEY) {
        printOut("Index Already Exists.\n");
        return 0;
    }
    return 1;
}
