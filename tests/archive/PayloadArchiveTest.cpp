#include "archive/PayloadArchive.h"

#include "ArchiveBuilder.h"
#include "tests/support/LogCapture.h"
#include "archive/EntryData.h"

#include <gtest/gtest.h>
#include <functional>
#include <limits.h>
#include <string.h>

namespace {

const char kCheckwordText[] = "Checkword erreur";
const char kDamagedText[] = "Entr\u00e9e endommag\u00e9e";

PayloadArchive View(const Bytes& bytes) {
    PayloadArchive a;
    a.start = bytes.data();
    a.length = int32_t(bytes.size());
    return a;
}

std::string NameOf(const PayloadArchive& a, int index, int capacity = 64) {
    std::vector<char> name(capacity + 1, '#');
    if (!a.ReadEntry(index, name.data(), capacity, nullptr, 0, nullptr, nullptr)) return "<none>";
    return name.data();
}

// The data as the extraction reads it: decoded size first, then a block of decoded size + 10.
Bytes DataOf(const PayloadArchive& a, int index) {
    int size = 0;
    if (!a.ReadEntry(index, nullptr, 0, nullptr, 0, nullptr, &size)) return Hex("EE");
    Bytes block(size + 10, 0);
    int length = size;
    EXPECT_EQ(a.ReadEntry(index, nullptr, 0, nullptr, 0, block.data(), &length), 1);
    EXPECT_EQ(length, size);
    return Bytes(block.begin(), block.begin() + size);
}

Bytes Inverted(const Bytes& b) {
    Bytes out;
    for (unsigned char c : b)
        out.push_back(static_cast<unsigned char>(~c));
    return out;
}

TEST(ArchiveEntry, CheckwordOfAnEmptyEntry) {
    for (uint32_t method : {0u, 3u, 0x80000000u}) {
        Bytes e = MakeEntry(method, "", "", 0, {});
        EXPECT_EQ(ArchiveEntry(e.data()).ComputeCheckword(), ~(24u + method));
    }
}

TEST(ArchiveEntry, CheckwordCoversBodyAndHeaderWordsButNotDecodedSize) {
    Bytes e = MakeEntry(0, "name.txt", "\r\nDWCL=1", 40, Bytes(40, 0x5A));
    const uint32_t original = ArchiveEntry(e.data()).ComputeCheckword();
    EXPECT_EQ(original, Checkword(e, 0));
    for (size_t k = 24; k < e.size(); ++k) {
        Bytes changed = e;
        changed[k] ^= 0x01;
        EXPECT_NE(ArchiveEntry(changed.data()).ComputeCheckword(), original) << "byte " << k;
    }
    for (size_t word : {0u, 8u, 12u, 16u}) {
        Bytes changed = e;
        changed[word] ^= 0x10; // the size word goes down (80 to 64): no read past the entry
        EXPECT_NE(ArchiveEntry(changed.data()).ComputeCheckword(), original) << "word " << word;
    }
    Bytes changed = e;
    changed[20] ^= 0x01;
    EXPECT_EQ(ArchiveEntry(changed.data()).ComputeCheckword(), original);
}

TEST(ReadEntry, DeliversEveryMethod) {
    Bytes text = Hex("61 62 63");
    Bytes stream = Hex("10 11 01 03 41 42 43 B4");
    Bytes archive = MakeArchive({
        MakeEntry(0, "plain.txt", "i0", 3, text),
        MakeEntry(1, "inverted.txt", "i1", 3, Inverted(text)),
        MakeEntry(2, "packed.bin", "i2", 3, stream),
        MakeEntry(3, "packed.inv", "i3", 3, stream),
        MakeEntry(4, "refused", "i4", 3, text),
        MakeEntry(5, "refused.inv", "i5", 3, text),
    });
    PayloadArchive a = View(archive);
    const char* names[] = {"plain.txt",  "inverted.txt", "packed.bin",
                           "packed.inv", "refused",      "refused.inv"};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        char info[128];
        ASSERT_EQ(a.ReadEntry(i, nullptr, 0, info, sizeof info, nullptr, nullptr), 1);
        EXPECT_EQ(std::string(info), "i" + std::to_string(i));
        EXPECT_EQ(NameOf(a, i), names[i]);
    }
    EXPECT_EQ(DataOf(a, 0), text);
    EXPECT_EQ(DataOf(a, 1), text);
    EXPECT_EQ(DataOf(a, 2), Hex("41 42 43"));
    EXPECT_EQ(DataOf(a, 3), Hex("41 42 43"));
    EXPECT_EQ(DataOf(a, 4), Hex("00 00 00")); // refused: the block stays as it was
    EXPECT_EQ(NameOf(a, 6), "<none>");
}

