#include "clouds/BlockArray.h"

#include <cstring>

#include "plugin/Log.h"
#include "plugin/Memory.h"

namespace envsys {

void BlockArrayBase::Free() {
    cursor = -1;
    count = 0;
    if (data != nullptr) {
        MemFree(data);
        data = nullptr;
    }
}

bool BlockArrayBase::AllocateRecords(int32_t n, uint32_t recordSize) {
    Free();
    // Zero records need no block: the array is simply empty.
    if (n == 0) return true;
    // A negative count, or one whose byte size does not fit in 32 bits, is
    // refused like a failed allocation rather than wrapped to a small block.
    uint64_t bytes = n > 0 ? static_cast<uint64_t>(n) * recordSize : 0;
    void* block = (n >= 0 && bytes <= 0xFFFFFFFFu) ? MemAlloc(static_cast<uint32_t>(bytes)) : nullptr;
    if (block == nullptr) {
        LogMessage("Unable to allocate block memory of size %d!", static_cast<int>(n));
        return false;
    }
    std::memset(block, 0, static_cast<size_t>(bytes));
    data = block;
    count = n;
    cursor = 0;
    return true;
}

void* BlockArrayBase::CurrentRecord(uint32_t recordSize) const {
    if (cursor < 0 || cursor >= count) return nullptr;
    return static_cast<char*>(data) + static_cast<size_t>(cursor) * recordSize;
}

void* BlockArrayBase::RecordAt(int32_t i, uint32_t recordSize) {
    if (i < 0 || i >= count) return nullptr;
    cursor = i;
    return static_cast<char*>(data) + static_cast<size_t>(i) * recordSize;
}

} // namespace envsys
