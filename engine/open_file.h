// What the engine keeps for one position block: the file's store, how it
// was opened, and its currency.
#ifndef KORVANE_ENGINE_OPEN_FILE_H
#define KORVANE_ENGINE_OPEN_FILE_H

#include <cstdint>
#include <memory>
#include <string>

#include "store.h"

namespace kv {

// The position of a position block in one key's order. After a Delete the
// position stays where the deleted record was (onRecord false), so Next and
// Previous still find its neighbours.
struct Cursor {
    bool valid = false;
    bool onRecord = false;
    int keyIndex = -1;
    std::string k;  // encoded key value
    int64_t seq = 0;
    int64_t rid = 0;
};

struct OpenFile {
    Store store;
    bool readOnly = false;
    Cursor cursor;
};

// The arguments of one engine call, with the data length made safe to read.
struct Call {
    uint16_t op;
    void* posBlock;
    uint8_t* data;
    uint32_t* dataLen;
    uint8_t* key;
    uint8_t keyLen;
    int8_t keyNum;
    uint32_t dataSize() const { return dataLen ? *dataLen : 0; }
    size_t dataCapacity() const { return data ? dataSize() : 0; }
    void setDataLen(uint32_t n) const {
        if (dataLen) *dataLen = n;
    }
    size_t keyCapacity() const { return key ? keyLen : 0; }
};

// Position-block handle table (handles.cpp).
OpenFile* lookupHandle(const void* posBlock);
void installHandle(void* posBlock, std::unique_ptr<OpenFile> file);
void releaseHandle(void* posBlock);
void releaseAllHandles();

// Operations, each returning an engine status.
int openFile(const Call& c);        // files.cpp
int closeFile(const Call& c);
int createFile(const Call& c);
int statFile(const Call& c);
int setOwner(const Call& c);
int clearOwner(const Call& c);
int insertRecord(const Call& c);    // records.cpp
int updateRecord(const Call& c);
int deleteRecord(const Call& c);
int getByKey(const Call& c);        // cursor.cpp: Equal, Greater, Less, First, Last
int stepCursor(const Call& c);      // cursor.cpp: Next, Previous

}  // namespace kv

#endif
