// The stage encoders one by one, each decoded by the installer's decoder with only its flag.
#include "tests/compress/CompressTestSupport.h"
#include "tools/compress/StageEncoders.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Decodes a stage's output framed as a stream with that one stage (and its escape byte).
std::vector<uint8_t> DecodeStage(uint8_t flags, int escape, const std::vector<uint8_t>& body,
                                 size_t size, int* error) {
    std::vector<uint8_t> stream{flags};
    if (escape >= 0) stream.push_back(static_cast<uint8_t>(escape));
    stream.insert(stream.end(), body.begin(), body.end());
    return DecodeStream(stream, size, error);
}

// A code with the given widths whose places hold the values 0, 1, 2, ... in order.
PrefixClassCode IdentityCode(int w0, int w1, int w2) {
    PrefixClassCode code;
    code.widths[0] = static_cast<uint8_t>(w0);
    code.widths[1] = static_cast<uint8_t>(w1);
    code.widths[2] = static_cast<uint8_t>(w2);
    code.listed = 256;
    for (int v = 0; v < 256; ++v)
        code.table[v] = code.place[v] = static_cast<uint8_t>(v);
    return code;
}

// The end of the bit stream: for every width choice, a last symbol from the start of each class
// after 0 to 8 symbols of class 0, so the stream ends on every bit position. A symbol of a
// width-0 class ending on the last bit would be lost without the extra byte.
TEST(PrefixClassEncoder, EveryEndingDecodes) {
    for (int w0 = 0; w0 <= 8; ++w0)
        for (int w1 = 0; w1 <= 8; ++w1)
            for (int w2 = 0; w2 <= 8; ++w2) {
                const PrefixClassCode code = IdentityCode(w0, w1, w2);
                const int starts[4] = {0, 1 << w0, (1 << w0) + (1 << w1),
                                       (1 << w0) + (1 << w1) + (1 << w2)};
                for (int start : starts) {
                    if (start > 255) continue;
                    for (int lead = 0; lead <= 8; ++lead) {
                        std::vector<uint8_t> symbols(lead, 0);
                        symbols.push_back(static_cast<uint8_t>(start));
                        std::vector<uint8_t> block;
                        AppendPrefixClassBlock(symbols.data(), symbols.size(), code, &block);
                        int error = 0;
                        ASSERT_EQ(DecodeStage(0x10, -1, block, symbols.size(), &error), symbols)
                            << "widths " << w0 << w1 << w2 << " last place " << start << " after "
                            << lead << ", error " << error;
                    }
                }
            }
}

TEST(PrefixClassEncoder, PredictedSizeIsExact) {
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        // Skewed alphabets of 1 to 256 values, with and without byte 0 among them.
        const int alphabet = 1 + static_cast<int>(seed * 37 % 256);
        std::vector<uint8_t> data = Noise(200 + seed * 50, seed, alphabet);
        for (size_t i = 0; i < data.size(); i += 3)
            data[i] = static_cast<uint8_t>(data[i] / 4);
        if (seed % 2) data.push_back(0);
        uint64_t counts[256] = {};
        for (uint8_t b : data)
            counts[b]++;
        const PrefixClassCode code = ChoosePrefixClassCode(counts, data.back());
        std::vector<uint8_t> block;
        AppendPrefixClassBlock(data.data(), data.size(), code, &block);
        EXPECT_EQ(block.size(), code.blockSize) << seed;
        int error = 0;
        EXPECT_EQ(DecodeStage(0x10, -1, block, data.size(), &error), data) << seed;
    }
}

TEST(PrefixClassEncoder, LeavesTrailingZeroUnlisted) {
    // Byte 0 is the rarest value, so it takes the last place and is left out of the table.
    std::vector<uint8_t> data = {'a', 'a', 'a', 'b', 'b', 0};
    const std::vector<uint8_t> block = EncodePrefixClass(data.data(), data.size());
    ASSERT_GE(block.size(), 3u);
    EXPECT_EQ(block[2], 2);
    int error = 0;
    EXPECT_EQ(DecodeStage(0x10, -1, block, data.size(), &error), data);
    // A single symbol 0 still lists one entry: a count of 0 would mean 256.
    const std::vector<uint8_t> zeros(5, 0);
    const std::vector<uint8_t> zeroBlock = EncodePrefixClass(zeros.data(), zeros.size());
    EXPECT_EQ(zeroBlock[2], 1);
    EXPECT_EQ(DecodeStage(0x10, -1, zeroBlock, zeros.size(), &error), zeros);
}

TEST(PrefixClassEncoder, AllValuesListTwoHundredFiftySix) {
    std::vector<uint8_t> data;
    for (int v = 1; v < 256; ++v)
        data.insert(data.end(), v % 7 + 1, static_cast<uint8_t>(v));
    const std::vector<uint8_t> block = EncodePrefixClass(data.data(), data.size());
    EXPECT_EQ(block[2], 255); // byte 0 unused: 255 values listed
    int error = 0;
    EXPECT_EQ(DecodeStage(0x10, -1, block, data.size(), &error), data);
    data.push_back(0);
    data.push_back(0);
    const std::vector<uint8_t> full = EncodePrefixClass(data.data(), data.size());
    EXPECT_EQ(DecodeStage(0x10, -1, full, data.size(), &error), data);
}

