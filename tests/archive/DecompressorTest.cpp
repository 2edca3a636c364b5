#include "archive/Decompressor.h"

#include "ArchiveBuilder.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <random>

namespace {

const unsigned char kCanary = 0xCC;
const int kGuard = 16;

// What the streaming decoding hands on.
struct Collected : DecodeSink {
    int Take(const unsigned char* bytes, int length) override {
        this->bytes.insert(this->bytes.end(), bytes, bytes + length);
        return 1;
    }
    Bytes bytes;
};

struct Outcome {
    int ok;
    int code;
    Bytes out; // what was written (the destination is checked untouched on error)
};

// Runs DecompressDetailed into a destination of exactly decodedSize bytes followed by a guard.
// Sizes beyond a megabyte are only used by rows that must fail before writing.
Outcome Decode(const Bytes& stream, int decodedSize) {
    const int kLargest = 1 << 20;
    int room = decodedSize < 0 ? 0 : decodedSize > kLargest ? kLargest : decodedSize;
    Bytes destination(room + kGuard, kCanary);
    int written = -1, code = -1;
    int ok = DecompressDetailed(stream.data(), int(stream.size()), destination.data(), decodedSize,
                                &written, &code);
    for (int k = written > 0 ? written : 0; k < room + kGuard; ++k)
        EXPECT_EQ(destination[k], kCanary) << "byte " << k << " written past the output";
    if (!ok) {
        EXPECT_EQ(written, 0);
    }
    Bytes out(destination.begin(), destination.begin() + (written > 0 ? written : 0));
    // The streaming decoding, through its smallest windows, agrees: every row here breaks at
    // most one check, so even the code is the same.
    Collected streamed;
    int64_t count = -1;
    int streamCode = -1;
    EXPECT_EQ(DecompressStream(stream.data(), int(stream.size()), decodedSize, streamed, &count,
                               &streamCode, kMinStreamChunk),
              ok);
    EXPECT_EQ(streamCode, code);
    if (ok) {
        EXPECT_EQ(streamed.bytes, out);
    }
    return {ok, code, out};
}

struct GoodRow {
    const char* what;
    Bytes stream;
    int decodedSize;
    Bytes expected;
};

TEST(Decompress, ValidStreamsDecodeExactly) {
    Bytes threeStageInput = Hex("61 62 63 FF 03 06 58 FE 07");
    const GoodRow rows[] = {
        {"worked example: prefix-class only", Hex("10 11 01 03 41 42 43 B4"), 3, Hex("41 42 43")},
        {"worked example: back-references", Hex("40 FF 61 FF 01 03"), 4, Hex("61 61 61 61")},
        {"worked example: runs", Hex("20 FE 62 FE 02"), 3, Hex("62 62 62")},
        {"flags 0 copies the rest", Hex("00 01 02 03"), 3, Hex("01 02 03")},
        {"bits outside the stage flags are ignored", Hex("8F 01 02"), 2, Hex("01 02")},
        {"flags 0x60: R comes before E", Hex("60 FE FF 62 FF 01 02 FE 02"), 5,
         Hex("62 62 62 62 62")},
        {"E E is one literal E", Hex("40 FF FF FF"), 1, Hex("FF")},
        {"R R is one literal R", Hex("20 FE FE FE"), 1, Hex("FE")},
        {"E 1 k after one byte repeats it", Hex("40 FF 78 FF 01 04"), 5, Hex("78 78 78 78 78")},
        {"a short distance repeats a pattern", Hex("40 FF 61 62 FF 02 05"), 7,
         Hex("61 62 61 62 61 62 61")},
        {"a count of 0 copies nothing", Hex("40 FF 61 FF 01 00 62"), 2, Hex("61 62")},
        {"distance 0 appends zeros", Hex("40 FF 61 FF 00 03 62"), 5, Hex("61 00 00 00 62")},
        {"R 0 adds nothing", Hex("20 FE 61 FE 00 62"), 2, Hex("61 62")},
        {"a run before any literal repeats 0", Hex("20 FE FE 03 61"), 4, Hex("00 00 00 61")},
        {"all three stages in order",
         Stream(0x70, 0xFE, 0xFF, IdentityPrefixBlock(threeStageInput)), 17,
         Hex("61 62 63 61 62 63 61 62 63 58 58 58 58 58 58 58 58")},
        {"four zeros across the last two bytes end quietly", Hex("10 11 01 03 41 42 43 A8 00"), 3,
         Hex("41 41 41")},
        {"an index ending on the last bit is delivered", Hex("10 11 01 03 41 42 43 AA"), 4,
         Hex("41 41 41 41")},
        {"a selector whose 1 is the last bit yields nothing", Hex("10 00 00 03 41 42 43 FF"), 7,
         Hex("41 41 41 41 41 41 41")},
        {"one to three fill bits: the selector runs off", Hex("10 11 01 03 41 42 43 B4"), 3,
         Hex("41 42 43")},
        {"symbol count 0 means 256 (identity code)",
         Stream(0x10, 0, 0, IdentityPrefixBlock(Hex("00 7F FF"))), 3, Hex("00 7F FF")},
        {"places past the symbol count hold 0", Hex("10 11 01 01 41 C0"), 1, Hex("00")},
        {"an empty bit stream gives no symbols", Hex("10 11 01 03 41 42 43"), 0, Bytes()},
        {"a flags byte alone gives nothing", Hex("00"), 0, Bytes()},
    };
    for (const GoodRow& row : rows) {
        SCOPED_TRACE(row.what);
        Outcome o = Decode(row.stream, row.decodedSize);
        EXPECT_EQ(o.ok, 1);
        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.out, row.expected);
    }
}

