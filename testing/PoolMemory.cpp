#include "testing/PoolMemory.h"

#include <cstdlib>

namespace envsys {
namespace testing {

PoolMemory::PoolMemory(size_t poolBytes)
    : base_(poolBytes > 0 ? static_cast<unsigned char*>(std::malloc(poolBytes)) : nullptr),
      capacity_(base_ != nullptr ? poolBytes : 0) {}

PoolMemory::~PoolMemory() { std::free(base_); }

void* PoolMemory::Allocate(uint32_t size, int32_t, int32_t, const char*) {
    ++allocations;
    // Blocks are 16-byte aligned, as malloc's are.
    const size_t rounded = (static_cast<size_t>(size) + 15) & ~size_t{15};
    if (capacity_ - used_ < rounded || rounded == 0) return std::malloc(size > 0 ? size : 1);
    void* block = base_ + used_;
    used_ += rounded;
    return block;
}

void PoolMemory::Free(void* block) {
    auto* p = static_cast<unsigned char*>(block);
    if (base_ == nullptr || p < base_ || p >= base_ + capacity_) std::free(block);
}

} // namespace testing
} // namespace envsys
