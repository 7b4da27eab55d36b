// The block array: zero-filled records in one block and the cursor rules
// of a walk.
#include <gtest/gtest.h>

#include "clouds/BlockArray.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

struct Record {
    int32_t a;
    float b[5];
};

class BlockArrayTest : public ::testing::Test {
protected:
    void SetUp() override { host.Init(); }
    void TearDown() override { array.Free(); }
    TestHost host;
    BlockArray<Record> array;
};

TEST_F(BlockArrayTest, ZeroFilledRecordsAndTheCursorRulesOfAWalk) {
    EXPECT_EQ(array.cursor, -1);
    EXPECT_EQ(array.Current(), nullptr);
    ASSERT_TRUE(array.Allocate(4));
    EXPECT_EQ(array.cursor, 0);
    EXPECT_EQ(host.log.Last("MEM.Allocate")->numbers[0], 4.0 * sizeof(Record));
    // A walk visits every (zeroed) record once and stops at the count.
    int visited = 0;
    for (array.First(); Record* r = array.Current(); array.Next()) {
        EXPECT_TRUE(r->a == 0 && r->b[4] == 0.0f);
        r->a = ++visited;
    }
    EXPECT_EQ(visited, 4);
    array.Next(); // past the end it stays put
    EXPECT_EQ(array.cursor, 4);
    EXPECT_EQ(array.Current(), nullptr);
    array.First();
    EXPECT_EQ(array.Current()->a, 1);
    // At moves the cursor only when in range.
    EXPECT_EQ(array.At(2), &array.Records()[2]);
    EXPECT_EQ(array.At(4), nullptr);
    EXPECT_EQ(array.At(-1), nullptr);
    EXPECT_EQ(array.cursor, 2);
    EXPECT_EQ(array.Current()->a, 3);
}

TEST_F(BlockArrayTest, ReallocationFreesTheOldBlockAndZeroRecordsAreEmpty) {
    ASSERT_TRUE(array.Allocate(5));
    const size_t live = host.mem.LiveBlocks();
    ASSERT_TRUE(array.Allocate(2));
    EXPECT_EQ(host.mem.LiveBlocks(), live);
    EXPECT_TRUE(array.Allocate(0));
    EXPECT_EQ(host.mem.LiveBlocks(), live - 1);
    array.First();
    EXPECT_EQ(array.Current(), nullptr);
    EXPECT_EQ(array.cursor, -1);
}

TEST_F(BlockArrayTest, FailedOrNegativeAllocationLogsTheRecordCount) {
    host.mem.FailAt(1);
    EXPECT_FALSE(array.Allocate(6));
    EXPECT_TRUE(host.Logged("Unable to allocate block memory of size 6!"));
    EXPECT_EQ(array.count, 0);
    EXPECT_EQ(array.data, nullptr);
    array.First();
    EXPECT_EQ(array.Current(), nullptr);

    EXPECT_FALSE(array.Allocate(-3));
    EXPECT_TRUE(host.Logged("Unable to allocate block memory of size -3!"));
    // 2^31 - 1 records of 24 bytes do not fit a 32-bit size: refused, not wrapped.
    const int before = host.mem.allocations;
    EXPECT_FALSE(array.Allocate(0x7FFFFFFF));
    EXPECT_EQ(host.mem.allocations, before);
    EXPECT_EQ(array.count, 0);
}

} // namespace
} // namespace envsys
