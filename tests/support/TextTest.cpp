#include "support/Text.h"
#include "support/UnsignedDivide.h"

#include <gtest/gtest.h>

#include <string.h>

TEST(TextCopy, CutsToCapacityAndJoinsAtPosition) {
    char buf[8];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(TextCopy(buf, "abcdef", 4), 3);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(TextCopy(buf, "abcdef", 1), 0);
    EXPECT_STREQ(buf, "");

    memset(buf, 'x', sizeof buf);
    int pos = 2;
    EXPECT_EQ(TextCopy(buf, "wxyz", 5, &pos), 4);
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(buf[2], 'w');
    EXPECT_EQ(buf[3], 'x');
    EXPECT_EQ(buf[4], 0);

    EXPECT_EQ(TextCopy(nullptr, "a", 4), 0);
    EXPECT_EQ(TextCopy(buf, nullptr, 4), 0);
}

TEST(TextCopy, PositionOutsideTheBufferWritesNothing) {
    char buf[4] = {'a', 'b', 'c', 0};
    int pos = 4;
    EXPECT_EQ(TextCopy(buf, "zz", 4, &pos), 4);
    EXPECT_STREQ(buf, "abc");
}

TEST(TextAppend, AppendsAndWithinRefusesWhatDoesNotFit) {
    char buf[8] = "ab";
    EXPECT_EQ(TextAppend(buf, "cd"), 4);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(TextAppendWithin(buf, 8, "efg"), 7);
    EXPECT_STREQ(buf, "abcdefg");
    EXPECT_EQ(TextAppendWithin(buf, 8, "h"), 0);
    EXPECT_STREQ(buf, "abcdefg");
    EXPECT_EQ(TextLength(nullptr), 0);
    EXPECT_EQ(TextAppend(nullptr, "a"), 0);
}

TEST(TextSearch, ExactFoldedAndExplicitLength) {
    EXPECT_EQ(TextSearch("SETUP.EXE", ".exe", 0, 0), 6);
    EXPECT_EQ(TextSearch("SETUP.EXE", ".exe", 1, 0), 0);
    EXPECT_EQ(TextSearch("ab", "abc", 0, 0), 0);
    EXPECT_EQ(TextSearch("ab", "", 0, 0), 1);
    EXPECT_EQ(TextSearch("x\x82y", "E", 0, 0), 2); // code page 437 e-acute folds to E
    EXPECT_EQ(TextSearch("x\xE9y", "e", 0, 0), 0); // Windows-1252 e-acute does not
    EXPECT_EQ(TextSearch("x\xE9y", "\xE9", 0, 0), 2);
    const char withNul[] = "ab\0key=1";
    EXPECT_EQ(TextSearch(withNul, "KEY", 0, 8), 4);
    EXPECT_EQ(TextSearch(withNul, "KEY", 0, 5), 0);
    EXPECT_EQ(TextSearch("abab", "ab", 1, 0), 1); // leftmost match
}

TEST(TextSearch, FoldTableMapsAccentsOfCodePage437) {
    const struct {
        unsigned char byte;
        unsigned char folded;
    } rows[] = {{0x83, 'A'},  {0xA0, 'A'},  {0x80, 'C'}, {0x9B, 'C'}, {0x90, 'E'}, {0xA1, 'I'},
                {0xA5, 'N'},  {0x99, 'O'},  {0x9A, 'U'}, {0x98, 'Y'}, {'q', 'Q'},  {0x91, 0x91},
                {0x9C, 0x9C}, {0xE9, 0xE9}, {'{', '{'},  {'@', '@'}};
    for (const auto& row : rows) {
        EXPECT_EQ(g_FoldTable[row.byte], row.folded) << int(row.byte);
    }
}

TEST(TextPrefixEqual, ComparesExactlyCountBytes) {
    EXPECT_EQ(TextPrefixEqual(9, "AutoInst_x.exe", "AutoInst_"), 1);
    EXPECT_EQ(TextPrefixEqual(9, "autoinst_x.exe", "AutoInst_"), 0);
    EXPECT_EQ(TextPrefixEqual(0, "a", "b"), 1);
    EXPECT_EQ(TextPrefixEqual(3, "ab", "ab"), 1); // terminators compared too
}

TEST(TextKeys, FindKeyAndKeyValue) {
    const char* text = "x\r\ninstall=Produit\r\n";
    const char* after = TextFindKey(text, "Install=", 0, 0);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after[0], 'P');
    EXPECT_EQ(TextFindKey(text, "Install=", 1, 0), nullptr);

    char buf[16];
    EXPECT_EQ(TextKeyValue("\r\nDWCL=1234567890123456789\r\n", 0, "\r\nDWCL=", buf, 16), 15);
    EXPECT_STREQ(buf, "123456789012345");
    strcpy(buf, "keep");
    EXPECT_EQ(TextKeyValue("nothing", 0, "\r\nDWCL=", buf, 16), 0);
    EXPECT_STREQ(buf, "keep");
}

TEST(Numbers, DivideAndConvert) {
    const struct {
        uint32_t a, b, q, r;
    } rows[] = {{0xFFFFFFFFu, 10, 429496729, 5},
                {7, 7, 1, 0},
                {3, 5, 0, 3},
                {0x80000000u, 1, 0x80000000u, 0},
                {0xFFFFFFFFu, 0x80000001u, 1, 0x7FFFFFFEu}};
    for (const auto& row : rows) {
        uint32_t q = 1, r = 1;
        UnsignedDivide(row.a, row.b, &q, &r);
        EXPECT_EQ(q, row.q);
        EXPECT_EQ(r, row.r);
    }
    uint32_t q, r;
    EXPECT_THROW(UnsignedDivide(1, 0, &q, &r), CtExceptionDiv0);

    char buf[40];
    EXPECT_STREQ(NumberToText(0, buf, 10), "0");
    EXPECT_STREQ(NumberToText(255, buf, 16), "FF");
    EXPECT_STREQ(NumberToText(0xFFFFFFFFu, buf, 10), "4294967295");
    EXPECT_STREQ(NumberToText(0xFFFFFFFFu, buf, 2), "11111111111111111111111111111111");
    EXPECT_EQ(NumberToText(1, buf, 17), nullptr);
    // Base 1 never ends, base 0 divides by zero: both refused.
    EXPECT_EQ(NumberToText(5, buf, 1), nullptr);
    EXPECT_EQ(NumberToText(5, buf, 0), nullptr);
}

TEST(TextFormat, CutsAtCapacity) {
    char buf[6];
    EXPECT_EQ(TextFormat(buf, sizeof buf, "code %d", 61), 5);
    EXPECT_STREQ(buf, "code ");
}
