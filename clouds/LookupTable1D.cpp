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

float LookupTable1D::Lookup(float x) const {
    if (values == nullptr || count < 1) return defaultValue;
    if (count < 2) return values[0];
    const float d = x - origin;
    const float t = d * invStep;
    const float lastSegment = static_cast<float>(count - 1);
    // Inside the table the floor of t is its truncation, which needs no
    // call; floor(t) lies in [0, last) exactly when t does.
    if (t >= 0.0f && t < lastSegment) {
        const int32_t i = static_cast<int32_t>(t);
        return values[i] + ((d - static_cast<float>(i) * step) * (values[i + 1] - values[i])) * invStep;
    }
    // The index stays a float until it is known to be inside the table, so a
    // huge or NaN argument is never converted to an integer out of range.
    const float index = std::floor(t);
    if (extrapolate == 0) return index >= 0.0f ? values[count - 1] : values[0];
    if (index >= 0.0f) {
        const int32_t n = count;
        return values[n - 2] + ((d - static_cast<float>(n - 2) * step) * (values[n - 1] - values[n - 2])) * invStep;
    }
    // Below the first entry, and also a NaN argument, which stays NaN.
    return values[0] + (d * (values[1] - values[0])) * invStep;
}

} // namespace envsys
