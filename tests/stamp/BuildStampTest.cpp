#include "driver/BuildStamp.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Exactly the bytes of the text, no terminator added: any read past them is out of bounds.
std::vector<unsigned char> Exact(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

// A stamp as stored: marker, text, terminator.
std::vector<unsigned char> Stamp(const std::string& text) {
    return Exact("\xFF" + text + std::string(1, '\0'));
}

const int kAll = -1;

struct FindRow {
    const char* what;
    std::string bytes;
    int length; // kAll: all of the bytes
    int window;
    int found;
    const char* copy;
};

const FindRow kFindRows[] = {
    {"header of 4 characters", "\xFF*ABCD*!x", kAll, 256, 1, "*ABCD*!x"},
    {"2 characters between the stars", "\xFF*AB*!x", kAll, 256, 0, ""},
    {"a star at k = 2 is an ordinary character", "\xFF*A*BCD*!x", kAll, 256, 1, "*A*BCD*!x"},
    {"a character outside the header set", "\xFF*X-MED*!x", kAll, 256, 0, ""},
    {"22 characters between the stars", "\xFF*ABCDEFGHIJKLMNOPQRSTUV*!x", kAll, 256, 1,
     "*ABCDEFGHIJKLMNOPQRSTUV*!x"},
    {"23 characters between the stars", "\xFF*ABCDEFGHIJKLMNOPQRSTUVW*!x", kAll, 256, 0, ""},
    {"closing star without a following bang", "\xFF*ABCDE*x*!y", kAll, 256, 1, "*ABCDE*x*!y"},
    {"length 0: only the first byte may be the marker", "ab\xFF*ABCD*!x", 0, 256, 0, ""},
    {"a later marker within the length", "ab\xFF*ABCD*!x", kAll, 256, 1, "*ABCD*!x"},
    {"a run of markers", "\xFF\xFF\xFF*ABCD*!x", kAll, 256, 1, "*ABCD*!x"},
    {"a false header, then a real one", "\xFF*AB*!z\xFF*ABCD*!y", kAll, 256, 1, "*ABCD*!y"},
    {"window ends the scan", "abc\xFF*ABCD*!x", kAll, 4, 0, ""},
    {"window cuts the header before its closing star", "\xFF*ABCD*!x", kAll, 6, 0, ""},
    {"window just holds the closing star", "\xFF*ABCD*!x", kAll, 7, 1, "*ABCD*!x"},
    {"the bang after the closing star lies past the bytes", "\xFF*ABCD*", kAll, 256, 0, ""},
    {"a marker as the last byte", "abc\xFF", kAll, 256, 0, ""},
    {"markers up to the end", "\xFF\xFF\xFF", kAll, 256, 0, ""},
    {"text without terminator is cut at the end of the bytes", "\xFF*ABCD*!open", kAll, 256, 1,
     "*ABCD*!open"},
    {"negative length", "\xFF*ABCD*!x", -5, 256, 0, ""},
};

TEST(BuildStampFind, Table) {
    for (const FindRow& row : kFindRows) {
        SCOPED_TRACE(row.what);
        std::vector<unsigned char> bytes = Exact(row.bytes);
        int length = row.length == kAll ? static_cast<int>(bytes.size()) : row.length;
        REF_PROG stamp;
        EXPECT_EQ(stamp.Find(bytes.data(), length, row.window), row.found);
        EXPECT_STREQ(stamp.stampCopy, row.copy);
        if (row.found) {
            EXPECT_EQ(stamp.stampRef, bytes.data() + row.bytes.find(row.copy));
        } else {
            EXPECT_EQ(stamp.stampRef, nullptr);
        }
    }
}

TEST(BuildStampFind, CopyHoldsAtMost511Characters) {
    std::vector<unsigned char> bytes = Stamp("*ABCD*!" + std::string(600, 'v'));
    REF_PROG stamp;
    ASSERT_EQ(stamp.Find(bytes.data(), static_cast<int>(bytes.size()), 1000), 1);
    EXPECT_EQ(strlen(stamp.stampCopy), 511u);
}

TEST(BuildStampFind, InstallersOwnStamp) {
    SERIAL_REF stamp;
    ASSERT_EQ(stamp.Find(nullptr, 0, 256), 1);
    EXPECT_EQ(stamp.stampRef, g_BuildStamp + 1);
    EXPECT_STREQ(stamp.stampCopy, reinterpret_cast<const char*>(g_BuildStamp + 1));
    EXPECT_EQ(strlen(stamp.stampCopy), 51u);
}

struct KeyRow {
    const char* what;
    const char* text; // after the marker
    int count;
    const char* value;
    const char* version;
};

const KeyRow kKeyRows[] = {
    {"key in the second record is passed over", "*X_MED*!Z000ABC", 0, "", ""},
    {"key in the third record", "*X_MED*!0!Z000ABC", 3, "ABC", ""},
    {"the first match wins", "*X_MED*!0!Z000ABCDEFGHIJKLMNOPQRSTUV!Z000XYZ", 22,
     "ABCDEFGHIJKLMNOPQRSTUV", "KLMN"},
    {"a longer value is cut to 22", "*X_MED*!0!Z000ABCDEFGHIJKLMNOPQRSTUVWXYZ", 22,
     "ABCDEFGHIJKLMNOPQRSTUV", "KLMN"},
    {"letter case of the key counts", "*X_MED*!0!z000ABC", 0, "", ""},
    {"other keys before it", "*X_MED*!0!Y000A!Z000QOR0AKVR002.1bVC000001", 22,
     "QOR0AKVR002.1bVC000001", "2.1b"},
    {"empty value", "*X_MED*!0!Z000!Z000late", 0, "", ""},
    {"short value: the version is cut, later fields empty", "*X_MED*!0!Z000QOR0AKVR001.", 12,
     "QOR0AKVR001.", "1."},
    {"header and an empty second record", "*X_MED*!", 0, "", ""},
};

TEST(BuildStampFindKey, Table) {
    for (const KeyRow& row : kKeyRows) {
        SCOPED_TRACE(row.what);
        std::vector<unsigned char> bytes = Stamp(row.text);
        REF_PROG stamp;
        ASSERT_EQ(stamp.Find(bytes.data(), static_cast<int>(bytes.size()), 256), 1);
        char value[kStampValueLength + 1];
        memset(value, '#', sizeof value);
        EXPECT_EQ(stamp.FindKey("Z000", value, kStampValueLength), row.count);
        EXPECT_EQ(std::string(value, static_cast<size_t>(row.count)), row.value);
        if (row.count < kStampValueLength) {
            EXPECT_EQ(value[row.count], '#') << "not terminated";
        }
        StampFields fields;
        CutStampFields(stamp, &fields);
        EXPECT_STREQ(fields.version, row.version);
    }
}

TEST(BuildStampFields, ShortValueLeavesLaterFieldsEmpty) {
    std::vector<unsigned char> bytes = Stamp("*X_MED*!0!Z000QOR0AKVR001.");
    REF_PROG stamp;
    ASSERT_EQ(stamp.Find(bytes.data(), static_cast<int>(bytes.size()), 256), 1);
    StampFields fields;
    memset(&fields, '#', sizeof fields);
    CutStampFields(stamp, &fields);
    EXPECT_STREQ(fields.chars1to4, "QOR0");
    EXPECT_STREQ(fields.chars5to8, "AKVR");
    EXPECT_STREQ(fields.chars9to10, "00");
    EXPECT_STREQ(fields.version, "1.");
    EXPECT_STREQ(fields.chars15to16, "");
    EXPECT_STREQ(fields.chars17to22, "");
}

TEST(BuildStampFields, NoStampGivesEmptyFields) {
    REF_PROG stamp; // nothing found
    char value[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(stamp.FindKey("Z000", value, 4), 0);
    EXPECT_EQ(value[0], '#');
    StampFields fields;
    memset(&fields, '#', sizeof fields);
    CutStampFields(stamp, &fields);
    EXPECT_STREQ(fields.chars1to4, "");
    EXPECT_STREQ(fields.version, "");
    EXPECT_STREQ(fields.chars17to22, "");
}

TEST(BuildStampVersion, InstallersOwnStampGives10a) {
    char version[16];
    EXPECT_EQ(ReadStampVersion(version, sizeof version), 4);
    EXPECT_STREQ(version, "1.0a");
    EXPECT_EQ(ReadStampVersion(version, 3), 2);
    EXPECT_STREQ(version, "1.");

    SERIAL_REF stamp;
    stamp.Find(nullptr, 0, 256);
    StampFields fields;
    CutStampFields(stamp, &fields);
    EXPECT_STREQ(fields.chars1to4, "QOR0");
    EXPECT_STREQ(fields.chars5to8, "AKVR");
    EXPECT_STREQ(fields.chars9to10, "00");
    EXPECT_STREQ(fields.chars15to16, "VC");
    EXPECT_STREQ(fields.chars17to22, "000000");
}

std::vector<unsigned char> OwnExecutable() {
    char path[1024] = {0};
#ifdef _WIN32
    GetModuleFileNameA(nullptr, path, sizeof path);
#else
    snprintf(path, sizeof path, "/proc/self/exe");
#endif
    std::vector<unsigned char> bytes;
    FILE* f = fopen(path, "rb");
    if (!f) return bytes;
    unsigned char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    fclose(f);
    return bytes;
}

// The stamp must reach the executable file whole, where a scan for its marker finds it.
TEST(BuildStampFind, StampIsInTheExecutableFile) {
    std::vector<unsigned char> file = OwnExecutable();
    ASSERT_FALSE(file.empty());
    auto at = std::search(file.begin(), file.end(), g_BuildStamp, g_BuildStamp + kBuildStampSize);
    ASSERT_NE(at, file.end());
    int32_t offset = static_cast<int32_t>(at - file.begin());
    REF_PROG stamp;
    ASSERT_EQ(stamp.Find(file.data() + offset, static_cast<int32_t>(file.size()) - offset, 256), 1);
    char version[16];
    StampFields fields;
    CutStampFields(stamp, &fields);
    EXPECT_STREQ(fields.version, "1.0a");
    (void)version;
}

} // namespace