TEST(ReadEntry, PlainCopiesAreBoundedByStoredLengthAndCapacity) {
    Bytes archive = MakeArchive({MakeEntry(1, "a", "", 3, Inverted(Hex("61 62 63"))),
                                 MakeEntry(0, "short", "", 5, Hex("71 72")),
                                 MakeEntry(0, "long", "", 3, Hex("61 62 63 64 65 66 67 68"))});
    PayloadArchive a = View(archive);
    Bytes buffer(8, 0xCC);
    int length = 4;
    ASSERT_EQ(a.ReadEntry(0, nullptr, 0, nullptr, 0, buffer.data(), &length), 1);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 5), Hex("61 62 63 00 CC"));
    buffer.assign(8, 0xCC);
    length = 3; // exactly the decoded size: no room for the zero byte, none written
    ASSERT_EQ(a.ReadEntry(0, nullptr, 0, nullptr, 0, buffer.data(), &length), 1);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4), Hex("61 62 63 CC"));
    buffer.assign(8, 0xCC);
    length = 5; // stored data shorter than the decoded size leaves the rest as it was
    ASSERT_EQ(a.ReadEntry(1, nullptr, 0, nullptr, 0, buffer.data(), &length), 1);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 5), Hex("71 72 00 CC CC"));
    buffer.assign(16, 0xCC);
    length = 3; // stored data longer than the capacity: the bytes after it are a guard
    ASSERT_EQ(a.ReadEntry(2, nullptr, 0, nullptr, 0, buffer.data(), &length), 1);
    Bytes expected(16, 0xCC);
    memcpy(expected.data(), "abc", 3);
    EXPECT_EQ(buffer, expected);
}

TEST(ReadEntry, CapacityBelowDecodedSizeWritesNothingButGivesTheSize) {
    Bytes archive = MakeArchive({MakeEntry(0, "a", "", 3, Hex("61 62 63"))});
    PayloadArchive a = View(archive);
    Bytes buffer(4, 0xCC);
    int length = 2;
    EXPECT_EQ(a.ReadEntry(0, nullptr, 0, nullptr, 0, buffer.data(), &length), 1);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(buffer, Bytes(4, 0xCC));
    // A data buffer without a dataLength is ignored.
    EXPECT_EQ(a.ReadEntry(0, nullptr, 0, nullptr, 0, buffer.data(), nullptr), 1);
    EXPECT_EQ(buffer, Bytes(4, 0xCC));
}

TEST(ReadEntry, NameAndInfoCapacities) {
    std::string longName(70, 'n');
    Bytes archive = MakeArchive({MakeEntry(3, longName, "info text", 0, Hex("00"))});
    PayloadArchive a = View(archive);
    EXPECT_EQ(NameOf(a, 0, 64), longName.substr(0, 63));
    EXPECT_EQ(NameOf(a, 0, 1), "");
    char info[5];
    memset(info, '#', sizeof info);
    ASSERT_EQ(a.ReadEntry(0, nullptr, 0, info, sizeof info, nullptr, nullptr), 1);
    EXPECT_STREQ(info, "info");
    char untouched = '#';
    ASSERT_EQ(a.ReadEntry(0, &untouched, 0, nullptr, 0, nullptr, nullptr), 1);
    EXPECT_EQ(untouched, '#'); // a capacity of 0 has no room even for the terminator
}

TEST(ReadEntry, WalkEndsQuietly) {
    LogCapture payload(69);
    Bytes first = MakeEntry(0, "a", "", 1, Hex("61"));
    Bytes second = MakeEntry(0, "b", "", 1, Hex("62"));
    Bytes archive = MakeArchive({first, second});
    PayloadArchive a = View(archive);
    EXPECT_EQ(NameOf(a, 1), "b"); // the last entry ends exactly at the end
    EXPECT_EQ(NameOf(a, 2), "<none>");
    EXPECT_EQ(NameOf(a, -1), "<none>");
    EXPECT_EQ(NameOf(a, INT_MIN), "<none>");

    Bytes withZero = MakeArchive({first, Bytes(4, 0), second});
    withZero.resize(withZero.size() + 24); // more bytes after the zero size word
    PayloadArchive z = View(withZero);
    EXPECT_EQ(NameOf(z, 0), "a");
    EXPECT_EQ(NameOf(z, 1), "<none>");
    EXPECT_EQ(NameOf(z, 2), "<none>");

    Bytes noEntries = MakeArchive({});
    EXPECT_EQ(NameOf(View(noEntries), 0), "<none>");
    // A last entry of only its 24-byte header still counts.
    Bytes endsEmpty = MakeArchive({first, MakeEntry(0, "", "", 0, {})});
    EXPECT_EQ(NameOf(View(endsEmpty), 1), "");
    EXPECT_EQ(NameOf(View(endsEmpty), 2), "<none>");
    EXPECT_TRUE(payload.texts.empty());

    Bytes lowOffset = MakeArchive({first}, 4);
    EXPECT_EQ(NameOf(View(lowOffset), 0), "a");
}

