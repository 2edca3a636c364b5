// Packing a folder: entry order, times, names and limits.
#include "archive/PayloadArchive.h"
#include "support/FileTimeInfo.h"
#include "tools/pack/PackFolder.h"
#include "tools/pack/RegularFile.h"
#include "tests/pack/RandomBytes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh folder under the temporary directory, removed with its files afterwards.
class Folder {
  public:
    explicit Folder(const std::string& tag) {
        path_ = fs::temp_directory_path() / ("sfx_pack_test_" + tag);
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string Put(const std::string& name, const std::string& content) const {
        std::string file = (path_ / name).string();
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }
    std::string Path() const { return path_.string(); }

  private:
    fs::path path_;
};

struct Entry {
    std::string name, info;
    std::string data;
};

std::vector<Entry> ReadAll(const std::vector<uint8_t>& archive) {
    PayloadArchive view;
    view.start = archive.data();
    view.length = int32_t(archive.size());
    std::vector<Entry> entries;
    char name[64], info[128];
    for (int i = 0;; ++i) {
        int size = 0;
        if (!view.ReadEntry(i, name, sizeof name, nullptr, 0, nullptr, &size)) break;
        std::vector<unsigned char> block(size_t(size) + 10, 0);
        view.ReadEntry(i, name, sizeof name, info, sizeof info, block.data(), &size);
        entries.push_back({name, info, std::string(block.begin(), block.begin() + size)});
    }
    return entries;
}

bool Pack(const Folder& folder, std::vector<uint8_t>* archive, std::string* error,
          const std::string& order = "", uint32_t method = 3, bool skipSubfolders = false) {
    PackOptions options;
    options.method = method;
    options.skipSubfolders = skipSubfolders;
    options.orderFile = order;
    std::vector<std::string> warnings;
    bool ok = PackFolder(folder.Path(), options, archive, &warnings, error);
    EXPECT_TRUE(warnings.empty());
    return ok;
}

TEST(WriteTime, FileTimeAndInfoText) {
    EXPECT_EQ(UnixToFileTime(0, 0), 116444736000000000ull);
    EXPECT_EQ(UnixToFileTime(1, 999999999), 116444736000000000ull + 10000000 + 9999999);
    EXPECT_EQ(UnixToFileTime(-11644473601LL, 0), 0u); // before 1601
    // The low half above 2^31 is written unsigned; the reader takes it back whole.
    std::string info = WriteTimeInfo(0x01BA8140B2D05E00ull);
    EXPECT_EQ(info, "\r\nDWCL=3000000000\r\nDWCH=29000000");
    uint32_t low = 0, high = 0;
    ASSERT_EQ(InfoWriteTime(info.c_str(), int(info.size()), &low, &high), 1);
    EXPECT_EQ(low, 0xB2D05E00u);
    EXPECT_EQ(high, 0x01BA8140u);
    EXPECT_LT(WriteTimeInfo(~0ull).size(), 128u); // fits the installer's info buffer
}

TEST(WriteTime, NamesEqualForWindows) {
    EXPECT_TRUE(SameWindowsName("Readme.TXT", "README.txt"));
    EXPECT_TRUE(SameWindowsName("\xE9t\xE9", "\xC9T\xC9")); // accented letters fold too
    EXPECT_TRUE(SameWindowsName("\x9C\xFF", "\x8C\x9F"));   // oe, y diaeresis
    EXPECT_FALSE(SameWindowsName("\xF7", "\xD7"));          // division and multiplication signs
    EXPECT_FALSE(SameWindowsName("a", "ab"));
    EXPECT_FALSE(SameWindowsName("a_b", "a b"));
}

TEST(WriteTime, EntryNamesAreInCodePage1252) {
    std::string name, error;
    struct {
        const char* file;
        const char* entry; // nullptr: refused
    } rows[] = {
        {"setup.exe", "setup.exe"},
        {"G\xC3\xA9n\xC3\xA9ral.txt", "G\xE9n\xE9ral.txt"},   // UTF-8 converted
        {"\xE2\x82\xACuro \xC5\x93uvre", "\x80uro \x9Cuvre"}, // 1252's own 0x80-0x9F
        {"G\xE9n\xE9ral.txt", "G\xE9n\xE9ral.txt"},           // not UTF-8: already 1252
        {"\xC0\xAF", "\xC0\xAF"},                             // overlong: bytes as they are
        {"\xE6\x97\xA5.txt", nullptr},                        // not in 1252
        {"\xC2\x81.txt", nullptr},                            // a C1 control
        // Decomposed letters (macOS) compose first, when 1252 has the result.
        {"cafe\xCC\x81.txt", "caf\xE9.txt"},
        {"E\xCC\x80 c\xCC\xA7 n\xCC\x83 y\xCC\x88 Z\xCC\x8C", "\xC8 \xE7 \xF1 \xFF \x8E"},
        {"x\xCC\x81.txt", nullptr},     // no composed x with acute
        {"e\xCC\x81\xCC\x81", nullptr}, // the second mark stays alone
    };
    for (const auto& row : rows) {
        bool ok = EntryName(row.file, &name, &error);
        EXPECT_EQ(ok, row.entry != nullptr) << row.file << ": " << error;
        if (ok && row.entry) {
            EXPECT_EQ(name, row.entry);
        }
    }
    // The refusal names the character, and a name that is not plain says why.
    EXPECT_FALSE(EntryName("a\xE6\x97\xA5.txt", &name, &error));
    EXPECT_NE(error.find("the character \xE6\x97\xA5 (U+65E5)"), std::string::npos) << error;
    EXPECT_FALSE(EntryName("LPT1.log", &name, &error));
    EXPECT_NE(error.find("device name"), std::string::npos) << error;
    EXPECT_FALSE(EntryName("PROGRA~1.EXE", &name, &error));
    EXPECT_NE(error.find("short alias"), std::string::npos) << error;
    // The 63-byte limit counts the converted bytes.
    std::string e62(62, 'e');
    EXPECT_TRUE(EntryName(e62 + "\xC3\xA9", &name, &error));
    EXPECT_FALSE(EntryName(e62 + "\xC3\xA9\xC3\xA9", &name, &error));
}

TEST(PackFolder, EntriesInNameOrderWithTimesAndData) {
    Folder f("order");
    f.Put("b.txt", "second");
    f.Put("A.kvr", "Install=Produit\r\n");
    std::string exe = f.Put("AutoInst_x.exe", std::string(3000, 'x'));
    fs::create_directory(f.Path() + "/sub"); // left out, as asked
    struct utimbuf times = {1700000000, 1700000000};
    ASSERT_EQ(utime(exe.c_str(), &times), 0);
    std::vector<uint8_t> archive;
    std::string error;
    ASSERT_TRUE(Pack(f, &archive, &error, "", 3, true)) << error;
    std::vector<Entry> entries = ReadAll(archive);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "A.kvr");
    EXPECT_EQ(entries[1].name, "AutoInst_x.exe");
    EXPECT_EQ(entries[2].name, "b.txt");
    EXPECT_EQ(entries[0].data, "Install=Produit\r\n");
    EXPECT_EQ(entries[1].data, std::string(3000, 'x'));
    EXPECT_EQ(entries[1].info, WriteTimeInfo((1700000000ull + 11644473600ull) * 10000000));

