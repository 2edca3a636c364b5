#include "support/HFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/files/FilesTestSupport.h"

namespace {

TEST(HFile, WritesBytesAndTextsAndClosesOnScopeExit) {
    ScratchFolder dir;
    std::string path = dir / "a.bin";
    {
        H_FILE file;
        ASSERT_EQ(1, file.Open(path.c_str(), CREATE_ALWAYS, GENERIC_READ | GENERIC_WRITE));
        EXPECT_STREQ(path.c_str(), file.path);
        EXPECT_EQ(3u, file.Write("x\0y", 3));
        EXPECT_EQ(4u, file.Write("text", -1)); // without its terminator
        // Others may read it, but not delete it while it is open.
        EXPECT_EQ(std::string("x\0ytext", 7), FileBytes(path));
        EXPECT_FALSE(DeleteFileA(path.c_str()));
    }
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(HFile, OpeningAgainLetsGoOfTheEarlierFile) {
    ScratchFolder dir;
    H_FILE file;
    ASSERT_EQ(1, file.Open((dir / "a").c_str(), CREATE_ALWAYS, GENERIC_WRITE));
    ASSERT_EQ(1, file.Open((dir / "b").c_str(), CREATE_ALWAYS, GENERIC_WRITE));
    EXPECT_TRUE(DeleteFileA((dir / "a").c_str()));
    EXPECT_FALSE(DeleteFileA((dir / "b").c_str()));
}

TEST(HFile, CreateAlwaysReplacesAnExistingFile) {
    ScratchFolder dir;
    std::string path = dir / "a.txt";
    PutFile(path, "old contents");
    H_FILE file;
    ASSERT_EQ(1, file.Open(path.c_str(), CREATE_ALWAYS, GENERIC_READ | GENERIC_WRITE));
    file.Write("new", -1);
    EXPECT_EQ("new", FileBytes(path));
}

TEST(HFile, FailedOpenKeepsTheErrorAndWritesNothing) {
    ScratchFolder dir;
    std::string path = dir / "missing\\a.txt";
    H_FILE file;
    EXPECT_EQ(0, file.Open(path.c_str(), CREATE_ALWAYS, GENERIC_WRITE));
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.handle);
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), file.lastError);
    EXPECT_EQ(0u, file.Write("abc", 3));
    file.SetWriteTimeFromInfo("\r\nDWCL=1\r\nDWCH=2", 0); // nothing to set, nothing fails
}

TEST(HFile, NegativeLengthOtherThanTextWritesNothing) {
    ScratchFolder dir;
    std::string path = dir / "a.bin";
    H_FILE file;
    ASSERT_EQ(1, file.Open(path.c_str(), CREATE_ALWAYS, GENERIC_WRITE));
    EXPECT_EQ(0u, file.Write("abc", -2));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), file.lastError);
    EXPECT_EQ("", FileBytes(path));
}

struct TimeRow {
    const char* info;
    uint32_t low, high;
    const char* what;
};

TEST(HFile, WriteTimeFromInfoKeys) {
    const TimeRow rows[] = {
        {"v=1\r\nDWCL=3000000000\r\nDWCH=29000000\r\n", 0xB2D05E00u, 0x01BA8140u, "unsigned"},
        {"\r\nDWCL=-1294967296\r\nDWCH=29000000", 0xB2D05E00u, 0x01BA8140u, "signed low half"},
        {"\r\ndwch=29000000\r\ndwcl=3000000000", 0xB2D05E00u, 0x01BA8140u, "small letters"},
        {"\r\nDWCH=29000000", 0u, 29000000u, "only the high half"},
        {"DWCL=7\r\nDWCH=29000000", 0u, 29000000u, "a key without a line break before it"},
        {"\r\nDWCH=29000000\r\nDWCL=1234567890123456789", 0x860DDF79u, 29000000u,
         "low value cut to 15 characters"},
        {"\r\nDWCL= +3000000000\nDWCH=1\r\nDWCH=29000000", 0xB2D05E00u, 29000000u,
         "blanks and sign; a key needs CR LF"},
    };
    ScratchFolder dir;
    for (const TimeRow& row : rows) {
        std::string path = dir / "t.bin";
        {
            H_FILE file;
            ASSERT_EQ(1, file.Open(path.c_str(), CREATE_ALWAYS, GENERIC_READ | GENERIC_WRITE));
            file.Write("data", -1);
            file.SetWriteTimeFromInfo(row.info, 0);
        }
        EXPECT_EQ((uint64_t(row.high) << 32) | row.low, WriteTimeOf(path)) << row.what;
    }
}

