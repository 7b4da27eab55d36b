// MEM: the host's memory service. Every block is accounted to the owner tag
// it was allocated under, so the host can say what a plug-in left behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "envsys/HostServices.h"

namespace envhost {

class HostMemory : public envsys::MemoryService {
public:
    HostMemory() = default;
    ~HostMemory();
    HostMemory(const HostMemory&) = delete;
    HostMemory& operator=(const HostMemory&) = delete;

    void* Allocate(uint32_t size, int32_t zero1, int32_t zero2, const char* ownerTag) override;
    void Free(void* block) override;
    void ReleaseOwner(const char* ownerTag) override;

    struct Account {
        size_t liveBlocks = 0;
        size_t liveBytes = 0;
        size_t peakBytes = 0;
        size_t allocations = 0;
        size_t releasedByOwner = 0; // blocks given back by ReleaseOwner
    };
    const Account& AccountOf(const std::string& tag) const;
    std::vector<std::string> Owners() const;
    // One line per owner tag that still holds blocks; empty when none does.
    std::string LeakReport() const;

    size_t badFrees = 0; // frees of blocks this service never handed out

private:
    struct Block {
        size_t size;
        std::string tag;
    };
    std::map<void*, Block> live_;
    std::map<std::string, Account> accounts_;
};

} // namespace envhost
