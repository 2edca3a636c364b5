#include "support/FileName.h"
#include "support/FileTimeInfo.h"

#include <gtest/gtest.h>

TEST(FileName, PlainNamesOnly) {
    const struct {
        const char* name;
        int plain;
    } rows[] = {
        {"install.exe", 1},
        {"AutoInst_x.kvr.exe", 1},
        {"Caf\xE9.txt", 1},
        {".cfg", 1},
        {"CONSOLE.txt", 1},
        {"LPT10", 1},
        {"COM\xB9"
         "4",
         1},
        {"a~b.txt", 1},
        {"install~1.exe", 1},
        {"AUTOIN~1.EXE2", 1},
        {"A~1.tar.gz", 1},
        {"", 0},
        {".", 0},
        {"..", 0},
        {"...", 0},
        {"a.", 0},
        {"a ", 0},
        {"..\\x", 0},
        {"a/b", 0},
        {"C:x", 0},
        {"f.txt:stream", 0},
        {"a*b", 0},
        {"q?", 0},
        {"tab\there", 0},
        {"CON", 0},
        {"con.txt", 0},
        {"Nul", 0},
        {"PRN .log", 0},
        {"aux", 0},
        {"COM1", 0},
        {"lpt9.dat", 0},
        {"CONOUT$", 0},
        {"COM0", 0},
        {"lpt0.txt", 0},
        {"COM\xB9", 0},
        {"lpt\xB2.log", 0},
        {"COM\xB3", 0},
        {"AUTOIN~1.EXE", 0},
        {"a~12", 0},
        {"~1.t", 0},
        {"PROGRA~10.X", 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsPlainFileName(row.name), row.plain) << row.name;
    EXPECT_EQ(IsPlainFileName(nullptr), 0);
}

// The reason given for a refusal is the rule that refuses it (sfxpack names it to the user).
TEST(FileName, FaultNamesTheRule) {
    const struct {
        const char* name;
        int fault;
    } rows[] = {
        {"install.exe", kNamePlain},       {"", kNameEmpty},
        {"tab\there", kNameControl},       {"a*b", kNameRefusedCharacter},
        {"a.", kNameTrailingDotOrSpace},   {"con.txt", kNameDevice},
        {"AUTOIN~1.EXE", kNameShortAlias},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FileNameFault(row.name), row.fault) << row.name;
}

TEST(FileTimeInfo, KeysSignedFormsAndAbsence) {
    uint32_t low = 7, high = 7;
    EXPECT_EQ(InfoWriteTime("\r\nDWCL=3000000000\r\nDWCH=29000000", 0, &low, &high), 1);
    EXPECT_EQ(low, 0xB2D05E00u);
    EXPECT_EQ(high, 0x01BA8140u);
    EXPECT_EQ(InfoWriteTime("\r\ndwcl=-1294967296\r\ndwch=29000000\r\n", 0, &low, &high), 1);
    EXPECT_EQ(low, 0xB2D05E00u);
    EXPECT_EQ(InfoWriteTime("\r\nDWCH=5", 0, &low, &high), 1);
    EXPECT_EQ(low, 0u);
    EXPECT_EQ(high, 5u);
    low = high = 9;
    EXPECT_EQ(InfoWriteTime("DWCL=5", 0, &low, &high), 0); // no line break before the key
    EXPECT_EQ(InfoWriteTime("", 0, &low, &high), 0);
    EXPECT_EQ(low, 9u);
    EXPECT_EQ(DecimalToWord("  +42x"), 42u);
    EXPECT_EQ(DecimalToWord("-1"), 0xFFFFFFFFu);
}
