#include "tools/compress/StageEncoders.h"

#include <algorithm>
#include <string.h>

namespace {

// The parse runs backwards over blocks of this many bytes, so its tables stay small whatever
// the input; only references that would cross a block's end are given up.
constexpr size_t kBlockSize = 1 << 20;
constexpr int kWindow = 255;
constexpr int kMaxCount = 255;

typedef uint8_t Lanes __attribute__((vector_size(16)));
constexpr int kLaneCount = 16;
constexpr int kVectors = 256 / kLaneCount;
constexpr int kMaxGroups = 8;

// Match lengths for all distances at one position. Slot t stands for distance 256 - t, so that
// slot t compares with the byte at position - 256 + t and the slots line up with the input.
struct MatchRow {
    Lanes length[kVectors];
};

// Distances grouped by their cost: within a group any distance will do, so the parse only
// needs the longest match per group.
struct DistanceGroups {
    int count = 0;
    int bits[kMaxGroups];
    Lanes member[kMaxGroups][kVectors];
};

DistanceGroups GroupDistances(const SymbolCosts& costs, uint8_t escape) {
    DistanceGroups groups;
    memset(groups.member, 0, sizeof(groups.member));
    for (int d = 1; d <= kWindow; ++d) {
        // A distance equal to the escape would read as a literal escape byte.
        if (d == escape) continue;
        int g = 0;
        while (g < groups.count && groups.bits[g] != costs.bits[d])
            ++g;
        // Costs come from a code of four classes; anything beyond the table shares the last
        // group, which only makes the parse a little less exact.
        if (g == groups.count && groups.count < kMaxGroups)
            groups.bits[groups.count++] = costs.bits[d];
        if (g == kMaxGroups) g = kMaxGroups - 1;
        const int slot = 256 - d;
        groups.member[g][slot / kLaneCount][slot % kLaneCount] = 0xFF;
    }
    return groups;
}

int HorizontalMax(Lanes v) {
    int best = 0;
    for (int i = 0; i < kLaneCount; ++i)
        best = std::max(best, static_cast<int>(v[i]));
    return best;
}

Lanes Splat(uint8_t value) {
    Lanes v;
    for (int i = 0; i < kLaneCount; ++i)
        v[i] = value;
    return v;
}

// Extends every match by the byte at window[256] (the current position): slot t grows by one
// when window[t] equals it and drops to 0 otherwise. Lengths stop at kMaxCount.
bool ExtendMatches(MatchRow* row, const uint8_t* window) {
    const Lanes current = Splat(window[256]);
    const Lanes one = Splat(1);
    const Lanes cap = Splat(kMaxCount);
    Lanes any = Splat(0);
    for (int j = 0; j < kVectors; ++j) {
        Lanes bytes;
        memcpy(&bytes, window + j * kLaneCount, sizeof(bytes));
        const Lanes equal = reinterpret_cast<Lanes>(bytes == current);
        const Lanes grow = reinterpret_cast<Lanes>(row->length[j] != cap) & one;
        row->length[j] = (row->length[j] + grow) & equal;
        any |= row->length[j];
    }
    for (int i = 0; i < kLaneCount; ++i)
        if (any[i]) return true;
    return false;
}

// Smallest distance of group g whose match is at least count long (highest slot first).
int PickDistance(const MatchRow& row, const DistanceGroups& groups, int g, int count) {
    const Lanes wanted = Splat(static_cast<uint8_t>(count));
    for (int j = kVectors - 1; j >= 0; --j) {
        const Lanes hit = reinterpret_cast<Lanes>(row.length[j] >= wanted) & groups.member[g][j];
        for (int lane = kLaneCount - 1; lane >= 0; --lane)
            if (hit[lane]) return 256 - (j * kLaneCount + lane);
    }
    return 0;
}

class BackRefParser {
  public:
    BackRefParser(const uint8_t* data, size_t size, uint8_t escape, const SymbolCosts& costs)
        : size_(size), escape_(escape), costs_(costs), groups_(GroupDistances(costs, escape)) {
        // 256 bytes in front of the data let every position see a full window; slots that
        // reach before the data are cleared as they come into view.
        padded_.assign(256 + size, 0);
        if (size > 0) memcpy(padded_.data() + 256, data, size);
    }