    // The same files give the same bytes.
    std::vector<uint8_t> again;
    ASSERT_TRUE(Pack(f, &again, &error, "", 3, true));
    EXPECT_EQ(archive, again);
}

// Entries encoded on several threads land in the archive exactly as one thread writes them,
// whatever order the threads finish in: sizes vary so that they do.
TEST(PackFolder, AnyNumberOfThreadsGivesTheSameArchive) {
    Folder f("threads");
    for (int i = 0; i < 11; ++i) {
        std::vector<uint8_t> noise = RandomBytes(size_t(i % 4 == 0 ? 60000 : 97 * i), unsigned(i));
        std::string text(size_t(i) * 1000, char('a' + i));
        f.Put("file" + std::to_string(i), std::string(noise.begin(), noise.end()) + text);
    }
    f.Put("empty", "");
    std::vector<uint8_t> first;
    for (uint32_t jobs : {1u, 4u, 2u, 64u}) {
        SCOPED_TRACE(jobs);
        PackOptions options;
        options.jobs = jobs;
        std::vector<PackProgress> steps;
        options.progress = [&](const PackProgress& p) { steps.push_back(p); };
        std::vector<uint8_t> archive;
        std::vector<std::string> warnings;
        std::string error;
        ASSERT_TRUE(PackFolder(f.Path(), options, &archive, &warnings, &error)) << error;
        ASSERT_EQ(steps.size(), 13u);
        EXPECT_EQ(steps[0].bytesDone, 0u);
        for (size_t i = 0; i < steps.size(); ++i) {
            EXPECT_EQ(steps[i].filesDone, i);
            EXPECT_EQ(steps[i].fileCount, 12u);
            EXPECT_LE(steps[i].bytesDone, steps[i].bytesTotal);
        }
        EXPECT_EQ(steps.back().bytesDone, steps.back().bytesTotal);
        // Noise: 60000 bytes for files 0, 4 and 8, 97 * i for the others; text: 1000 * i.
        EXPECT_EQ(steps.back().bytesTotal, 3 * 60000u + 97u * 43 + 1000u * 55);
        if (first.empty()) first = archive;
        EXPECT_EQ(archive, first);
    }
    EXPECT_EQ(ReadAll(first).size(), 12u);
}

