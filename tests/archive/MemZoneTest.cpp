#include "archive/CtMem.h"

#include <gtest/gtest.h>

// Linked with the global reserve and nothing else that makes blocks before main.
TEST(GlobalMemZone, HeldFromStartUp) {
    EXPECT_EQ(CtMem::s_byteTotal, 262144);
    EXPECT_EQ(CtMem::s_blockCount, 1);
    ASSERT_NE(g_GlobalMemZone.data, nullptr);
    EXPECT_EQ(g_GlobalMemZone.size, 0x40000);
    EXPECT_EQ(g_GlobalMemZone.field1, 0);
    EXPECT_EQ(g_GlobalMemZone.field2, 0);
    EXPECT_EQ(g_GlobalMemZone.field3, 4);
    EXPECT_EQ(g_GlobalMemZone.field4, 0x20000);
}
