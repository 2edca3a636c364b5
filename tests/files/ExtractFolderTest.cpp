#include "driver/ExtractFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <functional>
#include <string>
#include <vector>

#include "driver/ExtractFolderTrust.h"
#include "driver/InstallLog.h"
#include "tests/files/FilesTestSupport.h"

#include <sddl.h>

namespace {

const char kTimeInfo[] = "\r\nDWCL=3000000000\r\nDWCH=29000000";
const uint64_t kInfoTime = (uint64_t(0x01BA8140u) << 32) | 0xB2D05E00u;

// The process token and the folders' owners and access lists as the tests want them: Wine
// gives every folder the process's user as owner, whatever it was made with, and its processes
// always run elevated.
int g_elevated = 0;
const char* g_owner = nullptr; // SDDL of the fixed folder's owner and access list; none: as made
int g_lastAceType = -1;        // when set, the fixed folder's last entry has this type instead
std::string g_createdWith;     // owner and access list the last new folder was made with
std::vector<std::pair<std::string, std::string>> g_made; // each new folder and its SDDL

std::string CurrentUserSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } info;
    DWORD got = 0;
    GetTokenInformation(token, TokenUser, &info, sizeof info, &got);
    CloseHandle(token);
    char* text = nullptr;
    ConvertSidToStringSidA(info.user.User.Sid, &text);
    std::string sid = text ? text : "";
    LocalFree(text);
    return sid;
}

BOOL WINAPI TokenAsWanted(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID data, DWORD size,
                          PDWORD got) {
    if (kind != TokenElevation) return GetTokenInformation(token, kind, data, size, got);
    static_cast<TOKEN_ELEVATION*>(data)->TokenIsElevated = g_elevated;
    return TRUE;
}

// A folder's security as Windows would keep it: the fixed folder's as the test planted it, a
// new folder's as it was made (its owner the user unless named), any other the real one.
DWORD WINAPI OwnerAsWanted(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION what,
                           PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                           PSECURITY_DESCRIPTOR* descriptor) {
    char path[MAX_PATH] = {};
    GetFinalPathNameByHandleA(handle, path, sizeof path, 0);
    std::string final = path + (strncmp(path, "\\\\?\\", 4) ? 0 : 4);
    std::string sddl;
    for (const auto& made : g_made)
        if (!lstrcmpiA(made.first.c_str(), final.c_str())) sddl = made.second;
    if (g_owner && final.size() > 8 && !lstrcmpiA(final.c_str() + final.size() - 8, "\\tmp_qor"))
        sddl = g_owner;
    if (sddl.empty())
        return GetSecurityInfo(handle, type, what, owner, group, dacl, sacl, descriptor);
    if (sddl.compare(0, 2, "O:")) sddl = "O:" + CurrentUserSid() + sddl;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                              descriptor, nullptr))
        return GetLastError();
    BOOL defaulted = FALSE, present = FALSE;
    GetSecurityDescriptorOwner(*descriptor, owner, &defaulted);
    if (!dacl) return ERROR_SUCCESS; // the owner alone was asked for
    GetSecurityDescriptorDacl(*descriptor, &present, dacl, &defaulted);
    ACE_HEADER* last = nullptr;
    // Wine reads no SDDL of other kinds of entry; this one keeps an allowed entry's layout.
    if (g_lastAceType >= 0 && sddl == g_owner && *dacl && (*dacl)->AceCount &&
        GetAce(*dacl, (*dacl)->AceCount - 1, reinterpret_cast<void**>(&last)))
        last->AceType = static_cast<BYTE>(g_lastAceType);
    return ERROR_SUCCESS;
}

BOOL WINAPI CreateAndRecord(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes) {
    char* text = nullptr;
    g_createdWith = "none";
    if (attributes && ConvertSecurityDescriptorToStringSecurityDescriptorA(
                          attributes->lpSecurityDescriptor, SDDL_REVISION_1,
                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr)) {
        g_createdWith = text;
        LocalFree(text);
    }
    BOOL made = CreateDirectoryW(path, attributes);
    const std::wstring wide(path); // the tests' paths are ASCII
    if (made && attributes)
        g_made.push_back({std::string(wide.begin(), wide.end()), g_createdWith});
    return made;
}

