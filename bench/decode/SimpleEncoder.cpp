#include "SimpleEncoder.h"

#include "archive/Decompressor.h"

#include <algorithm>
#include <numeric>
#include <stdint.h>
#include <string.h>

namespace {

const int kWindow = 255;
const int kMaxCount = 255;
const int kMinMatch = 4; // an escape, a distance and a count cost 3 bytes

unsigned char LeastFrequent(const ByteVector& data) {
    size_t counts[256] = {};
    for (unsigned char b : data)
        ++counts[b];
    return static_cast<unsigned char>(std::min_element(counts, counts + 256) - counts);
}

// Each run of 3 or more repeats becomes the byte, R and a count of further copies.
ByteVector EncodeRuns(const ByteVector& data, unsigned char escape) {
    ByteVector out;
    size_t i = 0;
    while (i < data.size()) {
        unsigned char b = data[i];
        out.push_back(b);
        if (b == escape) out.push_back(escape);
        size_t repeats = 0;
        while (i + 1 + repeats < data.size() && data[i + 1 + repeats] == b)
            ++repeats;
        i += 1 + repeats;
        while (repeats >= 3) {
            size_t count = std::min<size_t>(repeats, kMaxCount);
            if (count == escape) --count; // a count equal to R would read as a literal R
            out.push_back(escape);
            out.push_back(static_cast<unsigned char>(count));
            repeats -= count;
        }
        for (; repeats; --repeats) {
            out.push_back(b);
            if (b == escape) out.push_back(escape);
        }
    }
    return out;
}

// Greedy longest match in the 255-byte window through short hash chains.
ByteVector EncodeBackRefs(const ByteVector& data, unsigned char escape) {
    const int kHashBits = 14, kChain = 24;
    std::vector<int> head(1 << kHashBits, -1), previous(data.size(), -1);
    auto hash = [&](size_t at) {
        uint32_t v = data[at] | data[at + 1] << 8 | data[at + 2] << 16;
        return (v * 2654435761u) >> (32 - kHashBits);
    };
    auto insert = [&](size_t at) {
        if (at + 3 > data.size()) return;
        uint32_t h = hash(at);
        previous[at] = head[h];
        head[h] = int(at);
    };
    ByteVector out;
    size_t i = 0;
    while (i < data.size()) {
        size_t bestLength = 0, bestDistance = 0;
        if (i + 3 <= data.size()) {
            int candidate = head[hash(i)];
            size_t limit = std::min<size_t>(kMaxCount, data.size() - i);
            for (int steps = 0; candidate >= 0 && steps < kChain; ++steps) {
                size_t distance = i - candidate;
                if (distance > kWindow) break;
                if (distance != escape) {
                    size_t length = 0;
                    while (length < limit && data[candidate + length] == data[i + length])
                        ++length;
                    if (length > bestLength) bestLength = length, bestDistance = distance;
                }
                candidate = previous[candidate];
            }
        }
        if (bestLength >= kMinMatch) {
            out.push_back(escape);
            out.push_back(static_cast<unsigned char>(bestDistance));
            out.push_back(static_cast<unsigned char>(bestLength));
            for (size_t k = 0; k < bestLength; ++k)
                insert(i + k);
            i += bestLength;
        } else {
            out.push_back(data[i]);
            if (data[i] == escape) out.push_back(escape);
            insert(i);
            ++i;
        }
    }
    return out;
}

// Symbols by falling frequency; the three class widths that give the fewest bits.
ByteVector EncodePrefixClass(const ByteVector& data) {
    size_t counts[256] = {};
    for (unsigned char b : data)
        ++counts[b];
    int order[256];
    std::iota(order, order + 256, 0);
    std::stable_sort(order, order + 256, [&](int a, int b) { return counts[a] > counts[b]; });
    int symbols = 0;
    while (symbols < 256 && counts[order[symbols]])
        ++symbols;
    uint64_t before[257] = {}; // occurrences of the places below p
    for (int p = 0; p < 256; ++p)
        before[p + 1] = before[p] + counts[order[p]];
    auto between = [&](int from, int to) {
        from = std::min(from, 256), to = std::min(to, 256);
        return before[to] - before[from];
    };
    uint64_t bestBits = UINT64_MAX;
    int best[3] = {8, 0, 0};
    for (int w0 = 0; w0 <= 8; ++w0)
        for (int w1 = 0; w1 <= 8; ++w1)
            for (int w2 = 0; w2 <= 8; ++w2) {
                int b1 = 1 << w0, b2 = b1 + (1 << w1), b3 = b2 + (1 << w2);
                uint64_t bits = between(0, b1) * (1 + w0) + between(b1, b2) * (2 + w1) +
                                between(b2, b3) * (3 + w2) + between(b3, 256) * 12;
                if (bits < bestBits) bestBits = bits, best[0] = w0, best[1] = w1, best[2] = w2;
            }
    int place[256], classOf[257];
    for (int p = 0; p < 256; ++p)
        place[order[p]] = p;
    int base[4] = {0, 1 << best[0], (1 << best[0]) + (1 << best[1]),
                   (1 << best[0]) + (1 << best[1]) + (1 << best[2])};
    int widths[4] = {best[0], best[1], best[2], 8};
    for (int p = 0; p < 256; ++p)
        classOf[p] = p >= base[3] ? 3 : p >= base[2] ? 2 : p >= base[1];

    ByteVector out{static_cast<unsigned char>(best[0] << 4 | best[1]),
                   static_cast<unsigned char>(best[2]), static_cast<unsigned char>(symbols)};
    for (int p = 0; p < symbols; ++p)
        out.push_back(static_cast<unsigned char>(order[p]));
    uint64_t pending = 0;
    int bits = 0, lastWidth = 8;
    for (unsigned char b : data) {
        int p = place[b], c = classOf[p];
        pending = (pending << (c + 1 + widths[c])) | (uint64_t(1) << widths[c]) | (p - base[c]);
        bits += c + 1 + widths[c];
        lastWidth = widths[c];
        while (bits >= 8)
            out.push_back(static_cast<unsigned char>(pending >> (bits -= 8)));
    }
    if (bits) {
        out.push_back(static_cast<unsigned char>(pending << (8 - bits)));
    } else if (!data.empty() && lastWidth == 0) {
        // A selector whose 1 is the stream's last bit yields nothing: give it a fill byte.
        out.push_back(0);
    }
    return out;
}

} // namespace