TEST(PackFolder, EveryMethodReadsBack) {
    Folder f("methods");
    f.Put("text.txt", std::string(20000, 'a') + "Install=x\r\n");
    f.Put("bytes.bin", std::string("\0\xFF\x01\xFE", 4));
    f.Put("empty", "");
    for (uint32_t method = 0; method < 4; ++method) {
        std::vector<uint8_t> archive;
        std::string error;
        ASSERT_TRUE(Pack(f, &archive, &error, "", method)) << error;
        std::vector<Entry> entries = ReadAll(archive);
        ASSERT_EQ(entries.size(), 3u) << method;
        EXPECT_EQ(entries[0].data, std::string("\0\xFF\x01\xFE", 4)) << method;
        EXPECT_EQ(entries[1].data, "") << method;
        EXPECT_EQ(entries[2].data, std::string(20000, 'a') + "Install=x\r\n") << method;
        EXPECT_EQ(archive[272 + 8], method);
    }
}

#ifndef _WIN32
TEST(PackFolder, KeepsTheTimeToA100NanosecondTick) {
    Folder f("nanos");
    std::string file = f.Put("a.bin", "a");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1234567890, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    std::vector<uint8_t> archive;
    std::string error;
    ASSERT_TRUE(Pack(f, &archive, &error));
    EXPECT_EQ(ReadAll(archive)[0].info, WriteTimeInfo(UnixToFileTime(1234567890, 123456789)));
}
#endif

TEST(PackFolder, OrderFileDecidesTheOrder) {
    Folder f("orderfile");
    f.Put("a", "1");
    f.Put("b", "2");
    f.Put("c", "3");
    Folder lists("orderlists");
    std::vector<uint8_t> archive;
    std::string error;
    ASSERT_TRUE(Pack(f, &archive, &error, lists.Put("good", "c\r\na\n\nb"))) << error;
    std::vector<Entry> entries = ReadAll(archive);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name + entries[1].name + entries[2].name, "cab");

    struct {
        const char* list;
        const char* why;
        const char* error;
    } bad[] = {
        {"a\nb\n", "a file left out", "missing from the order file"},
        {"a\nb\nc\nd\n", "a name that is no file", "not a file of the folder"},
        {"a\nb\nc\na\n", "a name twice", "twice"},
    };
    for (const auto& row : bad) {
        EXPECT_FALSE(Pack(f, &archive, &error, lists.Put("bad", row.list))) << row.why;
        EXPECT_NE(error.find(row.error), std::string::npos) << row.why << ": " << error;
    }
    EXPECT_FALSE(Pack(f, &archive, &error, lists.Path() + "/none"));
    EXPECT_NE(error.find("cannot read order file"), std::string::npos);
}

