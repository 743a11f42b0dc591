// Position-block handle table. A position block holds a magic tag, a slot
// index and the slot's generation, so a stale or forged block is told apart
// from a live one and answered with status 3.
#include <cstring>
#include <vector>

#include "bytes.h"
#include "open_file.h"

namespace kv {

namespace {

constexpr uint32_t kMagic = 0x4250564B;  // "KVPB"
constexpr size_t kPosBlockSize = 128;

struct Slot {
    std::unique_ptr<OpenFile> file;
    uint32_t generation = 0;
};

std::vector<Slot>& slots() {
    static std::vector<Slot> table;
    return table;
}

bool decode(const void* posBlock, uint32_t& index, uint32_t& generation) {
    if (!posBlock) return false;
    const uint8_t* p = static_cast<const uint8_t*>(posBlock);
    if (getU32(p, kPosBlockSize, 0) != kMagic) return false;
    index = getU32(p, kPosBlockSize, 4);
    generation = getU32(p, kPosBlockSize, 8);
    return index < slots().size() && slots()[index].file && slots()[index].generation == generation;
}

}  // namespace

OpenFile* lookupHandle(const void* posBlock) {
    uint32_t index = 0, generation = 0;
    return decode(posBlock, index, generation) ? slots()[index].file.get() : nullptr;
}

void installHandle(void* posBlock, std::unique_ptr<OpenFile> file) {
    auto& table = slots();
    size_t index = 0;
    while (index < table.size() && table[index].file) ++index;
    if (index == table.size()) table.emplace_back();
    Slot& slot = table[index];
    slot.file = std::move(file);
    ++slot.generation;
    uint8_t* p = static_cast<uint8_t*>(posBlock);
    std::memset(p, 0, kPosBlockSize);
    putU32(p, kPosBlockSize, 0, kMagic);
    putU32(p, kPosBlockSize, 4, static_cast<uint32_t>(index));
    putU32(p, kPosBlockSize, 8, slot.generation);
}

void releaseHandle(void* posBlock) {
    uint32_t index = 0, generation = 0;
    if (!decode(posBlock, index, generation)) return;
    slots()[index].file.reset();
    std::memset(posBlock, 0, kPosBlockSize);
}

void releaseAllHandles() {
    for (Slot& slot : slots()) slot.file.reset();
}

}  // namespace kv
