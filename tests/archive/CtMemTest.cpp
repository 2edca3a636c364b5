#include "archive/CtMem.h"

#include <gtest/gtest.h>

namespace {

bool AllZero(const CtMem& block) {
    for (int k = 0; k < block.size; ++k)
        if (block.data[k]) return false;
    return true;
}

TEST(CtMem, SizeZeroHasNoMemoryButCountsOnce) {
    int blocks = CtMem::s_blockCount, bytes = CtMem::s_byteTotal;
    {
        CtMem empty(0);
        EXPECT_EQ(empty.data, nullptr);
        EXPECT_EQ(empty.handle, nullptr);
        EXPECT_EQ(CtMem::s_blockCount, blocks + 1);
        EXPECT_EQ(CtMem::s_byteTotal, bytes);
    }
    EXPECT_EQ(CtMem::s_blockCount, blocks + 1); // released without memory: not lowered
}

TEST(CtMem, SmallAndNegativeSizesGetTheMinimum) {
    int blocks = CtMem::s_blockCount, bytes = CtMem::s_byteTotal;
    for (int size : {1, 10, 255, 256, -1, -100000, 257, 30 + 10, 70000}) {
        SCOPED_TRACE(size);
        CtMem block(size);
        ASSERT_NE(block.data, nullptr);
        int expected = size > 256 ? size : 256;
        EXPECT_EQ(block.size, expected);
        EXPECT_TRUE(AllZero(block));
        EXPECT_EQ(CtMem::s_byteTotal, bytes + expected);
        EXPECT_EQ(CtMem::s_blockCount, blocks + 1);
        block.data[block.size - 1] = 1; // the whole block is ours
    }
    EXPECT_EQ(CtMem::s_blockCount, blocks);
    EXPECT_EQ(CtMem::s_byteTotal, bytes);
}

TEST(CtMem, ReallocationKeepsContentsAndCounts) {
    int bytes = CtMem::s_byteTotal;
    CtMem block(300);
    for (int k = 0; k < 300; ++k)
        block.data[k] = static_cast<unsigned char>(k);
    ASSERT_EQ(block.Allocate(5000), 1);
    EXPECT_EQ(block.size, 5000);
    EXPECT_EQ(CtMem::s_byteTotal, bytes + 5000);
    for (int k = 0; k < 300; ++k)
        ASSERT_EQ(block.data[k], static_cast<unsigned char>(k));
    ASSERT_EQ(block.Allocate(100), 1);
    EXPECT_EQ(block.data[99], 99);
    EXPECT_EQ(CtMem::s_byteTotal, bytes + 100);
    block.Release();
    EXPECT_EQ(block.data, nullptr);
    EXPECT_EQ(CtMem::s_byteTotal, bytes);
    block.Release(); // a second release changes nothing
    EXPECT_EQ(CtMem::s_byteTotal, bytes);
}

TEST(CtMem, RefusesNonPositiveAllocations) {
    CtMem block(0);
    EXPECT_EQ(block.Allocate(0), 0);
    EXPECT_EQ(block.Allocate(-5), 0);
    EXPECT_EQ(block.data, nullptr);
}

TEST(CtDynMemZone, TakesItsReserveAndSetsItsFields) {
    int blocks = CtMem::s_blockCount, bytes = CtMem::s_byteTotal;
    {
        CtDynMemZone zone;
        ASSERT_NE(zone.data, nullptr);
        EXPECT_EQ(zone.size, 0x40000);
        EXPECT_EQ(CtMem::s_byteTotal, bytes + 262144);
        EXPECT_EQ(CtMem::s_blockCount, blocks + 1);
        EXPECT_EQ(zone.field1, 0);
        EXPECT_EQ(zone.field2, 0);
        EXPECT_EQ(zone.field3, 4);
        EXPECT_EQ(zone.field4, 0x20000);
    }
    EXPECT_EQ(CtMem::s_byteTotal, bytes);
    EXPECT_EQ(CtMem::s_blockCount, blocks);
}

} // namespace