struct BadRow {
    const char* what;
    std::string stream;
    int decodedSize;
    int code;
};

// Each malformed stream follows the valid control it was made from.
TEST(Decompress, MalformedStreamsGiveTheirCode) {
    const BadRow rows[] = {
        {"control", "10 11 01 03 41 42 43 B4", 3, 0},
        {"more symbols than the decoded size", "10 11 01 03 41 42 43 B4", 2, kErrTooManySymbols},
        {"empty stream", "", 0, kErrShortStream},
        {"runs flag without R", "20", 0, kErrShortStream},
        {"both escapes, E missing", "60 FE", 0, kErrShortStream},
        {"negative decoded size", "00", -1, kErrDecodedSize},
        {"decoded size that wraps the block size", "00", INT_MAX - 255, kErrDecodedSize},
        {"prefix header of two bytes", "10 11 01", 0, kErrShortHeader},
        {"symbol table cut short", "10 11 01 03 41 42", 0, kErrShortHeader},
        {"class 0 width 9", "10 91 01 03 41 42 43 B4", 3, kErrClassWidth},
        {"class 1 width 9", "10 19 01 03 41 42 43 B4", 3, kErrClassWidth},
        {"class 2 width 9", "10 11 09 03 41 42 43 B4", 3, kErrClassWidth},
        {"control", "10 80 00 01 41 80 00", 1, 0},
        {"index bits past the end", "10 80 00 01 41 80", 1, kErrIndexPastEnd},
        {"control", "10 88 00 01 41 80 00", 1, 0},
        {"place 256", "10 88 00 01 41 40 00", 1, kErrPlace},
        {"control", "10 11 01 03 41 42 43 A8 00", 3, 0},
        {"four zeros before the last byte", "10 11 01 03 41 42 43 A8 00 00", 3, kErrFourZeros},
        {"control", "40 FF 61 FF 01 03", 4, 0},
        {"E as the last byte", "40 FF 61 FF", 4, kErrRefTruncated},
        {"E as the last but one byte", "40 FF 61 FF 01", 4, kErrRefTruncated},
        {"a block's worth of literals, then E as the last but one byte",
         "40 FF " + std::string(2 * 62, '6') + " FF 01", 100, kErrRefTruncated},
        {"control", "40 FF 61 62 FF 02 01", 3, 0},
        {"distance past the output", "40 FF 61 62 FF 03 01", 3, kErrDistance},
        {"references fill their block exactly", "40 FF 61 FF 01 FF", 0, kErrCopyOverflow},
        {"references outgrow their block", "40 FF 61 FF 01 FF FF 01 05", 0, kErrRefOverflow},
        {"control", "20 FE 62 FE 02", 3, 0},
        {"R as the last byte", "20 FE 62 FE", 3, kErrRunTruncated},
        {"run outgrows the destination", "20 FE 62 FE 05", 3, kErrRunOverflow},
        {"run outgrows the destination by one byte", "20 FE 62 FE 03", 3, kErrRunOverflow},
        {"literal outgrows the destination", "20 FE 62 63", 1, kErrRunOverflow},
        {"R R outgrows the destination", "20 FE 62 FE FE", 1, kErrRunOverflow},
        {"control", "00 41 42", 2, 0},
        {"copy longer than the decoded size", "00 41 42", 1, kErrCopyOverflow},
    };
    for (const BadRow& row : rows) {
        SCOPED_TRACE(std::string(row.what) + ": " + row.stream);
        Outcome o = Decode(Hex(row.stream.c_str()), row.decodedSize);
        EXPECT_EQ(o.code, row.code);
        EXPECT_EQ(o.ok, row.code == 0);
    }
}

