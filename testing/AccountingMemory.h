// MEM with an account per owner tag: every block is charged to the tag it
// was allocated under, so a host can say what a plug-in left behind and a
// test can count, and make fail, the allocations a piece of work makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

#include "envsys/HostServices.h"

namespace envsys {
namespace testing {

class AccountingMemory : public MemoryService {
public:
    AccountingMemory() = default;
    ~AccountingMemory();
    AccountingMemory(const AccountingMemory&) = delete;
    AccountingMemory& operator=(const AccountingMemory&) = delete;

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
    size_t LiveBlocks(const std::string& tag = "ENV") const { return AccountOf(tag).liveBlocks; }
    size_t LiveBytes(const std::string& tag = "ENV") const { return AccountOf(tag).liveBytes; }
    // One line per owner tag that still holds blocks, and one for bad frees;
    // empty when all is well.
    std::string LeakReport() const;

    // Fail the Nth allocation from now on (1 = the next one); with
    // failAllAfter, every allocation from the Nth on fails. 0 fails none.
    void FailAt(int n, bool failAllAfter = false);

    // Fresh blocks are filled with 0xCD unless this is off (the fuzzers run
    // under the address sanitizer, whose allocator fills them itself).
    bool fillFreshBlocks = true;
    // A host that refuses any one block larger than this (counted as a failure).
    uint32_t maxBlockBytes = 0xFFFFFFFFu;
    int allocations = 0; // calls of Allocate, failed ones included
    int failures = 0;
    int frees = 0;
    int badFrees = 0; // blocks never handed out, or handed out and freed already

private:
    struct Block {
        size_t size;
        Account* account; // accounts never move once made
    };
    Account& AccountFor(const char* ownerTag);
    std::unordered_map<void*, Block> live_;
    std::map<std::string, Account, std::less<>> accounts_;
    int failAt_ = 0;
    bool failAllAfter_ = false;
};

} // namespace testing
} // namespace envsys
