// The test host's memory service keeps a map of live blocks for its checks;
// the benchmarks hand the plug-in a plain one so that only the system's own
// work is measured. It counts allocations so a benchmark can report them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "envsys/HostServices.h"

namespace envsys {
namespace bench {

class PlainMemory : public MemoryService {
public:
    void* Allocate(uint32_t size, int32_t, int32_t, const char*) override {
        ++allocations;
        return std::malloc(size > 0 ? size : 1);
    }
    void Free(void* block) override { std::free(block); }
    void ReleaseOwner(const char*) override {}
    uint64_t allocations = 0;
};

// A host pool that hands out blocks from one region and never reuses them,
// as a host with its own pool allocator would: it isolates the library's
// own instructions from the C runtime's malloc.
class ArenaMemory : public MemoryService {
public:
    explicit ArenaMemory(size_t size) : base(static_cast<unsigned char*>(std::malloc(size))), capacity(size) {}
    ~ArenaMemory() { std::free(base); }
    ArenaMemory(const ArenaMemory&) = delete;
    ArenaMemory& operator=(const ArenaMemory&) = delete;
    void* Allocate(uint32_t size, int32_t, int32_t, const char*) override {
        const size_t rounded = (static_cast<size_t>(size) + 15) & ~size_t{15};
        if (base == nullptr || capacity - used < rounded) return std::malloc(size > 0 ? size : 1);
        void* block = base + used;
        used += rounded;
        return block;
    }
    void Free(void* block) override {
        auto* p = static_cast<unsigned char*>(block);
        if (p < base || p >= base + capacity) std::free(block);
    }
    void ReleaseOwner(const char*) override {}
    void Rewind() { used = 0; }

private:
    unsigned char* base;
    size_t capacity;
    size_t used = 0;
};

} // namespace bench
} // namespace envsys
