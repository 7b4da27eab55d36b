// MEM as a host with its own pool allocator serves it: blocks come from one
// region one after another and are never reused, so that a measurement
// shows the system's own instructions rather than the C runtime's malloc.
// With no pool (or once the pool is spent) blocks come from the heap. It
// keeps no record of blocks beyond a count of allocations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {
namespace testing {

class PoolMemory : public MemoryService {
public:
    explicit PoolMemory(size_t poolBytes = 0);
    ~PoolMemory();
    PoolMemory(const PoolMemory&) = delete;
    PoolMemory& operator=(const PoolMemory&) = delete;

    void* Allocate(uint32_t size, int32_t zero1, int32_t zero2, const char* ownerTag) override;
    void Free(void* block) override;
    void ReleaseOwner(const char* ownerTag) override {}
    // Hands the whole pool out again; only once no block of it is in use.
    void Rewind() { used_ = 0; }

    uint64_t allocations = 0;

private:
    unsigned char* base_;
    size_t capacity_;
    size_t used_ = 0;
};

} // namespace testing
} // namespace envsys
