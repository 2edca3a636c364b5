// Whole streams: every stage combination over structured and random data, decoded by the
// installer's own decoder.
#include "tests/compress/CompressTestSupport.h"
#include "tools/compress/Compressor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<uint8_t> Repeat(const std::string& unit, size_t size) {
    std::vector<uint8_t> out(size);
    for (size_t i = 0; i < size; ++i)
        out[i] = static_cast<uint8_t>(unit[i % unit.size()]);
    return out;
}

struct Sample {
    const char* name;
    std::vector<uint8_t> data;
};

std::vector<Sample> Samples() {
    std::vector<Sample> s;
    s.push_back({"empty", {}});
    s.push_back({"one zero", {0}});
    s.push_back({"one 0xFF", {0xFF}});
    s.push_back({"two bytes", {7, 7}});
    s.push_back({"all same 1000", std::vector<uint8_t>(1000, 'a')});
    s.push_back({"zeros 70000", std::vector<uint8_t>(70000, 0)});
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<uint8_t>(i);
    s.push_back({"all values", all});
    std::vector<uint8_t> twice = all;
    twice.insert(twice.end(), all.begin(), all.end());
    s.push_back({"all values twice (distance 256)", twice});
    s.push_back({"text", Repeat("the quick brown fox jumps over the lazy dog; ", 3000)});
    s.push_back({"random", Noise(5000, 1)});
    s.push_back({"random 4 letters", Noise(5000, 2, 4)});
    for (size_t n : {254, 255, 256, 257})
        s.push_back({"random around 256", Noise(n, static_cast<uint32_t>(n))});
    // Runs of every length near the count limit and the escape candidates' values.
    std::vector<uint8_t> runs;
    for (int len = 1; len < 600; len += 37)
        runs.insert(runs.end(), len, static_cast<uint8_t>(len));
    s.push_back({"runs of many lengths", runs});
    // Every value equally often, so any escape byte also occurs as data, also as a run.
    std::vector<uint8_t> crowded;
    for (int round = 0; round < 40; ++round)
        for (int v = 0; v < 256; ++v)
            crowded.insert(crowded.end(), 1 + (v + round) % 5, v);
    s.push_back({"every value, in runs", crowded});
    // Repeats at distances 1..300 so that references meet every distance, the escape's too.
    std::vector<uint8_t> distances;
    const std::vector<uint8_t> noise = Noise(400, 9);
    for (int d = 1; d <= 300; d += 3) {
        distances.insert(distances.end(), noise.begin(), noise.begin() + d);
        distances.insert(distances.end(), noise.begin(), noise.begin() + d);
    }
    s.push_back({"repeats at every distance", distances});
    return s;
}

const char* const kCombinations[] = {"none", "p", "r", "pr", "b", "pb", "br", "pbr"};

// Every level and combination; at the best level "auto" is the smallest single combination.
// Lower levels parse only the input their sample favours, so they may miss it.
TEST(CompressBest, EveryLevelAndCombinationDecodesBack) {
    for (const Sample& sample : Samples()) {
        for (int level = kLevelFastest; level <= kLevelBest; ++level) {
            size_t smallest = SIZE_MAX;
            for (const char* combination : kCombinations) {
                SCOPED_TRACE(std::string(sample.name) + " / " + combination + " / level " +
                             std::to_string(level));
                StageSet set;
                ASSERT_TRUE(ParseStageSet(combination, &set));
                CompressStats stats;
                const auto stream =
                    CompressBest(sample.data.data(), sample.data.size(), set, level, &stats);
                ASSERT_FALSE(stream.empty());
                EXPECT_FALSE(stats.fallback);
                EXPECT_EQ(stream[0], stats.flags);
                int error = 0;
                EXPECT_EQ(DecodeStream(stream, sample.data.size(), &error), sample.data) << error;
                smallest = std::min(smallest, stream.size());
            }
            SCOPED_TRACE(std::string(sample.name) + " / level " + std::to_string(level));
            CompressStats stats;
            const auto best =
                CompressBest(sample.data.data(), sample.data.size(), kStagesAuto, level, &stats);
            if (level == kLevelBest) {
                EXPECT_EQ(best.size(), smallest);
            }
            EXPECT_LE(best.size(), sample.data.size() + 1);
            int error = 0;
            EXPECT_EQ(DecodeStream(best, sample.data.size(), &error), sample.data);
            EXPECT_EQ(CompressBest(sample.data.data(), sample.data.size(), kStagesAuto, level),
                      best);
        }
    }
}