// Runs each test with TMP and TEMP pointing at a scratch folder, not elevated, and puts the
// environment, the current directory and the trust calls back afterwards.
class ExtractPayloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        GetCurrentDirectoryA(sizeof savedDirectory_, savedDirectory_);
        Save("TMP", savedTmp_);
        Save("TEMP", savedTemp_);
        UseTemp(temp.Path());
        folder = temp / "tmp_qor";
        saved_ = g_TrustCalls;
        g_TrustCalls = {TokenAsWanted, OwnerAsWanted, CreateAndRecord};
    }
    void TearDown() override {
        g_TrustCalls = saved_;
        g_elevated = 0;
        g_owner = nullptr;
        g_lastAceType = -1;
        g_made.clear();
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
        failure = InstallFailure();
        return ExtractPayload(folderPath, sizeof folderPath, payload.View(), failure);
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
    InstallFailure failure;

  private:
    static void Save(const char* name, std::string& value) {
        char text[MAX_PATH];
        DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
        value.assign(text, n < sizeof text ? n : 0);
    }
    char savedDirectory_[MAX_PATH];
    std::string savedTmp_, savedTemp_;
    TrustCalls saved_;
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
    PutFile(folder + "\\" + std::string(200, 'L') + ".dat", "too long for an entry's name");

    EXPECT_EQ(1, Extract(TestPayload::Of({{"new.txt", "new"}})));
    EXPECT_EQ((std::vector<std::string>{".cfg", "new.txt", "sub"}), NamesIn(folder));
    EXPECT_EQ("kept", FileBytes(folder + "\\sub\\inner.dat"));
    EXPECT_EQ("new", FileBytes(folder + "\\new.txt"));
}

// A file that cannot be removed, held open without share-delete or open with share-delete
// (then its deletion only marks it), stops everything before any entry is written.
TEST_F(ExtractPayloadTest, AFileThatStaysStopsTheExtraction) {
    for (DWORD share : {DWORD(FILE_SHARE_READ), DWORD(FILE_SHARE_READ | FILE_SHARE_DELETE)}) {
        RemoveTree(folder);
        CreateDirectoryA(folder.c_str(), nullptr);
        PutFiles(25);
        std::string held = folder + "\\held.dat";
        HANDLE handle = CreateFileA(held.c_str(), GENERIC_WRITE, share, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, handle);
        EXPECT_EQ(0, Extract(TestPayload::Of({{"a.txt", "a"}}))) << share;
        CloseHandle(handle);
        EXPECT_EQ(kFailureLeftOver, failure.kind);
        EXPECT_EQ(held, failure.name);
        EXPECT_FALSE(Exists(folder + "\\a.txt"));
    }
}

