// The key specification scan.
//  1. Open the table's data file (Xf$Loc) and ask the engine for its Stat.
//  2. With /W, delete the table's index records now that the file has
//     answered, so a table whose file can't be read keeps its definitions.
//  3. Walk the segment specifications, numbering the segments of each key.
//  4. For each segment, find the column of FIELD.DDF (key 4: table, offset,
//     decimals) that starts at the segment's first byte; a column as long as
//     the segment becomes one index segment, a shorter one becomes one
//     segment and the rest of the bytes are matched again from the next
//     column on, and a longer one can't be expressed and is corrupt.
#include <cstring>

#include "../app/console.h"
#include "../app/run_state.h"
#include "../app/text.h"
#include "../btrieve/btrieve_api.h"
#include "../btrieve/requests.h"
#include "../dictionary/records.h"
#include "indexing.h"

namespace {

constexpr int STAT_BUFFER_SIZE = 33236;
constexpr int STAT_KEY_COUNT = 4;
constexpr int STAT_FIRST_SPEC = 16;

// The data buffer of SLOT_DATA: the owner name at the open, then the Stat result.
uint8_t StatBuffer[STAT_BUFFER_SIZE];

uint16_t specU16(const KeySegmentSpec& s, int at) { return readU16(s.bytes, KEY_SPEC_SIZE, at); }

void copyName(char (&out)[NAME_WIDTH + 1], const char* name) {
    std::memcpy(out, name, NAME_WIDTH);
    out[NAME_WIDTH] = '\0';
}

}  // namespace

void scanTableKeys() {
    // Xf$Loc has no terminator when all 64 characters are used.
    char location[LOCATION_WIDTH + 1];
    int n = 0;
    while (n < LOCATION_WIDTH && Xf$Loc()[n] != '\0') {
        location[n] = Xf$Loc()[n];
        ++n;
    }
    location[n] = '\0';
    if (runOptions.traceCalls) printOut("Opening file %s\n", location);
    if (openSlot(SLOT_DATA, location, StatBuffer, STAT_BUFFER_SIZE) != STATUS_SUCCESS) {
        printOut("Btrieve File %s Not Found.\n", messageCopy(Xf$Loc(), LOCATION_WIDTH));
        runCounters.filesRejected++;
        return;
    }
    runCounters.filesProcessed++;
    if (runOptions.traceCalls) printOut("Obtaining Stat Information\n");
    if (statSlot(SLOT_DATA, StatBuffer, STAT_BUFFER_SIZE) != STATUS_SUCCESS) {
        // Nothing is read from a buffer the engine did not fill.
        closeSlot(SLOT_DATA);
        return;
    }
    if (runOptions.wipeFirst) wipeIndexes(Xf$Id());
    runCounters.btrieveKeys += StatBuffer[STAT_KEY_COUNT];

    // Only specifications inside both the buffer and what Stat delivered are read.
    size_t delivered = btrieveSlots[SLOT_DATA].dataLength;
    size_t end = delivered < sizeof StatBuffer ? delivered : sizeof StatBuffer;
    uint16_t part = 0;
    int keysDone = 0;
    size_t at = STAT_FIRST_SPEC;
    while (keysDone < StatBuffer[STAT_KEY_COUNT] && at + KEY_SPEC_SIZE <= end) {
        if (runOptions.traceCalls) printOut("Starting to work on Key %d of %d\n", keysDone, StatBuffer[STAT_KEY_COUNT]);
        KeySegmentSpec spec;
        std::memcpy(spec.bytes, StatBuffer + at, KEY_SPEC_SIZE);
        matchKeySegment(spec, part);
        if (specU16(spec, 4) & INDEX_FLAG_SEGMENTED) {
            part = static_cast<uint16_t>(part + 1);
        } else {
            part = 0;
            keysDone++;
        }
        at += KEY_SPEC_SIZE;
    }
    closeSlot(SLOT_DATA);
}