// Small inputs mixing noise, runs and copies from up to 300 bytes back, in every combination.
TEST(CompressBest, RandomMixturesDecodeBack) {
    for (uint32_t seed = 1; seed <= 150; ++seed) {
        const std::vector<uint8_t> pieces = Noise(64, seed, 64);
        std::vector<uint8_t> data;
        for (uint8_t piece : pieces) {
            const size_t length = piece % 9 + 1;
            if (piece % 4 == 0) {
                data.insert(data.end(), length * 40, piece);
            } else if (piece % 4 == 1 && data.size() > 300) {
                const size_t from = data.size() - 300 + piece;
                for (size_t i = 0; i < length * 5; ++i)
                    data.push_back(data[from + i]);
            } else {
                const std::vector<uint8_t> noise = Noise(length, seed * 31 + piece, 1 + piece * 4);
                data.insert(data.end(), noise.begin(), noise.end());
            }
        }
        const StageSet set{static_cast<uint8_t>(seed % 2 ? 0xFF : 1u << (seed / 2 % 8))};
        const int level = kLevelFastest + static_cast<int>(seed % kLevelBest);
        CompressStats stats;
        const auto stream = CompressBest(data.data(), data.size(), set, level, &stats);
        int error = 0;
        ASSERT_EQ(DecodeStream(stream, data.size(), &error), data) << "seed " << seed;
        ASSERT_FALSE(stats.fallback) << "seed " << seed;
    }
}

TEST(CompressBest, ShrinksRedundantData) {
    const auto text = Repeat("abcdefgh", 100000);
    const auto fourLetters = Noise(100000, 3, 4);
    for (int level : {kLevelFastest, kLevelDefault, kLevelBest}) {
        SCOPED_TRACE(level);
        EXPECT_LT(CompressBest(text.data(), text.size(), kStagesAuto, level).size(),
                  text.size() / 50);
        // The best class code for four even letters takes 2, 2, 3 and 3 bits.
        EXPECT_LT(CompressBest(fourLetters.data(), fourLetters.size(), kStagesAuto, level).size(),
                  31400u);
    }
}

// Data the run stage leaves unchanged: the combinations asked for still hold it.
TEST(CompressBest, KeepsTheRunStageWhenOnlyItsCombinationsAreAllowed) {
    const auto text = Repeat("the quick brown fox jumps over the lazy dog; ", 3000);
    for (const char* combination : {"pr", "br", "pbr"}) {
        SCOPED_TRACE(combination);
        StageSet set;
        ASSERT_TRUE(ParseStageSet(combination, &set));
        const auto stream = CompressBest(text.data(), text.size(), set, kLevelDefault);
        ASSERT_FALSE(stream.empty());
        EXPECT_TRUE(StageSetHas(set, stream[0]));
        EXPECT_LT(stream.size(), text.size());
        int error = 0;
        EXPECT_EQ(DecodeStream(stream, text.size(), &error), text);
    }
}

TEST(CompressBest, RefusesWhatTheDecoderCannotHold) {
    const uint8_t byte = 0;
    EXPECT_TRUE(CompressBest(&byte, kCompressMaxSize + 1, kStagesAuto, kLevelFastest).empty());
}

TEST(ParseStageSet, Table) {
    struct Row {
        const char* text;
        bool ok;
        uint8_t mask;
    } rows[] = {
        {"auto", true, 0xFF}, {"none", true, 0x01}, {"p", true, 0x02},  {"r", true, 0x04},
        {"b", true, 0x10},    {"pb", true, 0x20},   {"bp", true, 0x20}, {"pbr", true, 0x80},
        {"rbp", true, 0x80},  {"br", true, 0x40},   {"pr", true, 0x08}, {"", false, 0},
        {"pp", false, 0},     {"x", false, 0},      {"Auto", false, 0}, {"pbrp", false, 0},
    };
    for (const Row& row : rows) {
        StageSet set{0};
        EXPECT_EQ(ParseStageSet(row.text, &set), row.ok) << row.text;
        if (row.ok) {
            EXPECT_EQ(set.mask, row.mask) << row.text;
        }
    }
}

} // namespace