TEST(Decompress, BackReferenceLiteralsCannotOutgrowTheirBlock) {
    Bytes stream = Hex("40 FF");
    stream.resize(2 + 257, 0x61); // more literals than decoded size 0 + 256
    EXPECT_EQ(Decode(stream, 0).code, kErrRefOverflow);
    stream.resize(2 + 256);
    EXPECT_EQ(Decode(stream, 0).code, kErrCopyOverflow); // fits B, not the destination
    EXPECT_EQ(Decode(stream, 256).ok, 1);
}

TEST(Decompress, ReportsNothingItself) {
    // The entry reader reports the code, once (PayloadArchive's tests).
    LogCapture all(0);
    Bytes stream = Hex("10 11 01 03 41 42 43 B4");
    unsigned char out[8] = {};
    EXPECT_EQ(Decompress(stream.data(), int(stream.size()), out, 3), 3);
    EXPECT_EQ(Decompress(stream.data(), int(stream.size()), out, 2), 0);
    EXPECT_TRUE(all.texts.empty());
}

TEST(Decompress, WidthMask) {
    EXPECT_EQ(WidthMask(0), 0x00);
    EXPECT_EQ(WidthMask(3), 0x07);
    EXPECT_EQ(WidthMask(8), 0xFF);
}

// The table-driven decoder against the symbol-by-symbol one on random blocks: same symbols,
// same count, same error.
struct PrefixResult {
    int count;
    int code;
    Bytes out;
    bool operator==(const PrefixResult& o) const {
        return count == o.count && code == o.code && out == o.out;
    }
};

PrefixResult DecodePrefix(const Bytes& block, int capacity, bool bySymbol) {
    PrefixClassDecoder decoder;
    Bytes out(capacity + 1, 0), scratch(capacity + kStageSlack);
    PrefixResult r{0, 0, {}};
    try {
        decoder.LoadTable(block.data(), int(block.size()));
        r.count =
            bySymbol ? decoder.DecodeAllBySymbol(out.data(), capacity)
                     : decoder.DecodeAll(out.data(), capacity, scratch.data(), int(scratch.size()));
    } catch (CtCompressExcept& e) {
        r.code = e.code;
    }
    r.out.assign(out.begin(), out.begin() + r.count);
    return r;
}

