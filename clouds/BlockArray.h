// A fixed-length array of equal-sized plain records in one zero-filled block
// from MemAlloc, with a cursor for walking it.
#pragma once

#include <cstdint>

namespace envsys {

class BlockArrayBase {
public:
    int32_t cursor = -1;
    int32_t count = 0;
    void* data = nullptr;

    void Free();
    void First() { cursor = count >= 1 ? 0 : -1; }
    void Next() {
        if (cursor < count) ++cursor;
    }

protected:
    // False (logged) when the block cannot be had; the array is then empty.
    bool AllocateRecords(int32_t n, uint32_t recordSize);
    void* CurrentRecord(uint32_t recordSize) const;
    void* RecordAt(int32_t i, uint32_t recordSize);
};

template <typename Record>
class BlockArray : public BlockArrayBase {
public:
    bool Allocate(int32_t n) { return AllocateRecords(n, sizeof(Record)); }
    Record* Current() const { return static_cast<Record*>(CurrentRecord(sizeof(Record))); }
    Record* At(int32_t i) { return static_cast<Record*>(RecordAt(i, sizeof(Record))); }
    // Direct access for loops that need no cursor (hot paths).
    Record* Records() const { return static_cast<Record*>(data); }
};

} // namespace envsys