TEST(ReadEntry, WrongCheckwordIsReportedAndTouchesNothing) {
    Bytes archive =
        MakeArchive({MakeEntry(0, "a", "i", 1, Hex("61")), MakeEntry(0, "b", "i", 1, Hex("62"))});
    archive.back() ^= 0x01;
    PayloadArchive a = View(archive);
    LogCapture payload(69), all(0);
    char name[8] = "#######", info[8] = "#######";
    unsigned char data[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    int length = 8;
    EXPECT_EQ(a.ReadEntry(1, name, 8, info, 8, data, &length), 0);
    EXPECT_EQ(length, 8);
    EXPECT_STREQ(name, "#######");
    EXPECT_STREQ(info, "#######");
    EXPECT_EQ(data[0], 9);
    EXPECT_EQ(payload.texts, std::vector<std::string>{kCheckwordText});
    EXPECT_EQ(all.texts, payload.texts);
    EXPECT_EQ(NameOf(a, 0), "a"); // entries before it still read
}

TEST(ReadEntry, DecodingErrorStillReadsButLeavesTheBuffer) {
    Bytes bad = Hex("10 11 01 03 41 42 43 A8 00 00"); // code 21
    Bytes archive = MakeArchive({MakeEntry(3, "a", "", 3, bad)});
    PayloadArchive a = View(archive);
    LogCapture payload(69);
    Bytes buffer(13, 0);
    int length = 3;
    EXPECT_EQ(a.ReadEntry(0, nullptr, 0, nullptr, 0, buffer.data(), &length), 1);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(buffer, Bytes(13, 0));
    EXPECT_EQ(payload.texts, std::vector<std::string>{"Erreur en d\u00e9compr\u00e9ssion code 21"});
}

struct DamageRow {
    const char* what;
    std::function<void(Bytes&)> damage; // the archive's second entry starts at kSecond
};

TEST(ReadEntry, DamagedArchivesEndTheWalkWithAReport) {
    const Bytes first = MakeEntry(0, "a", "", 1, Hex("61"));
    const size_t kSecond = 272 + first.size();
    const Bytes valid =
        MakeArchive({first, MakeEntry(3, "b.bin", "info", 3, Hex("10 11 01 03 41 42 43 B4"))});
    auto word = [](Bytes& b, size_t at, uint32_t v) { PutWord(b, at, v); };
    // Rows that change covered words reseal the checkword: the damage must be caught anyway.
    const DamageRow rows[] = {
        {"size below 24", [&](Bytes& b) { word(b, kSecond, 20); }},
        {"negative size", [&](Bytes& b) { word(b, kSecond, uint32_t(-24)); }},
        {"size past the end",
         [&](Bytes& b) { word(b, kSecond, uint32_t(b.size() - kSecond + 1)); }},
        {"negative name length",
         [&](Bytes& b) {
             word(b, kSecond + 12, uint32_t(-1));
             Reseal(b, kSecond);
         }},
        {"negative info length",
         [&](Bytes& b) {
             word(b, kSecond + 16, uint32_t(-4));
             Reseal(b, kSecond);
         }},
        {"name and info longer than the entry",
         [&](Bytes& b) {
             word(b, kSecond + 16, 20);
             Reseal(b, kSecond);
         }},
        {"name and info one byte past the entry, info alone inside",
         [&](Bytes& b) {
             word(b, kSecond + 16, 13); // 17 bytes follow the header; the name takes 5
             Reseal(b, kSecond);
         }},
        {"name length near INT_MAX",
         [&](Bytes& b) {
             word(b, kSecond + 12, 0x7FFFFFF0);
             Reseal(b, kSecond);
         }},
        {"negative decoded size", [&](Bytes& b) { word(b, kSecond + 20, uint32_t(-1)); }},
        {"decoded size that wraps + 256", [&](Bytes& b) { word(b, kSecond + 20, 0x7FFFFF01); }},
        {"compressed entry without data",
         [&](Bytes& b) {
             b.resize(b.size() - 8);
             word(b, kSecond, 24 + 9);
             Reseal(b, kSecond);
         }},
    };
    {
        SCOPED_TRACE("control");
        PayloadArchive a = View(valid);
        EXPECT_EQ(NameOf(a, 1), "b.bin");
        EXPECT_EQ(DataOf(a, 1), Hex("41 42 43"));
    }
    for (const DamageRow& row : rows) {
        SCOPED_TRACE(row.what);
        Bytes archive = valid;
        row.damage(archive);
        PayloadArchive a = View(archive);
        LogCapture payload(69), all(0);
        int length = 77;
        EXPECT_EQ(a.ReadEntry(1, nullptr, 0, nullptr, 0, nullptr, &length), 0);
        EXPECT_EQ(length, 77);
        EXPECT_EQ(NameOf(a, 0), "a");
        EXPECT_EQ(NameOf(a, 2), "<none>"); // the walk ends at the damaged entry
        EXPECT_EQ(payload.texts, std::vector<std::string>(2, kDamagedText));
        EXPECT_EQ(all.texts, payload.texts);
        const unsigned char* at = nullptr;
        EXPECT_EQ(a.Locate(1, &at), kEntryDamaged);
    }
}

TEST(ReadEntry, DamagedArchiveHeaders) {
    const Bytes valid = MakeArchive({MakeEntry(0, "a", "", 1, Hex("61"))});
    LogCapture payload(69);
    for (size_t cut = 0; cut < 4; ++cut) {
        Bytes tiny(valid.begin(), valid.begin() + cut);
        EXPECT_EQ(View(tiny).ReadEntry(0, nullptr, 0, nullptr, 0, nullptr, nullptr), 0);
    }
    Bytes past = valid;
    PutWord(past, 0, uint32_t(valid.size() + 1));
    EXPECT_EQ(NameOf(View(past), 0), "<none>");
    for (uint32_t first : {0xFFFFFFF0u, 0x80000000u}) {
        Bytes negative = valid;
        PutWord(negative, 0, first);
        EXPECT_EQ(NameOf(View(negative), 0), "<none>") << first;
    }
    EXPECT_EQ(payload.texts, std::vector<std::string>(7, kDamagedText));
    // Any cut of a valid archive reads only what lies inside it: a cut inside the entry's
    // header ends the walk, a later one leaves an entry that runs past the end.
    for (size_t cut = 4; cut < valid.size(); ++cut) {
        SCOPED_TRACE(cut);
        Bytes truncated(valid.begin(), valid.begin() + cut);
        EXPECT_EQ(NameOf(View(truncated), 0), "<none>");
        const unsigned char* at = nullptr;
        bool inHeader = cut >= 272 && cut < 272 + kEntryHeaderSize;
        EXPECT_EQ(View(truncated).Locate(0, &at), inHeader ? kEntryEnd : kEntryDamaged);
    }
}

} // namespace