TEST(RunEncoder, CountsAvoidTheEscape) {
    // Runs of every length up to 600 for an escape of 0 (the decoder's start value), a small
    // value and 255, also as the run's own byte.
    for (int escape : {0, 3, 200, 255}) {
        std::vector<uint8_t> data;
        for (int len = 1; len <= 600; len += (len < 260 ? 1 : 17)) {
            data.insert(data.end(), len, static_cast<uint8_t>(len % 2 ? escape : len));
            data.push_back(static_cast<uint8_t>(len * 7));
        }
        const std::vector<uint8_t> body = EncodeRuns(data.data(), data.size(), escape);
        int error = 0;
        ASSERT_EQ(DecodeStage(0x20, escape, body, data.size(), &error), data)
            << "escape " << escape << ", error " << error;
    }
}

TEST(RunEncoder, LeadingZerosNeedNoLiteral) {
    const std::vector<uint8_t> zeros(100, 0);
    EXPECT_EQ(EncodeRuns(zeros.data(), zeros.size(), 9), (std::vector<uint8_t>{9, 100}));
    const std::vector<uint8_t> empty;
    EXPECT_TRUE(EncodeRuns(empty.data(), 0, 9).empty());
}

// Walks a back-reference body and checks every reference against the format's limits.
void ExpectWellFormedReferences(const std::vector<uint8_t>& body, uint8_t escape) {
    size_t out = 0;
    for (size_t in = 0; in < body.size();) {
        if (body[in] != escape) {
            ++out;
            ++in;
            continue;
        }
        ASSERT_LT(in + 1, body.size());
        if (body[in + 1] == escape) {
            ++out;
            in += 2;
            continue;
        }
        ASSERT_LT(in + 2, body.size());
        const uint8_t d = body[in + 1], k = body[in + 2];
        // Distance 0 appends zeros; the decode check tells whether they were zeros.
        EXPECT_LE(d, out);
        EXPECT_GE(k, 1);
        out += k;
        in += 3;
    }
}

// The parses every level uses: exact, quick, greedy and lazy.
std::vector<uint8_t> ParseWith(int parse, const std::vector<uint8_t>& data, uint8_t escape,
                               const SymbolCosts& costs) {
    if (parse < 2) return EncodeBackRefs(data.data(), data.size(), escape, costs, parse * 4);
    return EncodeBackRefsGreedy(data.data(), data.size(), escape, costs, parse == 3);
}

TEST(BackRefEncoder, ReferencesStayWithinTheFormat) {
    // The escape is forced to values that are also frequent distances and counts.
    std::vector<uint8_t> data;
    const std::vector<uint8_t> noise = Noise(300, 5, 256);
    for (int d = 1; d <= 280; d += 1) {
        data.insert(data.end(), noise.begin(), noise.begin() + d % 40 + 1);
        data.insert(data.end(), noise.begin() + d, noise.begin() + d + 6);
    }
    data.insert(data.end(), 2000, 'z');
    data.insert(data.end(), 700, 0);
    SymbolCosts uneven;
    for (int v = 0; v < 256; ++v)
        uneven.bits[v] = static_cast<uint8_t>(2 + v % 11);
    for (int parse = 0; parse < 4; ++parse)
        for (int escape : {0, 1, 4, 6, int{'z'}, 255})
            for (const SymbolCosts& costs : {FlatCosts(), uneven}) {
                const std::vector<uint8_t> body =
                    ParseWith(parse, data, static_cast<uint8_t>(escape), costs);
                SCOPED_TRACE("parse " + std::to_string(parse) + " escape " +
                             std::to_string(escape));
                ExpectWellFormedReferences(body, static_cast<uint8_t>(escape));
                int error = 0;
                EXPECT_EQ(DecodeStage(0x40, escape, body, data.size(), &error), data) << error;
                EXPECT_LT(body.size(), data.size() / 3);
            }
}

TEST(BackRefEncoder, ZerosComeFromDistanceZero) {
    // Distance 0 appends zeros with no zero before them to copy from.
    std::vector<uint8_t> data = {'a', 'b', 'c'};
    data.insert(data.end(), 100, 0);
    EXPECT_EQ(EncodeBackRefs(data.data(), data.size(), 7, FlatCosts()),
              (std::vector<uint8_t>{'a', 'b', 'c', 7, 0, 100}));
    // With 0 as the escape, "0 0" is a literal zero: a real distance is needed.
    const std::vector<uint8_t> body = EncodeBackRefs(data.data(), data.size(), 0, FlatCosts());
    EXPECT_EQ(body, (std::vector<uint8_t>{'a', 'b', 'c', 0, 0, 0, 1, 99}));
    int error = 0;
    EXPECT_EQ(DecodeStage(0x40, 0, body, data.size(), &error), data);
}

TEST(BackRefEncoder, ReachesAcrossTheParseBlocks) {
    // Longer than one parse block, repeating with a period that straddles the block edge.
    const std::vector<uint8_t> unit = Noise(251, 11, 256);
    std::vector<uint8_t> data;
    while (data.size() < (1u << 20) + 5000)
        data.insert(data.end(), unit.begin(), unit.end());
    const uint8_t escape = LeastFrequentByte(data.data(), data.size());
    const std::vector<uint8_t> body = EncodeBackRefs(data.data(), data.size(), escape, FlatCosts());
    int error = 0;
    EXPECT_EQ(DecodeStage(0x40, escape, body, data.size(), &error), data);
    EXPECT_LT(body.size(), 20000u);
}

TEST(LeastFrequentByte, LowestValueOnTies) {
    const std::vector<uint8_t> data = {0, 0, 1, 2, 2};
    EXPECT_EQ(LeastFrequentByte(data.data(), data.size()), 3);
    std::vector<uint8_t> all;
    for (int v = 0; v < 256; ++v)
        all.insert(all.end(), v == 77 ? 1 : 2, static_cast<uint8_t>(v));
    EXPECT_EQ(LeastFrequentByte(all.data(), all.size()), 77);
}

} // namespace