// A name the code page cannot spell is listed whole, and cleaned away like any other.
TEST_F(ExtractPayloadTest, ANameOutsideTheCodePageIsCleanedAway) {
    CreateDirectoryA(folder.c_str(), nullptr);
    std::wstring wide(folder.begin(), folder.end());
    const std::wstring name = wide + L"\\\x4E2D.txt";
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    EXPECT_EQ(1, Extract(TestPayload::Of({{"a.txt", "a"}})));
    EXPECT_EQ(GetFileAttributesW(name.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(std::vector<std::string>{"a.txt"}, NamesIn(folder));
}

// A folder that would redirect a program's DLL loading stops everything; other folders stay.
TEST_F(ExtractPayloadTest, ALocalFolderStops) {
    TestPayload payload = TestPayload::Of({{"install.exe", "MZ"}});
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\local").c_str(), nullptr);
    CreateDirectoryA((folder + "\\.local").c_str(), nullptr);
    EXPECT_EQ(1, Extract(payload));
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\Install.EXE.LOCAL").c_str(), nullptr);
    EXPECT_EQ(0, Extract(payload));
    EXPECT_EQ(kFailureLeftOver, failure.kind);
    EXPECT_STREQ("Install.EXE.LOCAL", failure.name);
    EXPECT_EQ(std::vector<std::string>{"Install.EXE.LOCAL"}, NamesIn(folder));
}

// Never over what is already there: a folder or a dot file the cleaning keeps, or a second
// entry of one name. Nothing after it is written.
TEST_F(ExtractPayloadTest, AnEntryThatCannotBeCreatedStops) {
    const struct {
        const char* kept;
        std::vector<TestEntry> entries;
        const char* failed;
    } rows[] = {
        {"sub", {{"sub", "x"}, {"after.txt", "a"}}, "sub"},
        {".cfg", {{".cfg", "x"}, {"after.txt", "a"}}, ".cfg"},
        {nullptr, {{"a.txt", "1"}, {"A.TXT", "2"}, {"after.txt", "a"}}, "A.TXT"},
        {nullptr, {{"ok.txt", "1"}, {"after.txt", "a"}}, nullptr},
    };
    for (const auto& row : rows) {
        RemoveTree(folder);
        CreateDirectoryA(folder.c_str(), nullptr);
        if (row.kept && row.kept[0] == '.') PutFile(folder + "\\" + row.kept, "kept");
        if (row.kept && row.kept[0] != '.')
            CreateDirectoryA((folder + "\\" + row.kept).c_str(), nullptr);
        EXPECT_EQ(row.failed ? 0 : 1, Extract(TestPayload::Of(row.entries))) << row.entries[0].name;
        EXPECT_EQ(!row.failed, Exists(folder + "\\after.txt"));
        EXPECT_EQ(row.failed ? kFailureEntry : kFailureNone, failure.kind);
        EXPECT_STREQ(row.failed ? row.failed : "", failure.name);
        if (row.kept && row.kept[0] == '.') {
            EXPECT_EQ("kept", FileBytes(folder + "\\" + row.kept));
        }
    }
}

// The first entry that is not written ends the extraction with 0 and its fault reported once,
// naming it: nothing may be started from a folder that lacks it, and no file of zeros or of a
// part of the data may pass for it.
TEST_F(ExtractPayloadTest, AnEntryNotWrittenEndsTheExtractionWithZero) {
    const std::string longName = std::string(70, 'n') + ".txt";
    const std::string refused = "Nom de fichier refus\u00e9 : ";
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
        {"a copy far shorter than its decoded size, streamed without its memory",
         [](TestPayload& p) { p.AddHuge("big.bin", "not all of it"); },
         "Taille incorrecte : big.bin"},
        {"a folder has the name",
         [](TestPayload& p) {
             p.Add({"sub", "x"});
         },
         "Erreur CreateFile 80 : sub"},
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
         "Erreur en d\u00e9compr\u00e9ssion code 21 : bad.bin"},
        {"a fault after several windows were written",
         [](TestPayload& p) {
             std::string stream = "\x20\xFE" + std::string(3 * kStreamChunk, 'a') + "\xFE";
             p.AddStored("late.bin", stream, 3 * kStreamChunk, kMethodCompressed);
         },
         "Erreur en d\u00e9compr\u00e9ssion code 71 : late.bin"},
        {"plain data shorter than its decoded size",
         [](TestPayload& p) { p.AddStored("short.txt", "ab", 5, kMethodPlain); },
         "Taille incorrecte : short.txt"},
        {"a method word above 3", [](TestPayload& p) { p.AddStored("new.bin", "abc", 3, 4); },
         "M\u00e9thode inconnue : new.bin"},
    };
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\sub").c_str(), nullptr);
    {
        SCOPED_TRACE("control");
        LogCapture log(kLogPayload);
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
        LogCapture log(kLogPayload);
        LogCapture all(kLogAll);
        EXPECT_EQ(0, Extract(payload));
        EXPECT_EQ((std::vector<std::string>{"first.txt", "sub"}), NamesIn(folder));
        EXPECT_FALSE(Exists(temp / "escape.txt"));
        EXPECT_EQ(std::vector<std::string>{row.text}, log.texts);
        // Channel 0 hears it too, after the run's steps.
        ASSERT_FALSE(all.texts.empty());
        EXPECT_EQ(row.text, all.texts.back());
        EXPECT_EQ(kFailureEntry, failure.kind);
    }
}