#ifndef _WIN32
TEST(PackFolder, Utf8NamesBecome1252AndMatchTheOrderFile) {
    Folder f("utf8");
    f.Put("G\xC3\xA9n\xC3\xA9ral.txt", "g");
    f.Put("a.txt", "a");
    Folder lists("utf8lists");
    std::vector<uint8_t> archive;
    std::string error;
    ASSERT_TRUE(Pack(f, &archive, &error, lists.Put("order", "G\xC3\xA9n\xC3\xA9ral.txt\na.txt\n")))
        << error;
    std::vector<Entry> entries = ReadAll(archive);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "G\xE9n\xE9ral.txt");
    EXPECT_EQ(entries[0].data, "g");
}
#endif

TEST(PackFolder, BadInputIsRefusedWithAReason) {
    struct Row {
        std::vector<std::string> files;
        const char* why;
        const char* error; // nullptr: the control, which packs
        bool hostOnly;     // names Windows itself cannot hold in one folder
    } rows[] = {
        {{std::string(63, 'n')}, "63-byte name", nullptr, false},
        {{std::string(64, 'n')}, "64-byte name", "longer than 63 bytes", false},
        {{}, "empty folder", "no files", false},
        {{"readme", "README"}, "names equal but for case", "names equal for Windows", true},
        {{"\xE9t\xE9", "\xC9T\xC9"}, "accented names equal but for case", "names equal", true},
        {{"CON"}, "device name", "not a plain file name", true},
        {{"nul.txt"}, "device name with extension", "not a plain file name", true},
        {{"a:b"}, "stream separator", "not a plain file name", true},
        {{"name."}, "trailing dot", "not a plain file name", true},
        {{"tab\tname"}, "control character", "not a plain file name", true},
    };
    for (const Row& row : rows) {
#ifdef _WIN32
        if (row.hostOnly) continue;
#endif
        Folder f("bad");
        for (const std::string& name : row.files)
            f.Put(name, "x");
        std::vector<uint8_t> archive;
        std::string error;
        bool ok = Pack(f, &archive, &error);
        if (!row.error) {
            EXPECT_TRUE(ok) << row.why << ": " << error;
            continue;
        }
        EXPECT_FALSE(ok) << row.why;
        EXPECT_NE(error.find(row.error), std::string::npos) << row.why << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << row.why;
    }
}

TEST(PackFolder, MissingFolderBadMethodAndOversizedFile) {
    std::vector<uint8_t> archive;
    std::string error;
    PackOptions options;
    std::vector<std::string> warnings;
    EXPECT_FALSE(PackFolder("/no/such/folder", options, &archive, &warnings, &error));
    EXPECT_NE(error.find("no folder"), std::string::npos) << error;

    Folder f("limits");
    f.Put("a", "x");
    EXPECT_FALSE(Pack(f, &archive, &error, "", 4));
    EXPECT_NE(error.find("method"), std::string::npos) << error;

    // Sparse: refused on its size before anything is read.
    std::string big = f.Put("big", "");
    fs::resize_file(big, kMaxEntryBytes + 1);
    EXPECT_FALSE(Pack(f, &archive, &error));
    EXPECT_NE(error.find("larger than an installer can hold"), std::string::npos) << error;
}

