#include "clouds/LookupTable1D.h"

#include <cmath>
#include <cstring>

#include "plugin/Log.h"
#include "plugin/Memory.h"

namespace envsys {

int32_t LookupTable1D::Init(int32_t n, float stepSize, float originValue, const float* entries) {
    Clear();
    count = n;
    step = stepSize;
    origin = originValue;
    invStep = 1.0f / stepSize;
    // The byte size must fit the 32-bit size of the memory service; a
    // negative or oversized count is refused like a failed allocation.
    const int64_t bytes = static_cast<int64_t>(n) * static_cast<int64_t>(sizeof(float));
    // An empty table needs no block and reads as its default value.
    if (n == 0) return 1;
    void* block = (n > 0 && bytes <= 0xFFFFFFFFll) ? MemAlloc(static_cast<uint32_t>(bytes)) : nullptr;
    if (block == nullptr) {
        LogMessage("Unable to allocate memory for 1-D look-up table (size %ld)!", static_cast<long>(bytes));
        count = 0;
        return 0;
    }
    values = static_cast<float*>(block);
    if (entries != nullptr)
        std::memcpy(values, entries, static_cast<size_t>(bytes));
    else
        std::memset(values, 0, static_cast<size_t>(bytes));
    return 1;
}

void LookupTable1D::Clear() {
    if (values != nullptr) MemFree(values);
    values = nullptr;
    count = 0;
    step = 0.0f;
}

} // namespace envsys
