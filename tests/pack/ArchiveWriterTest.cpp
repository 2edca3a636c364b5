// The archive writer against the installer's own reader.
#include "archive/PayloadArchive.h"
#include "tests/pack/RandomBytes.h"
#include "tools/pe/ByteReader.h"
#include "tools/pack/ArchiveWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ReadBack {
    int result = 0;
    std::string name, info;
    std::vector<uint8_t> data;
};

// Reads an entry the way the extraction does: the size first, then everything into a block of
// decoded size + 10.
ReadBack Read(const std::vector<uint8_t>& archive, int index) {
    PayloadArchive view;
    view.start = archive.data();
    view.length = int32_t(archive.size());
    ReadBack r;
    char name[64], info[128];
    int size = 0;
    r.result = view.ReadEntry(index, name, sizeof name, nullptr, 0, nullptr, &size);
    if (!r.result) return r;
    std::vector<uint8_t> block(size_t(size) + 10, 0);
    r.result = view.ReadEntry(index, name, sizeof name, info, sizeof info, block.data(), &size);
    r.name = name;
    r.info = info;
    r.data.assign(block.begin(), block.begin() + size);
    return r;
}

// Writes the right checkword into an entry the test has changed.
void SealEntry(std::vector<uint8_t>* entry) {
    PutU32(&(*entry)[kCheckWord], EntryCheckword(entry->data(), uint32_t(entry->size())));
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

uint32_t Word(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24;
}

TEST(ArchiveWriter, HeaderHoldsFirstEntryOffsetAndZeros) {
    ArchiveWriter w;
    ASSERT_TRUE(w.Add("a", "", Bytes("x"), kMethodCompressedInverted));
    const std::vector<uint8_t>& b = w.Bytes();
    EXPECT_EQ(Word(b, 0), 272u);
    for (size_t i = 4; i < 272; ++i)
        ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(Word(b, 272), b.size() - 272); // the only entry ends the archive
}

class EveryMethod : public ::testing::TestWithParam<uint32_t> {};

TEST_P(EveryMethod, EntriesReadBackThroughTheInstallersReader) {
    std::string repeated;
    for (int i = 0; i < 300; ++i)
        repeated += "Install=Mon logiciel\r\nVersion=2\r\n";
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
        {"setup.kvr", Bytes(repeated)},
        {"AutoInst_\xE9t\xE9.exe", RandomBytes(70000, 7)},
        {"empty.txt", {}},
        {std::string(63, 'n'), std::vector<uint8_t>(5000, 0xAA)},
    };
    ArchiveWriter w;
    for (size_t i = 0; i < files.size(); ++i)
        ASSERT_TRUE(
            w.Add(files[i].first, "\r\nDWCL=" + std::to_string(i), files[i].second, GetParam()));
    for (size_t i = 0; i < files.size(); ++i) {
        ReadBack r = Read(w.Bytes(), int(i));
        ASSERT_EQ(r.result, 1) << i;
        EXPECT_EQ(r.name, files[i].first);
        EXPECT_EQ(r.info, "\r\nDWCL=" + std::to_string(i));
        EXPECT_TRUE(r.data == files[i].second) << files[i].first;
    }
    EXPECT_EQ(Read(w.Bytes(), int(files.size())).result, 0);
}

INSTANTIATE_TEST_SUITE_P(Methods, EveryMethod, ::testing::Values(0u, 1u, 2u, 3u));

TEST(ArchiveWriter, StoredFormsFollowTheMethodWord) {
    const std::vector<uint8_t> data = Bytes("abc");
    for (uint32_t method = 0; method < 4; ++method) {
        std::vector<uint8_t> stored = StoreData(data, method);
        std::vector<uint8_t> entry = EncodeEntry("N", "I", stored, 3, method);
        bool inverted = method & 1;
        EXPECT_EQ(entry[24], inverted ? uint8_t(~'N') : 'N') << method;
        EXPECT_EQ(entry[25], inverted ? uint8_t(~'I') : 'I') << method;
        if (method == 0) {
            EXPECT_EQ(stored, data);
        } else if (method == 1) {
            EXPECT_EQ(stored, (std::vector<uint8_t>{0x9E, 0x9D, 0x9C}));
        } else {
            EXPECT_LE(stored.size(), data.size() + 1); // never worse than a copy
        }
    }
}

TEST(ArchiveWriter, CompressesRepetitiveData) {
    std::vector<uint8_t> data(100000, 'z');
    EXPECT_LT(StoreData(data, kMethodCompressedInverted).size(), 2000u);
}

TEST(ArchiveWriter, Checkwords) {
    // An empty entry: NOT(24 + method).
    for (uint32_t m = 0; m < 6; ++m) {
        std::vector<uint8_t> e = EncodeEntry("", "", {}, 0, m);
        ASSERT_EQ(e.size(), 24u);
        EXPECT_EQ(Word(e, 4), ~(24u + m));
    }
    // Weights 1..16 then 1 again; the decoded size word is not covered.
    std::vector<uint8_t> e = EncodeEntry("", "", std::vector<uint8_t>(17, 1), 12345, 0);
    EXPECT_EQ(Word(e, 4), ~(41u + 137u));
    e = EncodeEntry("A", "BC", {}, 0, 0);
    EXPECT_EQ(Word(e, 4), ~(27u + 1 + 2 + 0x41 + 2 * 0x42 + 3 * 0x43));
}

TEST(ArchiveWriter, DamagedEntriesAreRefusedAndSealedOnesRead) {
    std::vector<uint8_t> entry = EncodeEntry("a.txt", "", Bytes("hello"), 5, 0);
    for (size_t at : {size_t(0) + 8, entry.size() - 1}) {
        std::vector<uint8_t> bad = entry;
        bad[at] ^= 1; // method word 1 instead of 0, or one data byte
        ArchiveWriter w;
        w.AddRaw(bad);
        EXPECT_EQ(Read(w.Bytes(), 0).result, 0) << at;
        SealEntry(&bad);
        ArchiveWriter sealed;
        sealed.AddRaw(bad);
        EXPECT_EQ(Read(sealed.Bytes(), 0).result, 1) << at;
    }
}

TEST(ArchiveWriter, RefusesMethodsAboveThreeButStoresThemRaw) {
    ArchiveWriter w;
    EXPECT_FALSE(w.Add("x", "", Bytes("x"), 4));
    EXPECT_EQ(w.Bytes().size(), 272u);
    // A hand-made entry with method 4: the reader finds it but delivers no data.
    ASSERT_TRUE(w.AddStored("x", "", Bytes("x"), 1, 4));
    ReadBack r = Read(w.Bytes(), 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.data, std::vector<uint8_t>(1, 0));
}

} // namespace
