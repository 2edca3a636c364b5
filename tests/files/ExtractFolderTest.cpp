#include "driver/ExtractFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/files/FilesTestSupport.h"

namespace {

const char kTimeInfo[] = "\r\nDWCL=3000000000\r\nDWCH=29000000";
const uint64_t kInfoTime = (uint64_t(0x01BA8140u) << 32) | 0xB2D05E00u;

// Runs each test with TMP and TEMP pointing at a scratch folder, and puts the environment and
// the current directory back afterwards.
class ExtractPayloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        GetCurrentDirectoryA(sizeof savedDirectory_, savedDirectory_);
        Save("TMP", savedTmp_);
        Save("TEMP", savedTemp_);
        UseTemp(temp.Path());
        folder = temp / "tmp_qor";
    }
    void TearDown() override {
        SetCurrentDirectoryA(savedDirectory_);
        SetEnvironmentVariableA("TMP", savedTmp_.empty() ? nullptr : savedTmp_.c_str());
        SetEnvironmentVariableA("TEMP", savedTemp_.empty() ? nullptr : savedTemp_.c_str());
    }

    static void UseTemp(const std::string& path) {
        SetEnvironmentVariableA("TMP", path.c_str());
        SetEnvironmentVariableA("TEMP", path.c_str());
    }

    int Extract(const TestPayload& payload) {
        std::fill(folderPath, folderPath + sizeof folderPath, 'x');
        return ExtractPayload(folderPath, sizeof folderPath, payload.View());
    }

    static std::string CurrentDirectory() {
        char path[MAX_PATH];
        DWORD n = GetCurrentDirectoryA(sizeof path, path);
        return std::string(path, n);
    }

    void PutFiles(int count) {
        for (int i = 0; i < count; ++i)
            PutFile(folder + "\\old" + std::to_string(i) + ".dat", "old");
    }

    ScratchFolder temp;
    std::string folder;
    char folderPath[256];

  private:
    static void Save(const char* name, std::string& value) {
        char text[MAX_PATH];
        DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
        value.assign(text, n < sizeof text ? n : 0);
    }
    char savedDirectory_[MAX_PATH];
    std::string savedTmp_, savedTemp_;
};

TEST_F(ExtractPayloadTest, CreatesTheFolderWritesEveryEntryAndStaysInIt) {
    TestPayload payload =
        TestPayload::Of({{"readme.txt", "Bonjour\r\n", kMethodCompressedInverted, kTimeInfo},
                         {"data.bin", std::string("\0\1\2\xFF", 4), kMethodInverted},
                         {"empty.txt", "", kMethodPlain, "\r\ndwcl=3000000000\r\ndwch=29000000"}});
    ASSERT_FALSE(Exists(folder));
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    uint64_t before = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;

    EXPECT_EQ(1, Extract(payload));
    EXPECT_EQ(folder, folderPath);
    EXPECT_EQ(folder, CurrentDirectory());
    EXPECT_EQ((std::vector<std::string>{"data.bin", "empty.txt", "readme.txt"}), NamesIn(folder));
    EXPECT_EQ("Bonjour\r\n", FileBytes(folder + "\\readme.txt"));
    EXPECT_EQ(std::string("\0\1\2\xFF", 4), FileBytes(folder + "\\data.bin"));
    EXPECT_EQ("", FileBytes(folder + "\\empty.txt"));
    EXPECT_EQ(kInfoTime, WriteTimeOf(folder + "\\readme.txt"));
    EXPECT_EQ(kInfoTime, WriteTimeOf(folder + "\\empty.txt"));
    // Without time keys a file keeps the time of its writing (file systems round a little).
    EXPECT_GE(WriteTimeOf(folder + "\\data.bin") + 20000000, before);
}