// The cleanup after a run: what was extracted goes, then the folder; a file that another
// program holds open stays, and so does the folder around it, each named on the run's channel.
TEST_F(ExtractPayloadTest, TheCleanupRemovesWhatWasExtractedAndLeavesWhatItCannot) {
    TestPayload payload = TestPayload::Of({{"a.txt", "a"}, {"b.txt", "b"}});
    {
        LogCapture run(kLogRun);
        TrustedFolder held;
        ASSERT_EQ(1, ExtractPayload(folderPath, sizeof folderPath, payload.View(), failure, &held));
        RemoveExtracted(held, folderPath, payload.View());
        EXPECT_FALSE(Exists(folder));
        ASSERT_FALSE(run.texts.empty());
        EXPECT_EQ("Dossier supprim\u00e9 : " + folder, run.texts.back());
    }
    LogCapture run(kLogRun);
    TrustedFolder held;
    ASSERT_EQ(1, ExtractPayload(folderPath, sizeof folderPath, payload.View(), failure, &held));
    HANDLE open = CreateFileA((folder + "\\b.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, open);
    RemoveExtracted(held, folderPath, payload.View());
    CloseHandle(open);
    EXPECT_EQ(std::vector<std::string>{"b.txt"}, NamesIn(folder));
    ASSERT_LE(2u, run.texts.size());
    EXPECT_EQ("Fichier non supprim\u00e9 : b.txt", run.texts[run.texts.size() - 2]);
    EXPECT_EQ("Dossier non supprim\u00e9 : " + folder, run.texts.back());
}

TEST_F(ExtractPayloadTest, AFolderThatCannotBeMadeGivesZero) {
    UseTemp(temp / "missing\\deeper");
    LogCapture log(kLogPayload);
    EXPECT_EQ(0, Extract(TestPayload::Of({{"a.txt", "a"}})));
    EXPECT_EQ(kFailureFolder, failure.kind);
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

    LogCapture log(kLogPayload);
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
    EXPECT_EQ(
        0, ExtractPayload(small, sizeof small, TestPayload::Of({{"b.txt", "b"}}).View(), failure));
    EXPECT_STREQ("", small);
    EXPECT_FALSE(Exists(folder));
}

// A fixed folder that someone else made, or that someone else may write into, is left as it
// is: the run goes on in a fresh folder beside it, under a name nobody can foresee. Elevated,
// the user's own unelevated processes count as someone else.
TEST_F(ExtractPayloadTest, OnlyAFolderNobodyElseControlsIsUsed) {
    const std::string me = CurrentUserSid();
    const std::string mine = "O:" + me + "D:(A;OICI;FA;;;" + me + ")";
    const std::string userWrites = "O:BAD:(A;OICI;FA;;;BA)(A;OICI;0x100006;;;" + me + ")";
    const std::string otherAdds = mine + "(A;OICI;0x100006;;;S-1-5-21-1-2-3-1001)";
    const std::string filesInheritWrite = mine + "(A;OICIIO;0x2;;;WD)";
    const struct {
        int elevated;
        std::string security;
        int fixed;            // the fixed folder is used
        int lastAceType = -1; // the last entry's type, when not the one written
    } rows[] = {
        {1, "O:S-1-5-21-1-2-3-1001D:(A;;FA;;;SY)", 0},
        {1, "O:SYD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;CI;0x100006;;;BU)(A;OICIIO;FA;;;CO)", 0},
        {1, "O:BAD:(A;;FA;;;SY)(A;;0x1200a9;;;WD)(A;OICIIO;FA;;;CO)(D;;FA;;;BU)", 1},
        {1, "O:SYD:(A;;FA;;;SY)", 1},
        {1, "O:BA", 0}, // no access list: everyone may do everything
        {1, mine, 0},   // the user owns it
        {1, userWrites, 0},
        {0, mine, 1},
        {0, "O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;WD)", 1},
        {0, "O:S-1-5-21-1-2-3-1001D:(A;;FA;;;WD)", 0},
        {0, otherAdds, 0},
        {0, filesInheritWrite, 0},
        {1, "O:BAD:(A;;FA;;;BA)(A;;0x2;;;WD)", 0, ACCESS_ALLOWED_CALLBACK_ACE_TYPE},
        {1, "O:BAD:(A;;FA;;;BA)(A;;0x2;;;WD)", 0, ACCESS_ALLOWED_OBJECT_ACE_TYPE},
        {1, "O:BAD:(A;;FA;;;BA)(A;;0x2;;;WD)", 1, ACCESS_DENIED_ACE_TYPE},
    };
    std::set<std::string> fresh;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.security);
        SetCurrentDirectoryA(temp.Path().c_str());
        RemoveTree(folder);
        CreateDirectoryA(folder.c_str(), nullptr);
        PutFile(folder + "\\planted.exe", "x");
        g_elevated = row.elevated;
        g_owner = row.security.c_str();
        g_lastAceType = row.lastAceType;
        EXPECT_EQ(1, Extract(TestPayload::Of({{"a.txt", "a"}})));
        EXPECT_EQ(kFailureNone, failure.kind);
        EXPECT_EQ(!row.fixed, Exists(folder + "\\planted.exe"));
        EXPECT_EQ(row.fixed != 0, Exists(folder + "\\a.txt"));
        EXPECT_EQ(folderPath, CurrentDirectory());
        EXPECT_EQ("a", FileBytes(std::string(folderPath) + "\\a.txt"));
        if (row.fixed) {
            EXPECT_EQ(folder, folderPath);
            continue;
        }
        const std::string name = folderPath;
        EXPECT_EQ(folder.size() + 17, name.size());
        EXPECT_EQ(0u, name.rfind(folder + "-", 0));
        EXPECT_EQ(std::string::npos, name.find_first_not_of("0123456789abcdef", folder.size() + 1));
        EXPECT_TRUE(fresh.insert(name).second) << "a new name each time";
        EXPECT_EQ(g_made.back().first, name) << "made by this run";
        SetCurrentDirectoryA(temp.Path().c_str());
        RemoveTree(name);
    }
}

