#include "support/Unicode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Wide(const std::string& text) {
    WideUnit out[64];
    EXPECT_EQ(1, Utf8ToUtf16(text.c_str(), out, 64)) << text;
    return std::u16string(reinterpret_cast<const char16_t*>(out));
}

std::string Narrow(const std::u16string& text) {
    char out[64];
    EXPECT_EQ(1, Utf16ToUtf8(reinterpret_cast<const WideUnit*>(text.c_str()), -1, out, 64));
    return out;
}

TEST(Unicode, Cp1252ByItsOwnTable) {
    const struct {
        const char* bytes;
        const char* description;
        const char* utf8;
    } rows[] = {
        {"donn\xE9"
         "es.dat",
         "a letter of the Latin-1 half", "donn\u00e9es.dat"},
        {"\x80\x8A\x9C\x9F", "the euro sign and the letters of 0x80-0x9F",
         "\u20ac\u0160\u0153\u0178"},
        {"\x81\x8D\x8F\x90\x9D", "unassigned bytes as the controls Windows makes of them",
         "\u0081\u008d\u008f\u0090\u009d"},
        {"\xA0\xFF", "no-break space and y with diaeresis", "\u00a0\u00ff"},
    };
    for (const auto& row : rows) {
        char out[64];
        ASSERT_EQ(1, Cp1252ToUtf8(row.bytes, out, sizeof out)) << row.description;
        EXPECT_STREQ(row.utf8, out) << row.description;
    }
}

TEST(Unicode, Utf16RoundTrips) {
    const struct {
        std::u16string wide;
        const char* description;
        const char* utf8;
    } rows[] = {
        {u"C:\\Users\\\u5f20\u4f1f\\Temp", "Chinese", "C:\\Users\\\u5f20\u4f1f\\Temp"},
        {u"\U0001F600", "a surrogate pair", "\U0001F600"},
        {std::u16string(1, char16_t(0xD800)) + u"x", "a lone high surrogate", "\xED\xA0\x80x"},
        {std::u16string(1, char16_t(0xDFFF)), "a lone low surrogate", "\xED\xBF\xBF"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.utf8, Narrow(row.wide)) << row.description;
        EXPECT_EQ(row.wide, Wide(row.utf8)) << row.description;
    }
}

TEST(Unicode, IllFormedBytesAreCp1252) {
    const struct {
        const char* bytes;
        const char* description;
        std::u16string wide;
    } rows[] = {
        {"caf\xE9", "a Windows-1252 letter", u"caf\u00e9"},
        {"\xC3", "a lead byte at the end", u"\u00c3"},
        {"\xC3x", "a lead byte without its continuation", u"\u00c3x"},
        {"\xC0\xAF", "an overlong slash", u"\u00c0\u00af"},
        {"\xE0\x80\xAF", "an overlong three-byte slash", u"\u00e0\u20ac\u00af"},
        {"\xF4\x90\x80\x80", "past U+10FFFF", u"\u00f4\u0090\u20ac\u20ac"},
        {"\x80", "a continuation byte alone", u"\u20ac"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.wide, Wide(row.bytes)) << row.description;
}

TEST(Unicode, WholeOrNothing) {
    char narrow[4] = "old";
    EXPECT_EQ(0, Cp1252ToUtf8("\xE9\xE9", narrow, 4));
    EXPECT_STREQ("", narrow);
    EXPECT_EQ(1, Cp1252ToUtf8("a\xE9", narrow, 4));
    WideUnit wide[2] = {'o', 0};
    EXPECT_EQ(0, Utf8ToUtf16("\U0001F600", wide, 2)) << "a pair is never cut";
    EXPECT_EQ(0, wide[0]);
    const WideUnit pair[] = {0xD83D, 0xDE00, 0};
    char three[4] = "old";
    EXPECT_EQ(0, Utf16ToUtf8(pair, -1, three, 4));
    EXPECT_STREQ("", three);
    EXPECT_EQ(1, Utf16ToUtf8(pair, 1, three, 4)) << "the length cuts the pair: a lone surrogate";
    EXPECT_STREQ("\xED\xA0\xBD", three);
}

TEST(Unicode, PrefixCountsUtf16Units) {
    EXPECT_EQ(3, Utf8PrefixBytes("abcdef", 3));
    EXPECT_EQ(4, Utf8PrefixBytes("\u0416\u0416\u0416", 2));
    EXPECT_EQ(1, Utf8PrefixBytes("a\U0001F600", 2)) << "a pair is not split";
    EXPECT_EQ(5, Utf8PrefixBytes("a\U0001F600", 3));
    EXPECT_EQ(2, Utf8PrefixBytes("\xE9\xE9x", 2)) << "ill-formed bytes count one each";
}

} // namespace