TEST_F(ExtractPayloadTest, CleansTheFolderButNotItsFoldersOrDotFiles) {
    CreateDirectoryA(folder.c_str(), nullptr);
    PutFiles(45);
    PutFile(folder + "\\readonly.txt", "r");
    SetFileAttributesA((folder + "\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    PutFile(folder + "\\.cfg", "kept");
    CreateDirectoryA((folder + "\\sub").c_str(), nullptr);
    PutFile(folder + "\\sub\\inner.dat", "kept");
    PutFile(folder + "\\new.txt", "replaced");

    EXPECT_EQ(1, Extract(TestPayload::Of({{"new.txt", "new"}})));
    EXPECT_EQ((std::vector<std::string>{".cfg", "new.txt", "sub"}), NamesIn(folder));
    EXPECT_EQ("kept", FileBytes(folder + "\\sub\\inner.dat"));
    EXPECT_EQ("new", FileBytes(folder + "\\new.txt"));
}

TEST_F(ExtractPayloadTest, AFileHeldOpenStaysAndTheOthersAreDeleted) {
    CreateDirectoryA(folder.c_str(), nullptr);
    PutFiles(25);
    std::string held = folder + "\\held.dat";
    HANDLE handle = CreateFileA(held.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);

    EXPECT_EQ(1, Extract(TestPayload::Of({{"a.txt", "a"}})));
    CloseHandle(handle);
    EXPECT_EQ((std::vector<std::string>{"a.txt", "held.dat"}), NamesIn(folder));
}

TEST_F(ExtractPayloadTest, AFileAlreadyBeingDeletedEndsTheCleaning) {
    CreateDirectoryA(folder.c_str(), nullptr);
    PutFiles(3);
    // Open with share-delete: its deletion may succeed while the name stays listed.
    std::string pending = folder + "\\pending.dat";
    HANDLE handle = CreateFileA(pending.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    EXPECT_EQ(1, Extract(TestPayload::Of({{"a.txt", "a"}})));
    CloseHandle(handle);
    EXPECT_EQ("a", FileBytes(folder + "\\a.txt"));
    EXPECT_FALSE(Exists(folder + "\\old0.dat"));
}

// The first entry that is not written ends the extraction with 0 and its fault reported once,
// naming it: nothing may be started from a folder that lacks it, and no file of zeros or of a
// part of the data may pass for it.
TEST_F(ExtractPayloadTest, AnEntryNotWrittenEndsTheExtractionWithZero) {
    const std::string longName = std::string(70, 'n') + ".txt";
    const std::string refused = "Nom de fichier refus\xE9 : ";
    const struct {
        const char* what;
        std::function<void(TestPayload&)> add;
        std::string text;
    } rows[] = {
        {"a name leading out",
         [](TestPayload& p) {
             p.Add({"..\\escape.txt", "x"});
         },
         refused + "..\\escape.txt"},
        {"a slash",
         [](TestPayload& p) {
             p.Add({"sub/x.txt", "x"});
         },
         refused + "sub/x.txt"},
        {"a drive",
         [](TestPayload& p) {
             p.Add({"C:evil.txt", "x"});
         },
         refused + "C:evil.txt"},
        {"a stream",
         [](TestPayload& p) {
             p.Add({"a.txt:stream", "x"});
         },
         refused + "a.txt:stream"},
        {"dot dot",
         [](TestPayload& p) {
             p.Add({"..", "x"});
         },
         refused + ".."},
        {"devices",
         [](TestPayload& p) {
             p.Add({"Com1.log", "x"});
         },
         refused + "Com1.log"},
        {"a name over 63 bytes",
         [&](TestPayload& p) {
             p.Add({longName, "x"});
         },
         refused + longName.substr(0, 63)},
        {"no memory for the data", [](TestPayload& p) { p.AddHuge("big.bin", "not all of it"); },
         "M\xE9moire insuffisante : big.bin"},
        {"a folder has the name",
         [](TestPayload& p) {
             p.Add({"sub", "x"});
         },
         "Erreur CreateFile 5 : sub"},
        {"a checkword mismatch",
         [](TestPayload& p) {
             p.AddWithBadCheckword({"bad.txt", "x"});
         },
         "Checkword erreur"},
        {"a decoding error",
         [](TestPayload& p) {
             p.AddStored("bad.bin", std::string("\x10\x11\x01\x03\x41\x42\x43\xA8\x00\x00", 10), 3,
                         kMethodCompressed);
         },
         "Erreur en d\xE9"
         "compr\xE9"
         "ssion code 21 : bad.bin"},
        {"plain data shorter than its decoded size",
         [](TestPayload& p) { p.AddStored("short.txt", "ab", 5, kMethodPlain); },
         "Taille incorrecte : short.txt"},
        {"a method word above 3", [](TestPayload& p) { p.AddStored("new.bin", "abc", 3, 4); },
         "M\xE9thode inconnue : new.bin"},
    };
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\sub").c_str(), nullptr);
    {
        SCOPED_TRACE("control");
        LogListener log(kLogPayload);
        EXPECT_EQ(1, Extract(TestPayload::Of({{"first.txt", "1"}, {"after.txt", "2"}})));
        EXPECT_EQ((std::vector<std::string>{"after.txt", "first.txt", "sub"}), NamesIn(folder));
        EXPECT_TRUE(log.texts.empty());
    }
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TestPayload payload;
        payload.Add({"first.txt", "1"});
        row.add(payload);
        payload.Add({"after.txt", "2"});
        LogListener log(kLogPayload);
        LogListener all(kLogAll);
        EXPECT_EQ(0, Extract(payload));
        EXPECT_EQ((std::vector<std::string>{"first.txt", "sub"}), NamesIn(folder));
        EXPECT_FALSE(Exists(temp / "escape.txt"));
        EXPECT_EQ(std::vector<std::string>{row.text}, log.texts);
        EXPECT_EQ(log.texts, all.texts);
    }
}

TEST_F(ExtractPayloadTest, AFolderThatCannotBeMadeGivesZero) {
    UseTemp(temp / "missing\\deeper");
    LogListener log(kLogPayload);
    EXPECT_EQ(0, Extract(TestPayload::Of({{"a.txt", "a"}})));
    EXPECT_FALSE(Exists(temp / "missing"));
    EXPECT_NE(folder, CurrentDirectory());
    ASSERT_EQ(1u, log.texts.size());
    EXPECT_EQ("Dossier d'extraction inutilisable : " + temp / "missing\\deeper\\tmp_qor",
              log.texts[0]);
}

// A folder path of exactly length characters under the scratch folder.
std::string DeepFolder(const std::string& base, size_t length) {
    std::string path = base;
    while (path.size() < length) {
        size_t part = std::min<size_t>(60, length - path.size() - 1);
        if (length - path.size() - 1 - part == 1) --part; // no part of length 0 next time
        path += "\\" + std::string(part, 'd');
        CreateDirectoryA(path.c_str(), nullptr);
    }
    return path;
}

TEST_F(ExtractPayloadTest, ATempPathTooLongIsRefusedNeverCut) {
    // The folder path fits in 256 bytes but its pattern would not: cut, the pattern would still
    // name the folder's files.
    std::string fitting = DeepFolder(temp.Path(), 253 - 8);
    std::string victim = fitting + "\\tmp_qor";
    ASSERT_EQ(253u, victim.size());
    ASSERT_TRUE(CreateDirectoryA(victim.c_str(), nullptr));
    PutFile(victim + "\\a", "kept");
    ASSERT_TRUE(Exists(victim + "\\a"));
    // The folder path itself would not fit.
    std::string tooLong = DeepFolder(temp.Path(), 250);

    LogListener log(kLogPayload);
    for (const std::string& path : {fitting, tooLong}) {
        UseTemp(path);
        EXPECT_EQ(0, Extract(TestPayload::Of({{"b.txt", "b"}}))) << path;
        EXPECT_STREQ("", folderPath);
        EXPECT_NE(victim, CurrentDirectory());
    }
    EXPECT_EQ(std::vector<std::string>{"a"}, NamesIn(victim));
    EXPECT_EQ(2u, log.texts.size());

    // A buffer smaller than the temporary path.
    UseTemp(temp.Path());
    char small[16];
    EXPECT_EQ(0, ExtractPayload(small, sizeof small, TestPayload::Of({{"b.txt", "b"}}).View()));
    EXPECT_STREQ("", small);
    EXPECT_FALSE(Exists(folder));
}

} // namespace