// Appends random valid codes for the block's header to about streamBytes bytes, then zero fill.
void AppendValidCodes(Bytes& block, int streamBytes, std::mt19937& rng) {
    int widths[4] = {block[0] >> 4, block[0] & 0x0F, block[1], 8};
    int bases[4] = {0};
    for (int c = 1; c < 4; ++c)
        bases[c] = bases[c - 1] + (1 << widths[c - 1]);
    uint64_t pending = 0;
    int bits = 0;
    size_t end = block.size() + size_t(streamBytes);
    while (block.size() < end) {
        int c = rng() % 4;
        if (bases[c] > 255) continue;
        int index = int(rng() % (1u << widths[c]));
        if (bases[c] + index > 255) index = 255 - bases[c];
        pending = pending << (c + 1 + widths[c]) | uint64_t(1) << widths[c] | unsigned(index);
        bits += c + 1 + widths[c];
        while (bits >= 8)
            block.push_back(static_cast<unsigned char>(pending >> (bits -= 8)));
    }
    if (bits) block.push_back(static_cast<unsigned char>(pending << (8 - bits)));
}

TEST(PrefixClass, TableDecoderAgreesWithSymbolDecoder) {
    std::mt19937 rng(12345);
    int errors = 0;
    for (int round = 0; round < 20000; ++round) {
        Bytes block;
        int w0 = rng() % 10, w1 = rng() % 9, w2 = rng() % 9, n = rng() % 256;
        if (rng() % 4) w0 = rng() % 9; // mostly valid widths
        block.push_back(static_cast<unsigned char>(w0 << 4 | w1));
        block.push_back(static_cast<unsigned char>(w2));
        block.push_back(static_cast<unsigned char>(n));
        int tableBytes = n ? n : 256;
        for (int k = 0; k < tableBytes; ++k)
            block.push_back(static_cast<unsigned char>(rng()));
        int capacity = rng() % 2 ? 4000 : rng() % 600;
        if (round % 16 == 0 && w0 <= 8) {
            // Long streams take the table; random bytes would meet four zeros within a few
            // bytes, so these are valid codes, sometimes damaged near a random place.
            AppendValidCodes(block, 8192 + rng() % 2048, rng);
            if (rng() % 2) block[block.size() - 1 - rng() % 8192] ^= 1 << rng() % 8;
            capacity = rng() % 2 ? 1 << 16 : rng() % 8000;
        } else {
            // Dense streams make long valid runs; sparse ones hit the four-zero rules.
            int streamBytes = rng() % 2 ? rng() % 48 : 256 + rng() % 256;
            unsigned density = rng() % 3;
            for (int k = 0; k < streamBytes; ++k) {
                unsigned v = rng();
                block.push_back(static_cast<unsigned char>(density == 0   ? v
                                                           : density == 1 ? v | rng()
                                                                          : v & rng()));
            }
        }
        PrefixResult table = DecodePrefix(block, capacity, false);
        PrefixResult exact = DecodePrefix(block, capacity, true);
        ASSERT_EQ(table, exact) << "round " << round;
        errors += table.code != 0;
    }
    EXPECT_GT(errors, 1000); // the error paths were reached, not only clean streams
}

// The word-at-a-time stages against byte-by-byte references written from the format's rules,
// on random inputs dense in escapes, short distances and long runs, with capacities that end
// mid-stream: same bytes, same count, same error.
struct StageResult {
    int count;
    int code;
    Bytes out;
    bool operator==(const StageResult& o) const {
        return count == o.count && code == o.code && out == o.out;
    }
};

template <class Stage> StageResult RunStage(Stage stage, const Bytes& input, int capacity) {
    Bytes out(capacity + 1, 0);
    StageResult r{0, 0, {}};
    try {
        r.count = stage(input.data(), int(input.size()), out.data(), capacity);
    } catch (CtCompressExcept& e) {
        r.code = e.code;
    }
    r.out.assign(out.begin(), out.begin() + r.count);
    return r;
}