namespace {

TEST(EntryCursor, WalksOnceAndEndsWhereReadEntryEnds) {
    Bytes archive =
        MakeArchive({MakeEntry(0, "a", "", 1, Hex("61")), MakeEntry(0, "b", "", 1, Hex("62")),
                     MakeEntry(0, "c", "", 1, Hex("63"))});
    const size_t kSecond = 272 + 25;
    archive[kSecond + 25] ^= 0x01; // entry 1's data: its checkword no longer matches
    PayloadArchive a = View(archive);
    EntryCursor cursor = a.Entries();
    ASSERT_EQ(cursor.Next(), kEntryFound);
    EXPECT_EQ(cursor.Index(), 0);
    EXPECT_EQ(cursor.Entry().Name().bytes[0], 'a');
    EXPECT_EQ(cursor.Next(), kEntryBadCheckword);
    EXPECT_EQ(cursor.Index(), 1);
    EXPECT_EQ(cursor.Next(), kEntryBadCheckword); // the walk stays ended
    EXPECT_EQ(cursor.Result().status, kReadBadCheckword);
    // Stepping over an entry does not read its checkword, as the walk to an index never did.
    EntryCursor skipping = a.Entries();
    EXPECT_EQ(skipping.Skip(), kEntryFound);
    EXPECT_EQ(skipping.Skip(), kEntryFound);
    EXPECT_EQ(skipping.Next(), kEntryFound);
    EXPECT_EQ(skipping.Entry().Name().bytes[0], 'c');
    EXPECT_EQ(skipping.Next(), kEntryEnd);
    EXPECT_EQ(skipping.Result().status, kReadSound);
    EXPECT_EQ(NameOf(a, 2), "c");
    // A header that leads nowhere ends the walk at entry 0.
    EntryCursor nowhere(archive.data(), 3);
    EXPECT_EQ(nowhere.Next(), kEntryDamaged);
    EXPECT_EQ(nowhere.Index(), 0);
}

// All three stages, each near its most: the prefix-class codes of one back-reference token take
// 6 bits, each token repeats 255 bytes of runs, each run gives 255 bytes. Decodes to 41 42 43,
// then 4 + 255 * (1 + 255 * tokens / 2) zeros in all (tokens even).
Bytes DeepStream(int tokens) {
    Bytes stream = Hex("70 FE FD 00 00 08 FD 02 FF 41 42 43 00 FE");
    int bits = 0;
    auto put = [&](unsigned code, int length) {
        for (int k = length - 1; k >= 0; --k, ++bits) {
            if (bits % 8 == 0) stream.push_back(0);
            stream.back() |= ((code >> k) & 1) << (7 - bits % 8);
        }
    };
    for (unsigned place = 0; place < 5; ++place) // the literals 41 42 43 00 FE
        put(0x100 | place, 12);
    put(1, 3); // FF: R FF is a run of 255
    for (int k = 0; k < tokens; ++k)
        put(0x29, 6); // FD 02 FF: repeat R FF 255 bytes long
    return stream;
}

// Every way an entry's data can fail, told apart, with a sound control for each method.
TEST(ArchiveEntry, DecodeDataTellsTheFaultsApart) {
    const Bytes abc = Hex("10 11 01 03 41 42 43 B4");
    const Bytes deep = DeepStream(20);
    const struct {
        const char* what;
        Bytes entry;
        ReadStatus status;
        int code;
    } rows[] = {
        {"plain, sound", MakeEntry(0, "a", "", 3, Hex("61 62 63")), kReadSound, 0},
        {"inverted, sound", MakeEntry(1, "a", "", 3, Inverted(Hex("61 62 63"))), kReadSound, 0},
        {"compressed, sound", MakeEntry(3, "a", "", 3, abc), kReadSound, 0},
        {"plain, shorter than its size", MakeEntry(0, "a", "", 5, Hex("61 62")), kReadSizeMismatch,
         2},
        {"inverted, longer than its size", MakeEntry(1, "a", "", 1, Hex("9E 9D")),
         kReadSizeMismatch, 2},
        {"compressed, decodes short", MakeEntry(2, "a", "", 4, abc), kReadSizeMismatch, 3},
        {"compressed, decoding error", MakeEntry(2, "a", "", 2, abc), kReadDecodeError, 25},
        {"method word 4", MakeEntry(4, "a", "", 3, Hex("61 62 63")), kReadNoData, 0},
        {"compressed, a size no 8-byte stream reaches", MakeEntry(2, "a", "", 8 * 87040 + 1, abc),
         kReadSizeMismatch, -1},
        {"compressed, beyond what back-references and runs alone reach",
         MakeEntry(2, "a", "", 4 + 255 * (1 + 255 * 10), deep), kReadSound, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        LogCapture payload(69);
        ArchiveEntry entry(row.entry.data());
        EntryData data(entry);
        EXPECT_EQ(data.result.status, row.status);
        EXPECT_EQ(data.result.code, row.code);
        if (row.status == kReadSound) {
            const Bytes expected = row.entry[8] < 2 ? Hex("61 62 63 00") : Hex("41 42 43 00");
            EXPECT_EQ(Bytes(data.Bytes(), data.Bytes() + 4), expected);
        }
        EXPECT_TRUE(payload.texts.empty()); // the caller reports, naming the entry
    }
    // The limit is checked before any memory is taken.
    Bytes huge = MakeEntry(0, "a", "", 0x7FFFFE00, Hex("61"));
    EntryData refused(ArchiveEntry(huge.data()), 1000);
    EXPECT_EQ(refused.result.status, kReadTooLarge);
    EXPECT_EQ(refused.Bytes(), nullptr);
}

} // namespace