ByteVector EncodeSimple(const ByteVector& data) {
    unsigned char flags = 0, runEscape = LeastFrequent(data);
    ByteVector stage = data;
    ByteVector runs = EncodeRuns(stage, runEscape);
    // The run input must fit the decoder's block of decoded size + 256.
    if (runs.size() < stage.size()) stage = runs, flags |= kStageRuns;
    unsigned char refEscape = LeastFrequent(stage);
    ByteVector refs = EncodeBackRefs(stage, refEscape);
    if (refs.size() < stage.size()) stage = refs, flags |= kStageBackRefs;
    ByteVector prefix = EncodePrefixClass(stage);
    // The prefix-class stage decodes at most the decoded size.
    if (prefix.size() < stage.size() && stage.size() <= data.size())
        stage = prefix, flags |= kStagePrefixClass;

    ByteVector stream{flags};
    if (flags & kStageRuns) stream.push_back(runEscape);
    if (flags & kStageBackRefs) stream.push_back(refEscape);
    stream.insert(stream.end(), stage.begin(), stage.end());

    ByteVector check(data.size() + 1);
    int written = 0;
    if (!DecompressDetailed(stream.data(), int(stream.size()), check.data(), int(data.size()),
                            &written, nullptr) ||
        size_t(written) != data.size() || memcmp(check.data(), data.data(), data.size()) != 0) {
        stream.assign(1, 0);
        stream.insert(stream.end(), data.begin(), data.end());
    }
    return stream;
}
