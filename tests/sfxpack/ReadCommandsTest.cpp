// sfxpack list, verify, extract and decompress, run as a user runs them.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "archive/PayloadArchive.h"
#include "tools/pack/ArchiveWriter.h"
#include "tools/pe/ByteReader.h"
#include "tools/pack/PackFolder.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

struct Outcome {
    int exit;
    std::string out;
    std::string err;
};

Bytes B(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The worked example of the stream format: prefix-class only, decodes to "ABC".
const Bytes kAbcStream = {0x10, 0x11, 0x01, 0x03, 0x41, 0x42, 0x43, 0xB4};

// Three small entries with known stored forms, 383 bytes: "one.txt" (method 0, "first") at
// 272, "two.txt" (method 3, the ABC stream) at 308, "three.txt" (method 1, "xyz") at 347.
Bytes SmallArchive() {
    ArchiveWriter w;
    w.AddStored("one.txt", "", B("first"), 5, kMethodPlain);
    w.AddStored("two.txt", "", kAbcStream, 3, kMethodCompressedInverted);
    w.AddStored("three.txt", "", StoreData(B("xyz"), kMethodInverted), 3, kMethodInverted);
    return w.Bytes();
}
enum { kEntry0 = 272, kEntry1 = 308, kEntry2 = 347, kSmallSize = 383 };

void Reseal(Bytes* archive, size_t entry) {
    PutU32(&(*archive)[entry + 4], EntryCheckword(&(*archive)[entry], archive->size() - entry));
}

class SfxpackRead : public ::testing::Test {
  protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ =
            fs::absolute("scratch") / (std::string(info->test_suite_name()) + "." + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }

    fs::path Path(const std::string& name) const { return dir_ / name; }

    Outcome Sfxpack(const std::string& args) const {
        std::string out = Path("stdout.txt").string(), err = Path("stderr.txt").string();
        std::string command = std::string(SFXPACK_PATH) + " " + args + " >" + out + " 2>" + err;
        int status = system(command.c_str());
        Outcome run;
        run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadText(out);
        run.err = ReadText(err);
        return run;
    }

    // The folder a fresh extraction goes to.
    fs::path ExtractTo(const std::string& archive, Outcome* run) const {
        fs::path to = Path("out");
        fs::remove_all(to);
        fs::create_directories(to);
        *run = Sfxpack("extract " + archive + " -C " + to.string());
        return to;
    }

    std::vector<std::string> Files(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

TEST_F(SfxpackRead, UsageErrorsExitTwoWithOneLine) {
    const struct {
        const char* args;
        int exit;
    } rows[] = {
        {"", 2},
        {"--help", 0},
        {"frobnicate x", 2},
        {"list", 2},
        {"list a b", 2},
        {"list --frobnicate a", 2},
        {"list --help", 0},
        {"verify", 2},
        {"extract a.arc", 2},
        {"extract a.arc -C", 2},
        {"extract a.arc -C no-such-folder", 2},
        {"extract --help", 0},
        {"decompress a b", 2},
        {"decompress a b --size", 2},
        {"decompress a b --size -1", 2},
        {"decompress a b --size 12x", 2},
        {"decompress a b --size 99999999999", 2},
        {"decompress a --size 3", 2},
        {"decompress --help", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args);
        Outcome run = Sfxpack(row.args);
        EXPECT_EQ(run.exit, row.exit);
        if (row.exit == 2) {
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        } else {
            EXPECT_NE(run.out.find("usage: sfxpack"), std::string::npos);
        }
    }
}

TEST_F(SfxpackRead, ListShowsEveryEntryWithEscapedNames) {
    ArchiveWriter w;
    w.AddStored("one.txt", "", B("first"), 5, kMethodPlain);
    w.AddStored("two.txt", "", kAbcStream, 3, kMethodCompressedInverted);
    w.AddStored(std::string("caf\xE9\t\\.txt"), "", B("x"), 1, kMethodInverted);
    WriteBytes(Path("a.arc"), w.Bytes());
    Outcome run = Sfxpack("list " + Path("a.arc").string());
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(run.out, "0\t0\t5\t5\tone.txt\n"
                       "1\t3\t8\t3\ttwo.txt\n"
                       "2\t1\t1\t1\tcaf\xC3\xA9\\x09\\x5C.txt\n");
    // The summary goes to stderr, and -q keeps it back.
    EXPECT_EQ(run.err.rfind("sfxpack list: 3 entries, 9 bytes in ", 0), 0u) << run.err;
    run = Sfxpack("list -q " + Path("a.arc").string());
    EXPECT_EQ(run.err, "");
}

// Damaged archives: what each reading command makes of them.
TEST_F(SfxpackRead, DamagedArchivesTable) {
    const struct {
        const char* what;
        std::function<void(Bytes*)> damage;
        int listExit;
        int listed; // entries listed
        int verifyExit;
        int extractExit;
        const char* fault; // in verify's stderr
    } rows[] = {
        {"control", [](Bytes*) {}, 0, 3, 0, 0, ""},
        {"changed data byte in entry 1", [](Bytes* a) { (*a)[kEntry1 + 35] ^= 1; }, 1, 1, 1, 1,
         "entry 1 (the one after one.txt): checkword mismatch"},
        {"last bytes cut off", [](Bytes* a) { a->resize(kSmallSize - 2); }, 1, 2, 1, 1,
         "entry 2 (the one after two.txt): damaged entry header"},
        {"size word below 24",
         [](Bytes* a) {
             PutU32(&(*a)[kEntry1], 20);
             Reseal(a, kEntry1);
         },
         1, 1, 1, 1, "entry 1 (the one after one.txt): damaged entry header"},
        {"decoded size too small for the stream", [](Bytes* a) { PutU32(&(*a)[kEntry1 + 20], 2); },
         0, 3, 1, 1, "entry 1 two.txt: decoding error code 25"},
        {"method word 7",
         [](Bytes* a) {
             PutU32(&(*a)[kEntry2 + 8], 7);
             Reseal(a, kEntry2);
         },
         0, 3, 1, 1, "entry 2 three.txt: method word 7 delivers no data"},
        {"plain data shorter than its decoded size",
         [](Bytes* a) { PutU32(&(*a)[kEntry0 + 20], 9); }, 0, 3, 1, 1,
         "entry 0 one.txt: stores 5 bytes for a decoded size of 9"},
        {"first-entry offset past the end", [](Bytes* a) { PutU32(&(*a)[0], 5000); }, 1, 0, 1, 1,
         "not an archive or an installer"},
        {"archive of 3 bytes", [](Bytes* a) { a->resize(3); }, 1, 0, 1, 1,
         "not an archive or an installer"},
        {"MZ but not a PE file",
         [](Bytes* a) {
             a->assign(300, 0);
             (*a)[0] = 'M';
             (*a)[1] = 'Z';
         },
         1, 0, 1, 1, "a.arc: "},
        {"size word 0 ends the walk", [](Bytes* a) { PutU32(&(*a)[kEntry1], 0); }, 0, 1, 0, 0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Bytes archive = SmallArchive();
        row.damage(&archive);
        std::string file = Path("a.arc").string();
        WriteBytes(file, archive);

        Outcome list = Sfxpack("list " + file);
        EXPECT_EQ(list.exit, row.listExit) << list.err;
        EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), row.listed) << list.out;

        Outcome verify = Sfxpack("verify " + file);
        EXPECT_EQ(verify.exit, row.verifyExit);
        EXPECT_NE(verify.err.find(row.fault), std::string::npos) << verify.err;
        if (row.verifyExit == 0) {
            EXPECT_EQ(verify.err.rfind("sfxpack verify: all sound: ", 0), 0u) << verify.err;
            EXPECT_EQ(verify.out, "");
        }

        Outcome extract;
        ExtractTo(file, &extract);
        EXPECT_EQ(extract.exit, row.extractExit) << extract.err;
    }
}

// An entry whose data does not read as stored gets no file, never one of zeros; the others
// still do, and the exit code says the installer would fail.
TEST_F(SfxpackRead, ExtractWritesNoFileForAFailedEntry) {
    Bytes archive = SmallArchive();
    PutU32(&archive[kEntry1 + 20], 2); // the stream now fails with code 25
    PutU32(&archive[kEntry0 + 20], 7); // "first" is 5 bytes, not 7
    WriteBytes(Path("a.arc"), archive);
    Outcome run;
    fs::path out = ExtractTo(Path("a.arc").string(), &run);
    EXPECT_EQ(run.exit, 1);
    EXPECT_EQ(run.err, "sfxpack extract: entry 0 one.txt: stores 5 bytes for a decoded size of 7; "
                       "not written\n"
                       "sfxpack extract: entry 1 two.txt: decoding error code 25; not written\n");
    EXPECT_EQ(Files(out), std::vector<std::string>{"three.txt"});
    EXPECT_EQ(ReadText(out / "three.txt"), "xyz");

    // A checkword mismatch stops the extraction at that entry.
    archive = SmallArchive();
    archive[kEntry1 + 30] ^= 0x80;
    WriteBytes(Path("a.arc"), archive);
    out = ExtractTo(Path("a.arc").string(), &run);
    EXPECT_EQ(run.exit, 1);
    EXPECT_EQ(Files(out), std::vector<std::string>{"one.txt"});
}

// A declared decoded size far above the stored data is refused before anything is allocated.
TEST_F(SfxpackRead, DecodedSizeAboveTheLimitIsRefused) {
    ArchiveWriter w;
    w.AddStored("big.bin", "", B("tiny"), 0x7FFFFE00, kMethodPlain);
    w.AddStored("small.bin", "", B("tiny"), 4, kMethodPlain);
    WriteBytes(Path("a.arc"), w.Bytes());
    const std::string file = Path("a.arc").string();
    const std::string refused = "entry 0 big.bin: decoded size 2147483136 is above the limit of ";
    Outcome verify = Sfxpack("verify " + file);
    EXPECT_EQ(verify.exit, 1);
    EXPECT_NE(verify.err.find(refused + "268435456 bytes"), std::string::npos) << verify.err;
    Outcome run;
    fs::path out = ExtractTo(file + " --max-entry-size 3", &run);
    EXPECT_EQ(run.exit, 1);
    EXPECT_NE(run.err.find(refused + "3 bytes"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("entry 1 small.bin: decoded size 4 is above"), std::string::npos);
    EXPECT_TRUE(Files(out).empty());
    // The limit itself is allowed.
    out = ExtractTo(file + " --max-entry-size 4", &run);
    EXPECT_EQ(Files(out), std::vector<std::string>{"small.bin"});
    EXPECT_EQ(Sfxpack("verify " + file + " --max-entry-size x").exit, 2);
}

TEST_F(SfxpackRead, ExtractRefusesNamesAsTheInstallerDoes) {
    ArchiveWriter w;
    std::string longName = std::string(70, 'n') + ".txt";
    w.AddStored(longName, "", B("long"), 4, kMethodInverted);
    w.AddStored("Read.txt", "", B("first"), 5, kMethodPlain);
    w.AddStored("READ.TXT", "", B("second"), 6, kMethodPlain);
    w.AddStored("..", "", B("up"), 2, kMethodPlain);
    w.AddStored("sub\\x.txt", "", B("sub"), 3, kMethodPlain);
    w.AddStored("NUL.txt", "", B("device"), 6, kMethodPlain);
    WriteBytes(Path("a.arc"), w.Bytes());
    Outcome run;
    fs::path out = ExtractTo(Path("a.arc").string(), &run);
    EXPECT_EQ(run.exit, 1);
    // A later name equal but for letter case replaces the earlier file under its first
    // spelling; a name over 63 bytes would be cut into another, and others are not plain.
    EXPECT_EQ(Files(out), std::vector<std::string>{"Read.txt"});
    EXPECT_EQ(ReadText(out / "Read.txt"), "second");
    for (const std::string& refused :
         {"entry 0 " + longName, std::string("entry 3 .."), std::string("entry 4 sub\\x5Cx.txt"),
          std::string("entry 5 NUL.txt")})
        EXPECT_NE(run.err.find(refused + ": not a plain file name"), std::string::npos) << refused;
    EXPECT_FALSE(fs::exists(dir_ / "up"));
}

// A realistic payload: compressed entries with file times. The archive stays behind as
// sample.arc in the test's folder.
TEST_F(SfxpackRead, SampleArchiveRoundTrip) {
    const int64_t kTime = 1577934245; // 2020-01-02 03:04:05 UTC
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "Ligne " + std::to_string(i) + " du fichier d'exemple.\r\n";
    Bytes binary(3000);
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = uint8_t(i * i >> 3);
    const struct {
        const char* name;
        Bytes data;
        uint32_t method;
        bool timed;
    } entries[] = {
        {"lisezmoi.txt", B(text), kMethodCompressedInverted, true},
        {"donnees.bin", binary, kMethodCompressedInverted, true},
        {"vide.txt", Bytes(), kMethodCompressedInverted, true},
        {"setup.kvr", B("Install=Produit d'exemple\r\n"), kMethodCompressed, false},
        {"brut.txt", B("plain bytes"), kMethodPlain, true},
        {"inverse.txt", B("inverted bytes"), kMethodInverted, false},
    };
    ArchiveWriter w;
    for (const auto& e : entries)
        ASSERT_TRUE(w.Add(e.name, e.timed ? WriteTimeInfo(UnixToFileTime(kTime, 0)) : "", e.data,
                          e.method));
    WriteBytes("sample.arc", w.Bytes());

    Outcome list = Sfxpack("list sample.arc");
    EXPECT_EQ(list.exit, 0) << list.err;
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 6);
    Outcome verify = Sfxpack("verify sample.arc");
    EXPECT_EQ(verify.exit, 0) << verify.err;
    EXPECT_EQ(verify.out, "");
    EXPECT_EQ(verify.err.rfind("sfxpack verify: all sound: 6 entries, ", 0), 0u) << verify.err;

    Outcome run;
    fs::path out = ExtractTo("sample.arc", &run);
    EXPECT_EQ(run.exit, 0) << run.err;
    for (const auto& e : entries) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(ReadText(out / e.name), std::string(e.data.begin(), e.data.end()));
        struct stat st;
        ASSERT_EQ(stat((out / e.name).c_str(), &st), 0);
        if (e.timed)
            EXPECT_EQ(st.st_mtime, kTime);
        else
            EXPECT_GT(st.st_mtime, kTime);
    }
}

TEST_F(SfxpackRead, DecompressWritesOnlyWhatDecodes) {
    const struct {
        const char* what;
        Bytes stream;
        int size;
        int exit;
        const char* out; // nullptr: no file
        const char* err;
    } rows[] = {
        {"prefix-class stream", kAbcStream, 3, 0, "ABC", ""},
        {"back-references", {0x40, 0xFF, 0x61, 0xFF, 0x01, 0x03}, 4, 0, "aaaa", ""},
        {"runs and back-references", {0x60, 0xFE, 0xFF, 0x62, 0xFE, 0x02}, 3, 0, "bbb", ""},
        {"flags byte only", {0x00}, 0, 0, "", ""},
        {"more symbols than the size", kAbcStream, 2, 1, nullptr, "code 25"},
        {"reference before the start",
         {0x40, 0xFF, 0x61, 0xFF, 0x03, 0x01},
         4,
         1,
         nullptr,
         "code 61"},
        {"empty stream", {}, 4, 1, nullptr, "code"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::path in = Path("in.bin"), out = Path("out.bin");
        fs::remove(out);
        WriteBytes(in, row.stream);
        Outcome run = Sfxpack("decompress " + in.string() + " " + out.string() + " --size " +
                              std::to_string(row.size));
        EXPECT_EQ(run.exit, row.exit);
        EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
        if (row.out) {
            EXPECT_EQ(ReadText(out), row.out);
        } else {
            EXPECT_FALSE(fs::exists(out));
        }
        EXPECT_EQ(Files(dir_).size(), row.out ? 4u : 3u) << "no temporary file is left";
    }
}

} // namespace
