// The named-index builder.
//  1. Walk the table's INDEX.DDF records in key-0 order.
//  2. At each index's first segment, look through the table's FIELD.DDF
//     records for an index-name entry (data type 255) for its number.
//  3. An index without one gets a fresh column id and an entry whose name
//     the naming type makes, and its first segment is marked named (0x0080);
//     the further segments that follow it are marked as the walk meets them.
#include <cstdio>
#include <cstring>

#include "../app/console.h"
#include "../app/run_state.h"
#include "../app/text.h"
#include "../btrieve/btrieve_api.h"
#include "../btrieve/requests.h"
#include "../dictionary/dictionaries.h"
#include "../dictionary/records.h"
#include "indexing.h"

void makeIndexName(int namingType, const char* tableName, uint16_t indexNumber, char out[NAME_WIDTH]) {
    char table[NAME_WIDTH + 1];
    std::snprintf(table, sizeof table, "%s", tableName);
    trimRight(table);
    int digits = indexNumber < 10 ? 1 : (indexNumber < 100 ? 2 : 3);
    // Numbers of 1000 and more still count as three digits, so such a name
    // can run past 20 characters; only the first 20 are kept.
    if (namingType >= 10) digits++;  // the underscore before the number
    char text[64];
    switch (namingType) {
    case 1: std::snprintf(text, sizeof text, "index%d", indexNumber); break;
    case 2: std::snprintf(text, sizeof text, "%.*s%d", NAME_WIDTH - digits, table, indexNumber); break;
    case 3: std::snprintf(text, sizeof text, "%.*s_key%d", 16 - digits, table, indexNumber); break;
    case 10: std::snprintf(text, sizeof text, "key_%d", indexNumber); break;
    case 11: std::snprintf(text, sizeof text, "index_%d", indexNumber); break;
    case 12: std::snprintf(text, sizeof text, "%.*s_%d", NAME_WIDTH - digits, table, indexNumber); break;
    case 13: std::snprintf(text, sizeof text, "%.*s_key_%d", 16 - digits, table, indexNumber); break;
    default: std::snprintf(text, sizeof text, "key%d", indexNumber); break;
    }
    padRight(text, NAME_WIDTH);
    std::memcpy(out, text, NAME_WIDTH);
}

namespace {

// Ors the named flag into the current INDEX.DDF record and rewrites it.
void markNamed() {
    setXi$Flags(static_cast<uint16_t>(Xi$Flags() | INDEX_FLAG_NAMED));
    BtrieveRequest& request = btrieveSlots[SLOT_INDEX];
    request.operation = OP_UPDATE;
    int16_t status = callBtrieve(request);
    if (status != STATUS_SUCCESS) printErr("Status %d while updating INDEX.DDF.\n", status);
}

// True when FIELD.DDF holds an index-name entry of the table for the index.
int indexIsNamed(uint16_t indexNumber) {
    uint8_t keyBuffer[KEY_BUFFER_SIZE] = {};
    writeU16(keyBuffer, sizeof keyBuffer, 0, Xf$Id());
    BtrieveRequest& request = btrieveSlots[SLOT_FIELD];
    request.dataBuffer = FieldRecord.bytes;
    request.dataLength = FIELD_RECORD_LENGTH;
    request.keyNumber = 1;
    request.keyBuffer = keyBuffer;
    request.operation = OP_GET_EQUAL;
    int named = 0;
    int16_t status = callBtrieve(request);
    // The walk goes on to the table's last column even after a match.
    while (status == STATUS_SUCCESS && Xe$File() == Xf$Id()) {
        if (Xe$DataType() == DATATYPE_INDEX_NAME && Xe$Offset() == indexNumber) named = 1;
        request.operation = OP_GET_NEXT;
        status = callBtrieve(request);
    }
    return named;
}

}  // namespace

void buildNamedIndexes() {
    runCounters.filesProcessed++;
    char tableName[NAME_WIDTH + 1];
    std::memcpy(tableName, Xf$Name(), NAME_WIDTH);
    tableName[NAME_WIDTH] = '\0';
    trimRight(tableName);
    if (runOptions.traceCalls) printOut("Handling Table %s\n", tableName);

    uint8_t keyBuffer[KEY_BUFFER_SIZE] = {};  // Xf$Id, then zero bytes
    writeU16(keyBuffer, sizeof keyBuffer, 0, Xf$Id());
    BtrieveRequest& index = btrieveSlots[SLOT_INDEX];
    index.dataBuffer = IndexRecord.bytes;
    index.dataLength = INDEX_RECORD_LENGTH;
    index.keyNumber = 0;
    index.keyBuffer = keyBuffer;
    index.operation = OP_GET_GREATER_OR_EQUAL;
    if (callBtrieve(index) != STATUS_SUCCESS) return;

    int markSegments = 0;
    while (Xi$File() == Xf$Id()) {
        if (Xi$Part() != 0) {
            if (markSegments && !runOptions.reportOnly) markNamed();
        } else {
            runCounters.btrieveKeys++;
            markSegments = 0;
            if (indexIsNamed(Xi$Number())) {
                runCounters.indicesVerified++;
            } else {
                uint16_t id = allocateFieldId();
                if (id == 0) return;  // FIELD.DDF is full: the table ends here
                char name[NAME_WIDTH];
                makeIndexName(runOptions.namingType, tableName, Xi$Number(), name);
                setIndexNameEntry(id, Xf$Id(), name, Xi$Number());
                char insertKey[KEY_BUFFER_SIZE] = {};
                BtrieveRequest& field = btrieveSlots[SLOT_FIELD];
                field.dataBuffer = FieldRecord.bytes;
                field.dataLength = FIELD_RECORD_LENGTH;
                field.keyNumber = 0;
                field.keyBuffer = insertKey;
                field.operation = OP_INSERT;
                int16_t status = runOptions.reportOnly ? static_cast<int16_t>(STATUS_SUCCESS) : callBtrieve(field);
                if (status != STATUS_SUCCESS) {
                    runCounters.indicesCorrupt++;
                    printErr("Status %d while updating FIELD.DDF.\n", status);
                } else {
                    runCounters.indicesAdded++;
                    if (!runOptions.reportOnly) markNamed();
                    markSegments = 1;
                }
            }
        }
        index.operation = OP_GET_NEXT;
        if (callBtrieve(index) != STATUS_SUCCESS) return;
    }
}
