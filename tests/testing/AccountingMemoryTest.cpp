// The memory services' accounts, failures and pool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "testing/AccountingMemory.h"
#include "testing/PoolMemory.h"

namespace envsys {
namespace testing {
namespace {

TEST(AccountingMemory, AccountsEveryOwnerAndReleasesOneOwnerWhole) {
    AccountingMemory mem;
    void* a = mem.Allocate(100, 0, 0, "ENV");
    void* b = mem.Allocate(28, 0, 0, "ENV");
    void* c = mem.Allocate(7, 0, 0, "GFX");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(mem.LiveBlocks(), 2u);
    EXPECT_EQ(mem.LiveBytes(), 128u);
    mem.Free(a);
    EXPECT_EQ(mem.LiveBytes(), 28u);
    EXPECT_EQ(mem.AccountOf("ENV").peakBytes, 128u);
    // ReleaseOwner gives back the owner's blocks and nobody else's.
    mem.ReleaseOwner("ENV");
    EXPECT_EQ(mem.LiveBlocks("ENV"), 0u);
    EXPECT_EQ(mem.AccountOf("ENV").releasedByOwner, 1u);
    EXPECT_EQ(mem.LiveBlocks("GFX"), 1u);
    // What is left is reported by owner; a block freed twice counts as bad.
    EXPECT_NE(mem.LeakReport().find("owner \"GFX\" left 1 blocks (7 bytes)"), std::string::npos);
    EXPECT_EQ(mem.LeakReport().find("ENV"), std::string::npos);
    mem.Free(c);
    mem.Free(c);
    mem.Free(nullptr);
    EXPECT_EQ(mem.badFrees, 1);
    EXPECT_EQ(mem.LeakReport(), "MEM: 1 frees of unknown blocks\n");
    // Zero bytes still get blocks of their own; a null tag is the empty one.
    void* z1 = mem.Allocate(0, 0, 0, "ENV");
    void* z2 = mem.Allocate(0, 0, 0, nullptr);
    EXPECT_NE(z1, z2);
    EXPECT_EQ(mem.LiveBlocks(""), 1u);
}

TEST(AccountingMemory, FailsTheNthAllocationOrEveryOneFromIt) {
    struct Case {
        int n;
        bool fromThenOn;
        const char* pattern; // the next five allocations: x failed, o served
    };
    for (const Case& c :
         {Case{0, false, "ooooo"}, Case{1, false, "xoooo"}, Case{3, false, "ooxoo"}, Case{3, true, "ooxxx"}}) {
        AccountingMemory mem;
        mem.Allocate(1, 0, 0, "ENV"); // counting starts from the call of FailAt
        mem.FailAt(c.n, c.fromThenOn);
        std::string got;
        for (int i = 0; i < 5; ++i)
            got += mem.Allocate(8, 0, 0, "ENV") != nullptr ? 'o' : 'x';
        EXPECT_EQ(got, c.pattern) << c.n;
        EXPECT_EQ(mem.allocations, 6);
        EXPECT_EQ(mem.LiveBlocks(), 1u + static_cast<size_t>(std::count(got.begin(), got.end(), 'o')));
    }
}

TEST(PoolMemory, HandsOutAlignedBlocksInOrderThenFallsBackToTheHeap) {
    PoolMemory pool(64);
    auto* a = static_cast<unsigned char*>(pool.Allocate(10, 0, 0, "ENV"));
    auto* b = static_cast<unsigned char*>(pool.Allocate(30, 0, 0, "ENV"));
    EXPECT_EQ(b - a, 16);                     // 10 bytes rounded up to 16
    void* c = pool.Allocate(32, 0, 0, "ENV"); // 16 + 32 taken, 16 left: from the heap
    EXPECT_NE(c, nullptr);
    pool.Free(c);
    pool.Free(b);
    pool.Rewind();
    EXPECT_EQ(pool.Allocate(16, 0, 0, "ENV"), a);
    EXPECT_EQ(pool.allocations, 4u);
}

} // namespace
} // namespace testing
} // namespace envsys
