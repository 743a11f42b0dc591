// Dictionary files: the current-record buffers, opening and closing, and
// the search for a free column id.
#include "dictionaries.h"

#include <cstring>

#include "../app/console.h"
#include "../app/run_state.h"
#include "../btrieve/btrieve_api.h"
#include "../btrieve/requests.h"
#include "records.h"

FileRecordBuffer FileRecord;
FieldRecordBuffer FieldRecord;
IndexRecordBuffer IndexRecord;

uint16_t nextFieldId = 1;

void setIndexRecord(uint16_t file, uint16_t field, uint16_t number, uint16_t part, uint16_t flags) {
    writeU16(IndexRecord.bytes, INDEX_RECORD_LENGTH, XI_FILE, file);
    writeU16(IndexRecord.bytes, INDEX_RECORD_LENGTH, XI_FIELD, field);
    writeU16(IndexRecord.bytes, INDEX_RECORD_LENGTH, XI_NUMBER, number);
    writeU16(IndexRecord.bytes, INDEX_RECORD_LENGTH, XI_PART, part);
    writeU16(IndexRecord.bytes, INDEX_RECORD_LENGTH, XI_FLAGS, flags);
}

void setXi$Flags(uint16_t flags) { writeU16(IndexRecord.bytes, INDEX_RECORD_LENGTH, XI_FLAGS, flags); }

void setIndexNameEntry(uint16_t id, uint16_t file, const char* name20, uint16_t indexNumber) {
    std::memset(FieldRecord.bytes, 0, FIELD_RECORD_LENGTH);
    writeU16(FieldRecord.bytes, FIELD_RECORD_LENGTH, XE_ID, id);
    writeU16(FieldRecord.bytes, FIELD_RECORD_LENGTH, XE_FILE, file);
    std::memcpy(FieldRecord.bytes + XE_NAME, name20, NAME_WIDTH);
    FieldRecord.bytes[XE_DATATYPE] = DATATYPE_INDEX_NAME;
    writeU16(FieldRecord.bytes, FIELD_RECORD_LENGTH, XE_OFFSET, indexNumber);
}

int16_t openDictionaries() {
    if (runOptions.traceCalls) printOut("Opening Data Dictionaries\n");
    int16_t status = openSlot(SLOT_FILE, "FILE.DDF", FileRecord.bytes, FILE_RECORD_LENGTH);
    if (status == STATUS_SUCCESS) status = openSlot(SLOT_FIELD, "FIELD.DDF", FieldRecord.bytes, FIELD_RECORD_LENGTH);
    if (status == STATUS_SUCCESS) status = openSlot(SLOT_INDEX, "INDEX.DDF", IndexRecord.bytes, INDEX_RECORD_LENGTH);
    if (runOptions.traceCalls) printOut("Data Dictionaries Opened: %d\n", status);
    return status;
}

void closeDictionaries() {
    if (runOptions.traceCalls) printOut("Closing Data Dictionaries\n");
    closeSlot(SLOT_FILE);
    closeSlot(SLOT_FIELD);
    closeSlot(SLOT_INDEX);
    if (runOptions.traceCalls) printOut("Data Dictionaries Closed\n");
}

uint16_t allocateFieldId() {
    uint8_t scratchRecord[FIELD_RECORD_LENGTH];
    uint8_t keyBuffer[KEY_BUFFER_SIZE] = {};
    BtrieveRequest& request = btrieveSlots[SLOT_FIELD];
    nextFieldId = static_cast<uint16_t>(nextFieldId + 1);
    writeU16(keyBuffer, sizeof keyBuffer, 0, nextFieldId);
    request.dataLength = FIELD_RECORD_LENGTH;
    request.dataBuffer = scratchRecord;
    request.keyNumber = 0;
    request.keyBuffer = keyBuffer;
    request.operation = OP_GET_EQUAL;
    int16_t status = callBtrieve(request);
    // Any status but 0 means the candidate is free.
    while (status == STATUS_SUCCESS) {
        if (nextFieldId == 65535) break;
        nextFieldId = static_cast<uint16_t>(nextFieldId + 1);
        writeU16(keyBuffer, sizeof keyBuffer, 0, nextFieldId);
        status = callBtrieve(request);
    }
    // After the file was once found full the counter wraps to 0, which is no
    // id either; both ends are reported, so no table is given up silently.
    uint16_t id = nextFieldId == 65535 ? 0 : nextFieldId;
    if (id == 0) printErr("Field.DDF Is Completely Full!\n");
    return id;
}