int matchKeySegment(KeySegmentSpec segment, uint16_t& part) {
    uint16_t position = specU16(segment, 0);
    uint16_t length = specU16(segment, 2);
    uint16_t flags = specU16(segment, 4);
    uint8_t extendedType = segment.bytes[10];
    uint8_t keyNumber = segment.bytes[14];
    char name[NAME_WIDTH + 1];
    int split = 0;  // a first piece was written: the result is 1 whatever follows

    // Each pass matches the piece that starts at position; a split continues
    // with the rest of the segment, one column further on.
    for (;;) {
        if (runOptions.traceCalls) {
            printOut("Key Information:\n");
            printOut("Position: %u\n", static_cast<unsigned>(position));
            printOut("Length:   %u\n", static_cast<unsigned>(length));
            printOut("Ext.Type: %u\n", static_cast<unsigned>(extendedType));
            printOut("Key Num:  %u\n", static_cast<unsigned>(keyNumber));
            printOut("KeyFlags: %x\n", static_cast<unsigned>(flags));
        }
        uint16_t offset = static_cast<uint16_t>(position - 1);
        if (runOptions.traceCalls) printOut("Looking For Field At Position %d.\n", offset);

        uint8_t keyBuffer[KEY_BUFFER_SIZE] = {};
        writeU16(keyBuffer, sizeof keyBuffer, 0, Xf$Id());
        writeU16(keyBuffer, sizeof keyBuffer, 2, offset);
        keyBuffer[4] = 0;  // decimals
        BtrieveRequest& request = btrieveSlots[SLOT_FIELD];
        request.dataBuffer = FieldRecord.bytes;
        request.keyNumber = 4;
        request.keyBuffer = keyBuffer;
        request.operation = OP_GET_GREATER_OR_EQUAL;
        int16_t status = callBtrieve(request);

        int found = 0;
        while (status == STATUS_SUCCESS) {
            if (Xe$File() != Xf$Id() || Xe$Offset() != offset) break;
            uint8_t type = Xe$DataType();
            if (type == DATATYPE_INDEX_NAME || type == DATATYPE_INDEX_NAME_ALT || Xe$Size() == 0) {
                // Index-name entries share the offset field with the index
                // number; a zero-length column would split the segment at the
                // same place again. Both are passed over.
                if (runOptions.traceCalls) {
                    copyName(name, Xe$Name());
                    if (Xe$Size() == 0 && type != DATATYPE_INDEX_NAME && type != DATATYPE_INDEX_NAME_ALT)
                        printOut("Skipping Field %20s with Length 0.\n", name);
                    else
                        printOut("Skipping Named Index %20s.\n", name);
                }
                request.operation = OP_GET_NEXT;
                status = callBtrieve(request);
                continue;
            }
            found = 1;
            break;
        }
        if (!found) {
            printOut("No Fields Found At Offset %d.\n", offset);
            runCounters.indicesCorrupt++;
            return split;
        }

        uint16_t size = Xe$Size();
        if (size == length) {
            if (runOptions.traceCalls) printOut("Found Perfect Match.\n");
            if (addIndexRecord(keyNumber, part, flags)) runCounters.indicesAdded++;
            else runCounters.indicesVerified++;
            return 1;
        }
        if (size > length) {
            if (runOptions.traceCalls) {
                copyName(name, Xe$Name());
                printOut("Found Field %20s with Length %d > %d. Now What?.\n", name, size, length);
            }
            printOut("Unable To Match Table %s, Key Number %d.\n", messageCopy(Xf$Name(), NAME_WIDTH), keyNumber);
            runCounters.indicesCorrupt++;
            // A piece already written for this segment stays written.
            return split;
        }
        if (runOptions.traceCalls) {
            copyName(name, Xe$Name());
            printOut("Found Field %20s with Length %d < %d.\n", name, size, length);
        }
        if (addIndexRecord(keyNumber, part, static_cast<uint16_t>(flags | INDEX_FLAG_SEGMENTED)))
            runCounters.indicesAdded++;
        else
            runCounters.indicesVerified++;
        part = static_cast<uint16_t>(part + 1);
        split = 1;
        position = static_cast<uint16_t>(position + size);
        length = static_cast<uint16_t>(length - size);
    }
}