int ReferenceBackRefs(unsigned char e, const unsigned char* in, int length, unsigned char* out,
                      int capacity) {
    int i = 0, o = 0;
    auto put = [&](unsigned char b) {
        if (o == capacity) throw CtCompressExcept{kErrRefOverflow};
        out[o] = b, ++o;
    };
    while (i < length) {
        if (in[i] != e) {
            put(in[i++]);
            continue;
        }
        if (i + 1 >= length) throw CtCompressExcept{kErrRefTruncated};
        if (in[i + 1] == e) {
            put(e), i += 2;
            continue;
        }
        if (i + 2 >= length) throw CtCompressExcept{kErrRefTruncated};
        int d = in[i + 1], k = in[i + 2];
        i += 3;
        if (d > o) throw CtCompressExcept{kErrDistance};
        if (k > capacity - o) throw CtCompressExcept{kErrRefOverflow};
        for (; k > 0; --k)
            put(out[o - d]);
    }
    return o;
}

int ReferenceRuns(unsigned char r, const unsigned char* in, int length, unsigned char* out,
                  int capacity) {
    int i = 0, o = 0;
    unsigned char previous = 0;
    auto put = [&](unsigned char b) {
        if (o == capacity) throw CtCompressExcept{kErrRunOverflow};
        out[o++] = previous = b;
    };
    while (i < length) {
        if (in[i] != r) {
            put(in[i++]);
            continue;
        }
        if (i + 1 >= length) throw CtCompressExcept{kErrRunTruncated};
        int c = in[i + 1];
        i += 2;
        if (c == r) {
            put(r);
            continue;
        }
        if (c > capacity - o) throw CtCompressExcept{kErrRunOverflow};
        for (; c > 0; --c)
            put(previous);
    }
    return o;
}

TEST(Stages, WordLoopsAgreeWithByteReferences) {
    std::mt19937 rng(54321);
    const unsigned char kEscape = 0xF0;
    int errors = 0, clean = 0;
    for (int round = 0; round < 6000; ++round) {
        Bytes input;
        int length = rng() % 2 ? rng() % 24 : rng() % 1500;
        bool refs = round % 2 == 0;
        while (int(input.size()) < length) {
            unsigned pick = rng() % 8;
            if (pick == 0) {
                input.insert(input.end(), rng() % 160, 0x41); // literals over whole blocks
            } else if (pick < 5) {
                input.push_back(static_cast<unsigned char>(kEscape - 2 + rng() % 4)); // literals
            } else if (pick == 5) {
                input.push_back(kEscape), input.push_back(kEscape);
            } else {
                input.push_back(kEscape);
                // Short distances and counts near the word size are the fast paths' edges.
                unsigned small = rng() % 20;
                input.push_back(static_cast<unsigned char>(rng() % 2 ? small : rng()));
                if (refs) input.push_back(static_cast<unsigned char>(rng() % 2 ? small : rng()));
            }
        }
        input.resize(length); // may cut a token: the truncation errors
        int capacity = rng() % 2 ? 8000 : rng() % 2000;
        auto stage = [&](const unsigned char* in, int n, unsigned char* out, int cap) {
            return refs ? ExpandBackReferences(kEscape, in, n, out, cap)
                        : ExpandRuns(kEscape, in, n, out, cap);
        };
        auto reference = [&](const unsigned char* in, int n, unsigned char* out, int cap) {
            return refs ? ReferenceBackRefs(kEscape, in, n, out, cap)
                        : ReferenceRuns(kEscape, in, n, out, cap);
        };
        StageResult fast = RunStage(stage, input, capacity);
        StageResult exact = RunStage(reference, input, capacity);
        ASSERT_EQ(fast, exact) << (refs ? "references" : "runs") << ", round " << round;
        (fast.code ? errors : clean) += 1;
    }
    EXPECT_GT(errors, 500);
    EXPECT_GT(clean, 500);
}

} // namespace