TEST(HFile, InfoWithoutTimeKeysKeepsTheTimeOfWriting) {
    ScratchFolder dir;
    std::string path = dir / "t.bin";
    uint64_t written = 0;
    {
        H_FILE file;
        ASSERT_EQ(1, file.Open(path.c_str(), CREATE_ALWAYS, GENERIC_READ | GENERIC_WRITE));
        file.Write("data", -1);
        FILETIME time;
        ASSERT_TRUE(GetFileTime(file.handle, nullptr, nullptr, &time));
        written = (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
        file.SetWriteTimeFromInfo("\r\nDWCL=\r\nDWCH=\r\nSIZE=4", 0);
    }
    EXPECT_EQ(written, WriteTimeOf(path));
    // Only within the given length.
    {
        H_FILE file;
        ASSERT_EQ(1, file.Open(path.c_str(), CREATE_ALWAYS, GENERIC_READ | GENERIC_WRITE));
        file.SetWriteTimeFromInfo("xx\r\nDWCH=5", 4);
    }
    EXPECT_NE(5ull << 32, WriteTimeOf(path));
}

struct JoinRow {
    const char* pattern;
    const char* name;
    int capacity;
    const char* expected; // nullptr: refused
};

TEST(PathJoin, JoinsTheFolderPartOrRefusesWhatWouldNotFit) {
    const JoinRow rows[] = {
        {"C:\\dir\\*.*", "a.txt", 256, "C:\\dir\\a.txt"},
        {"C:*.*", "a.txt", 256, "C:a.txt"},
        {"*.*", "a.txt", 256, "a.txt"},
        {"C:\\d:x\\*.*", "n", 256, "C:\\d:x\\n"},
        {"C:\\d\\*.*", "abc", 9, "C:\\d\\abc"}, // exactly full
        {"C:\\d\\*.*", "abcd", 9, nullptr},
        {"C:\\long\\*.*", "", 8, nullptr}, // the folder part alone does not fit
        {"C:\\d\\*.*", "", 1, nullptr},
    };
    for (const JoinRow& row : rows) {
        char out[300];
        std::fill(out, out + sizeof out, '#');
        char* end = PathJoin(row.pattern, row.name, out, row.capacity);
        if (row.expected) {
            ASSERT_NE(nullptr, end) << row.pattern << " + " << row.name;
            EXPECT_STREQ(row.expected, out);
            EXPECT_EQ(out + strlen(row.expected), end);
        } else {
            EXPECT_EQ(nullptr, end) << row.pattern << " + " << row.name;
            EXPECT_EQ(row.capacity > 0 ? '\0' : '#', out[0]);
        }
        EXPECT_EQ('#', out[row.capacity]) << "written past the capacity";
    }
}

// Records the callbacks of an enumeration.
struct Recorder {
    std::vector<std::string> paths;
    int answer = 1;
    int* flagToSet = nullptr;
    int lastUserData = 0;
    int Add(const char* path, int userData) {
        paths.push_back(path);
        lastUserData = userData;
        if (flagToSet) *flagToSet = 1;
        return answer;
    }
};

class ForEachFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        PutFile(dir / "b.txt", "b");
        PutFile(dir / "a.txt", "a");
        PutFile(dir / ".cfg", "hidden by its dot");
        CreateDirectoryA((dir / "sub").c_str(), nullptr);
        PutFile(dir / "sub\\inner.txt", "inside");
        pattern = dir / "*.*";
    }
    ScratchFolder dir;
    std::string pattern;
    Recorder recorder;
};

TEST_F(ForEachFileTest, CallsBackForFilesAndCountsFoldersToo) {
    EXPECT_EQ(3, ForEachFile(pattern.c_str(), recorder, &Recorder::Add, 42));
    std::sort(recorder.paths.begin(), recorder.paths.end());
    EXPECT_EQ((std::vector<std::string>{dir / "a.txt", dir / "b.txt"}), recorder.paths);
    EXPECT_EQ(42, recorder.lastUserData);
}

TEST_F(ForEachFileTest, CallbackAnsweringZeroStops) {
    recorder.answer = 0;
    int seen = ForEachFile(pattern.c_str(), recorder, &Recorder::Add, 0);
    EXPECT_EQ(1u, recorder.paths.size());
    EXPECT_GE(seen, 1);
    EXPECT_LE(seen, 2); // the folder may come first
}

TEST_F(ForEachFileTest, StopFlagIsReadBeforeEveryName) {
    int stop = 1;
    EXPECT_EQ(0, ForEachFile(pattern.c_str(), recorder, &Recorder::Add, 0, &stop));
    EXPECT_TRUE(recorder.paths.empty());

    stop = 0;
    recorder.flagToSet = &stop; // the callback ends the enumeration through the flag
    ForEachFile(pattern.c_str(), recorder, &Recorder::Add, 0, &stop);
    EXPECT_EQ(1u, recorder.paths.size());
}

TEST_F(ForEachFileTest, NothingMatchingOrNoFolderGivesZero) {
    EXPECT_EQ(0, ForEachFile((dir / "*.none").c_str(), recorder, &Recorder::Add, 0));
    EXPECT_EQ(0, ForEachFile((dir / "absent\\*.*").c_str(), recorder, &Recorder::Add, 0));
    EXPECT_TRUE(recorder.paths.empty());
}

TEST(ForEachFile, NamesThatWouldBeCutAreSeenButNotHandedOn) {
    ScratchFolder dir;
    // A folder whose path leaves room for the short name but not for the 58-character one
    // in the 256-byte full path.
    std::string folder = dir.Path();
    while (folder.size() < 197) {
        folder += "\\" + std::string(std::min<size_t>(40, 197 - folder.size() - 1), 'd');
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    }
    std::string longName(58, 'n');
    PutFile(folder + "\\" + longName, "x");
    PutFile(folder + "\\s", "x");
    ASSERT_TRUE(Exists(folder + "\\" + longName));
    // And a name over 63 characters, which the 64-byte name buffer cannot hold.
    std::string tooLong(70, 'L');
    PutFile(dir / tooLong, "x");
    PutFile(dir / std::string(63, 'L'), "another file, which a cut name would name");

    Recorder recorder;
    EXPECT_EQ(2, ForEachFile((folder + "\\*.*").c_str(), recorder, &Recorder::Add, 0));
    EXPECT_EQ((std::vector<std::string>{folder + "\\s"}), recorder.paths);

    Recorder top;
    EXPECT_EQ(3, ForEachFile((dir / "*").c_str(), top, &Recorder::Add, 0));
    EXPECT_EQ((std::vector<std::string>{dir / std::string(63, 'L')}), top.paths);
}

} // namespace