    std::vector<uint8_t> Run() {
        std::vector<uint8_t> out;
        out.reserve(size_ + size_ / 16 + 16);
        for (size_t begin = 0; begin < size_; begin += kBlockSize)
            ParseBlock(begin, std::min(size_ - begin, kBlockSize), &out);
        return out;
    }

  private:
    uint32_t LiteralBits(uint8_t value) const {
        return value == escape_ ? 2u * costs_.bits[escape_] : costs_.bits[value];
    }

    void ParseBlock(size_t begin, size_t length, std::vector<uint8_t>* out) {
        // rest[i]: the fewest bits that code the block from begin + i to its end.
        rest_.assign(length + 1, 0);
        count_.assign(length, 0);
        distance_.assign(length, 0);
        MatchRow row;
        memset(&row, 0, sizeof(row));
        const uint8_t* data = padded_.data() + 256;
        for (size_t i = length; i-- > 0;) {
            const size_t pos = begin + i;
            const bool anyMatch = ExtendMatches(&row, data + pos - 256);
            if (pos < 256) ForgetBeforeStart(&row, pos);
            rest_[i] = LiteralBits(data[pos]) + rest_[i + 1];
            if (anyMatch) ChooseReference(row, i);
        }
        for (size_t i = 0; i < length;) {
            const uint8_t value = data[begin + i];
            if (count_[i] == 0) {
                out->push_back(value);
                if (value == escape_) out->push_back(escape_);
                ++i;
            } else {
                out->push_back(escape_);
                out->push_back(distance_[i]);
                out->push_back(count_[i]);
                i += count_[i];
            }
        }
    }

    static void ForgetBeforeStart(MatchRow* row, size_t pos) {
        // Distances above pos would reach before the data.
        for (size_t slot = 0; slot < 256 - pos; ++slot)
            row->length[slot / kLaneCount][slot % kLaneCount] = 0;
    }

    void ChooseReference(const MatchRow& row, size_t i) {
        struct Reach {
            int longest;
            int group;
        } reach[kMaxGroups];
        int groupCount = 0;
        for (int g = 0; g < groups_.count; ++g) {
            Lanes longest = Splat(0);
            for (int j = 0; j < kVectors; ++j) {
                const Lanes masked = row.length[j] & groups_.member[g][j];
                longest = longest > masked ? longest : masked;
            }
            const int value = HorizontalMax(longest);
            if (value > 0) reach[groupCount++] = {value, g};
        }
        if (groupCount == 0) return;
        // Few groups: insertion sort by reach.
        for (int a = 1; a < groupCount; ++a)
            for (int b = a; b > 0 && reach[b].longest < reach[b - 1].longest; --b)
                std::swap(reach[b], reach[b - 1]);

        // Cheapest count up to each group's reach, then the group's own distance cost.
        const uint32_t escapeBits = costs_.bits[escape_];
        uint32_t bestTail = UINT32_MAX;
        int bestTailCount = 0;
        int k = 1;
        for (int r = 0; r < groupCount; ++r) {
            for (; k <= reach[r].longest; ++k) {
                const uint32_t tail = costs_.bits[k] + rest_[i + k];
                if (tail < bestTail) {
                    bestTail = tail;
                    bestTailCount = k;
                }
            }
            const uint32_t total = escapeBits + groups_.bits[reach[r].group] + bestTail;
            if (total < rest_[i]) {
                rest_[i] = total;
                count_[i] = static_cast<uint8_t>(bestTailCount);
                distance_[i] = static_cast<uint8_t>(reach[r].group);
            }
        }
        if (count_[i] > 0)
            distance_[i] =
                static_cast<uint8_t>(PickDistance(row, groups_, distance_[i], count_[i]));
    }

    size_t size_;
    uint8_t escape_;
    SymbolCosts costs_;
    DistanceGroups groups_;
    std::vector<uint8_t> padded_;
    std::vector<uint32_t> rest_;
    std::vector<uint8_t> count_;
    std::vector<uint8_t> distance_;
};

} // namespace

SymbolCosts FlatCosts() {
    SymbolCosts costs;
    memset(costs.bits, 8, sizeof(costs.bits));
    return costs;
}

std::vector<uint8_t> EncodeBackRefs(const uint8_t* data, size_t size, uint8_t escape,
                                    const SymbolCosts& costs) {
    BackRefParser parser(data, size, escape, costs);
    return parser.Run();
}