#ifndef _WIN32
// Links, subfolders and other kinds of file are refused, naming them, unless the options say
// otherwise; nothing in the folder is ever opened in a way that could block.
TEST(PackFolder, OnlyRegularFilesArePacked) {
    struct Row {
        const char* why;
        std::function<void(const Folder&)> add;
        bool follow, skip;
        const char* error; // nullptr: packs, with entries "a" and "b"
    } rows[] = {
        {"link to a file",
         [](const Folder& f) { fs::create_symlink(f.Put("x/b", "b"), f.Path() + "/b"); }, false,
         false, "b is a symbolic link"},
        {"link to a file, followed",
         [](const Folder& f) { fs::create_symlink(f.Put("x/b", "b"), f.Path() + "/b"); }, true,
         true, nullptr},
        {"link to a folder, followed",
         [](const Folder& f) { fs::create_directory_symlink(f.Path() + "/x", f.Path() + "/b"); },
         true, false, "are not packed: b, x"},
        {"dangling link, followed",
         [](const Folder& f) { fs::create_symlink(f.Path() + "/none", f.Path() + "/b"); }, true,
         false, "cannot read"},
        {"link to a device, followed",
         [](const Folder& f) { fs::create_symlink("/dev/null", f.Path() + "/b"); }, true, false,
         "b is not a regular file"},
        {"subfolders", [](const Folder& f) { fs::create_directory(f.Path() + "/docs"); }, false,
         false, "are not packed: docs, x"},
        {"subfolders, skipped",
         [](const Folder& f) {
             fs::create_directory(f.Path() + "/docs");
             f.Put("b", "b");
         },
         false, true, nullptr},
        {"FIFO", [](const Folder& f) { mkfifo((f.Path() + "/b").c_str(), 0600); }, false, true,
         "b is not a regular file"},
        {"socket",
         [](const Folder& f) {
             int s = socket(AF_UNIX, SOCK_STREAM, 0);
             struct sockaddr_un address = {};
             address.sun_family = AF_UNIX;
             snprintf(address.sun_path, sizeof address.sun_path, "%s/b", f.Path().c_str());
             bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
             close(s);
         },
         false, true, "b is not a regular file"},
    };
    for (const Row& row : rows) {
        Folder f("kinds");
        f.Put("a", "a");
        fs::create_directory(f.Path() + "/x");
        row.add(f);
        PackOptions options;
        options.followSymlinks = row.follow;
        options.skipSubfolders = row.skip;
        std::vector<uint8_t> archive;
        std::vector<std::string> warnings;
        std::string error;
        bool ok = PackFolder(f.Path(), options, &archive, &warnings, &error);
        if (!row.error) {
            ASSERT_TRUE(ok) << row.why << ": " << error;
            std::vector<Entry> entries = ReadAll(archive);
            ASSERT_EQ(entries.size(), 2u) << row.why;
            EXPECT_EQ(entries[1].name + entries[1].data, "bb") << row.why;
            continue;
        }
        EXPECT_FALSE(ok) << row.why;
        EXPECT_NE(error.find(row.error), std::string::npos) << row.why << ": " << error;
    }
}

// A file is checked after it is opened, so one swapped for a FIFO, a folder or a link after the
// folder was listed is refused at once instead of blocking or being followed.
TEST(ReadRegularFile, ChecksWhatItOpened) {
    Folder f("swap");
    std::string file = f.Put("file", "1234");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1234567890, 500}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    std::string fifo = f.Path() + "/fifo", link = f.Path() + "/link";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(file, link);
    struct Row {
        std::string path;
        bool follow;
        uint64_t maxBytes;
        const char* error; // nullptr: reads "1234"
    } rows[] = {
        {file, false, 4, nullptr},
        {link, true, 4, nullptr},
        {fifo, false, 4, "is not a regular file"},
        {fifo, true, 4, "is not a regular file"},
        {f.Path(), false, 4, "is not a regular file"},
        {link, false, 4, "is a symbolic link"},
        {file, false, 3, "larger than an installer can hold"},
        {f.Path() + "/none", false, 4, "cannot open"},
    };
    for (const Row& row : rows) {
        RegularFile read;
        std::string error;
        bool ok = ReadRegularFile(row.path, row.follow, row.maxBytes, &read, &error);
        if (!row.error) {
            ASSERT_TRUE(ok) << row.path << ": " << error;
            EXPECT_EQ(std::string(read.bytes.begin(), read.bytes.end()), "1234");
            EXPECT_EQ(read.fileTime, UnixToFileTime(1234567890, 500));
            continue;
        }
        EXPECT_FALSE(ok) << row.path;
        EXPECT_NE(error.find(row.error), std::string::npos) << row.path << ": " << error;
    }
}
#endif

} // namespace