// New folders inherit nothing from the temporary folder; elevated, Administrators own them and
// the user may only read.
TEST_F(ExtractPayloadTest, ANewFolderIsPrivate) {
    const std::string me = CurrentUserSid();
    for (int elevated : {1, 0}) {
        g_elevated = elevated;
        SetCurrentDirectoryA(temp.Path().c_str()); // the folder can go only once left
        RemoveTree(folder);
        ASSERT_EQ(1, Extract(TestPayload::Of({{"a.txt", "a"}})));
        EXPECT_EQ(folder, folderPath);
        EXPECT_EQ(elevated ? "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;" + me + ")"
                           : "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FA;;;" + me + ")",
                  g_createdWith);
    }
}

// Attributes belong to the file, not to the name: the cleaning deletes a second name of a file
// that lies elsewhere without changing that file, and stops at one it cannot delete so.
TEST_F(ExtractPayloadTest, ASecondNameOfAFileElsewhereNeverChangesThatFile) {
    const struct {
        DWORD attributes;
        int deleted;
    } rows[] = {{FILE_ATTRIBUTE_HIDDEN, 1}, {FILE_ATTRIBUTE_READONLY, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.attributes);
        SetCurrentDirectoryA(temp.Path().c_str());
        RemoveTree(folder);
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::string outside = temp / "outside.txt", link = folder + "\\lien.txt";
        SetFileAttributesA(outside.c_str(), FILE_ATTRIBUTE_NORMAL);
        PutFile(outside, "garde");
        ASSERT_TRUE(CreateHardLinkA(link.c_str(), outside.c_str(), nullptr));
        SetFileAttributesA(outside.c_str(), row.attributes);
        const DWORD before = GetFileAttributesA(outside.c_str());
        ASSERT_TRUE(before & row.attributes);
        EXPECT_EQ(row.deleted, Extract(TestPayload::Of({{"a.txt", "a"}})));
        EXPECT_EQ(row.deleted ? kFailureNone : kFailureLeftOver, failure.kind);
        EXPECT_EQ(!row.deleted, Exists(link));
        EXPECT_EQ(before, GetFileAttributesA(outside.c_str()));
        EXPECT_EQ("garde", FileBytes(outside));
    }
}

// The installation log appends, one line a report, and only to a file that is the one named and
// nobody else's: a run as SYSTEM may be told to write where other users can.
TEST_F(ExtractPayloadTest, TheLogAppendsOnlyToAFileOfItsOwn) {
    const std::string log = temp / "setup.log";
    const std::string line = "auto=1 log=" + log + " -s";
    PutFile(log, "avant\r\n");
    EXPECT_EQ(nullptr, OpenInstallLog("auto=1 -s"));
    {
        InstallLogOwner owner{OpenInstallLog(line.c_str())};
        ASSERT_NE(nullptr, owner.log);
        ReportToLog(kLogRun, "un\r\ndeux");
        ReportToLog(kLogPayload, "trois");
    }
    std::string text = FileBytes(log);
    ASSERT_EQ(7u + 20 + 10 + 20 + 7, text.size()) << text;
    EXPECT_EQ("avant\r\n", text.substr(0, 7)) << "appended, never truncated";
    EXPECT_EQ("un  deux\r\n", text.substr(27, 10));
    EXPECT_EQ("trois\r\n", text.substr(57));

    // Elevated, a file the user's unelevated processes own is refused, one of Administrators'
    // is written; not elevated, the installer writes only where its user may anyway.
    g_elevated = 1;
    EXPECT_EQ(nullptr, OpenInstallLog(line.c_str()));
    g_made.push_back({log, "O:BAD:(A;;FA;;;BA)"});
    {
        InstallLogOwner admins{OpenInstallLog(line.c_str())};
        EXPECT_NE(nullptr, admins.log);
    }
    g_elevated = 0;

    // A second name of another file is never written through, nor is a folder or a device.
    const std::string precious = temp / "precieux.txt";
    PutFile(precious, "garde");
    ASSERT_TRUE(CreateHardLinkA((temp / "lien.log").c_str(), precious.c_str(), nullptr));
    for (const std::string& path : {temp / "lien.log", temp.Path(), std::string("NUL")}) {
        EXPECT_EQ(nullptr, OpenInstallLog(("log=" + path).c_str())) << path;
    }
    EXPECT_EQ("garde", FileBytes(precious));
}

} // namespace
