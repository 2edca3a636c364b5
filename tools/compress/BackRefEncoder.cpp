#include "tools/compress/StageEncoders.h"

#include <algorithm>
#include <emmintrin.h>
#include <string.h>

namespace {

// The parse runs backwards over blocks of this many bytes, so its tables stay small whatever
// the input; only references that would cross a block's end are given up.
constexpr size_t kBlockSize = 1 << 20;
constexpr int kWindow = 255;
constexpr int kMaxCount = 255;

// The match finder keeps one length per distance in 16-byte SSE2 vectors.
typedef __m128i Lanes;
constexpr int kLaneCount = 16;
constexpr int kVectors = 256 / kLaneCount;
constexpr int kMaxGroups = 8;
// Stands for distance 0 among the groups.
constexpr int kZeroGroup = kMaxGroups;

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
    Lanes usable[kVectors]; // every distance of any group
    int byCost[kMaxGroups]; // groups, cheapest first
    uint8_t groupOf[256];   // group of each usable distance
};

DistanceGroups GroupDistances(const SymbolCosts& costs, uint8_t escape) {
    DistanceGroups groups;
    uint8_t member[kMaxGroups][256] = {};
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
        member[g][256 - d] = 0xFF;
        groups.groupOf[d] = static_cast<uint8_t>(g);
    }
    for (int j = 0; j < kVectors; ++j)
        groups.usable[j] = _mm_setzero_si128();
    for (int g = 0; g < kMaxGroups; ++g)
        for (int j = 0; j < kVectors; ++j) {
            groups.member[g][j] =
                _mm_loadu_si128(reinterpret_cast<const Lanes*>(member[g] + j * kLaneCount));
            groups.usable[j] = _mm_or_si128(groups.usable[j], groups.member[g][j]);
        }
    for (int g = 0; g < groups.count; ++g)
        groups.byCost[g] = g;
    std::stable_sort(groups.byCost, groups.byCost + groups.count,
                     [&](int a, int b) { return groups.bits[a] < groups.bits[b]; });
    return groups;
}

int HorizontalMax(Lanes v) {
    v = _mm_max_epu8(v, _mm_srli_si128(v, 8));
    v = _mm_max_epu8(v, _mm_srli_si128(v, 4));
    v = _mm_max_epu8(v, _mm_srli_si128(v, 2));
    v = _mm_max_epu8(v, _mm_srli_si128(v, 1));
    return _mm_cvtsi128_si32(v) & 0xFF;
}

// How far the matches at one position reach: over every usable distance, and over the
// cheapest group's distances.
struct Reach {
    int farthest;
    int cheapest;
};

// Extends every match by the byte at window[256] (the current position): slot t grows by one
// when window[t] equals it and drops to 0 otherwise. Lengths stop at 255 (kMaxCount). A
// one-byte reference costs three symbols for one, so reaches below 2 count as none.
Reach ExtendMatches(MatchRow* row, const uint8_t* window, const DistanceGroups& groups) {
    const Lanes current = _mm_set1_epi8(static_cast<char>(window[256]));
    const Lanes one = _mm_set1_epi8(1);
    const Lanes* cheapest = groups.member[groups.byCost[0]];
    Lanes farthest = _mm_setzero_si128();
    Lanes cheap = _mm_setzero_si128();
    for (int j = 0; j < kVectors; ++j) {
        const Lanes bytes =
            _mm_loadu_si128(reinterpret_cast<const Lanes*>(window + j * kLaneCount));
        const Lanes equal = _mm_cmpeq_epi8(bytes, current);
        const Lanes length = _mm_and_si128(_mm_adds_epu8(row->length[j], one), equal);
        row->length[j] = length;
        farthest = _mm_max_epu8(farthest, _mm_and_si128(length, groups.usable[j]));
        cheap = _mm_max_epu8(cheap, _mm_and_si128(length, cheapest[j]));
    }
    // Most positions have nothing of two bytes: one test instead of two reductions.
    const Lanes longer = _mm_subs_epu8(farthest, one);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(longer, _mm_setzero_si128())) == 0xFFFF) return {0, 0};
    return {HorizontalMax(farthest), HorizontalMax(cheap)};
}

// Longest match among the distances of a member mask.
inline int LongestIn(const MatchRow& row, const Lanes* member) {
    Lanes longest = _mm_setzero_si128();
    for (int j = 0; j < kVectors; ++j)
        longest = _mm_max_epu8(longest, _mm_and_si128(row.length[j], member[j]));
    return HorizontalMax(longest);
}

// Smallest distance among a member mask whose match is at least count long (highest slot
// first); 0 when there is none.
int PickDistance(const MatchRow& row, const Lanes* member, int count) {
    const Lanes wanted = _mm_set1_epi8(static_cast<char>(count));
    for (int j = kVectors - 1; j >= 0; --j) {
        const Lanes length = row.length[j];
        const Lanes atLeast = _mm_cmpeq_epi8(_mm_max_epu8(length, wanted), length);
        const int hits = _mm_movemask_epi8(_mm_and_si128(atLeast, member[j]));
        if (hits) return 256 - (j * kLaneCount + 31 - __builtin_clz(static_cast<unsigned>(hits)));
    }
    return 0;
}

class BackRefParser {
  public:
    BackRefParser(const uint8_t* data, size_t size, uint8_t escape, const SymbolCosts& costs,
                  int quickCounts)
        : data_(data), size_(size), escape_(escape), quickCounts_(quickCounts), costs_(costs),
          groups_(GroupDistances(costs, escape)) {
        for (int v = 0; v < 256; ++v)
            countBits_[v] = costs.bits[v];
        // The first 256 positions see their window in a copy with 256 bytes in front; slots
        // that reach before the data are cleared as they come into view.
        memset(head_, 0, sizeof(head_));
        if (size > 0) memcpy(head_ + 256, data, std::min<size_t>(size, 256));
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
        const uint8_t* data = data_;
        int zeros = 0;
        for (size_t i = length; i-- > 0;) {
            const size_t pos = begin + i;
            Reach reach = ExtendMatches(&row, pos < 256 ? head_ + pos : data + pos - 256, groups_);
            if (pos < 256) {
                ForgetBeforeStart(&row, pos);
                reach = {LongestIn(row, groups_.usable),
                         LongestIn(row, groups_.member[groups_.byCost[0]])};
                if (reach.farthest < 2) reach = {0, 0};
            }
            zeros = data[pos] == 0 ? std::min(zeros + 1, kMaxCount) : 0;
            rest_[i] = LiteralBits(data[pos]) + rest_[i + 1];
            // Distance 0 appends zeros (the decoder's block starts zero-filled); it is usable
            // unless 0 is the escape.
            if (reach.farthest > 0 || (zeros > 1 && escape_ != 0))
                ChooseReference(row, reach, i, escape_ != 0 ? zeros : 0);
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
        memset(reinterpret_cast<uint8_t*>(row->length), 0, 256 - pos);
    }

    void ChooseReference(const MatchRow& row, Reach found, size_t i, int zeros) {
        struct GroupReach {
            int longest;
            int group;
        } reach[kMaxGroups + 1];
        int groupCount = 0;
        if (quickCounts_ > 0) {
            // The cheapest group, and the group of the nearest distance that reaches farthest.
            if (found.cheapest > 0) reach[groupCount++] = {found.cheapest, groups_.byCost[0]};
            if (found.farthest > found.cheapest) {
                const int d = PickDistance(row, groups_.usable, found.farthest);
                reach[groupCount++] = {found.farthest, groups_.groupOf[d]};
            }
        } else {
            // Once a group reaches as far as any distance can, the dearer groups cannot win.
            for (int n = 0; n < groups_.count && found.farthest > 0; ++n) {
                const int g = groups_.byCost[n];
                const int value = n == 0 ? found.cheapest : LongestIn(row, groups_.member[g]);
                if (value > 0) reach[groupCount++] = {value, g};
                if (value == found.farthest) break;
            }
        }
        if (zeros > 0) reach[groupCount++] = {zeros, kZeroGroup};
        if (groupCount == 0) return;
        // Few groups: insertion sort by reach.
        for (int a = 1; a < groupCount; ++a)
            for (int b = a; b > 0 && reach[b].longest < reach[b - 1].longest; --b)
                std::swap(reach[b], reach[b - 1]);

        // Cheapest count up to each group's reach, then the group's own distance cost.
        const uint32_t escapeBits = costs_.bits[escape_];
        Tail best;
        int k = 1;
        for (int r = 0; r < groupCount; ++r) {
            const int longest = reach[r].longest;
            if (quickCounts_ > 0 && longest - k >= 2 * quickCounts_) {
                // The shortest and the longest counts; the ones between seldom win.
                FoldTails(i, k, k + quickCounts_ - 1, &best);
                FoldTails(i, longest - quickCounts_ + 1, longest, &best);
            } else {
                FoldTails(i, k, longest, &best);
            }
            k = reach[r].longest + 1;
            const uint32_t total = escapeBits + GroupBits(reach[r].group) + best.bits;
            if (total < rest_[i]) {
                rest_[i] = total;
                count_[i] = static_cast<uint8_t>(best.count);
                distance_[i] = static_cast<uint8_t>(reach[r].group);
            }
        }
        if (count_[i] > 0 && distance_[i] == kZeroGroup)
            distance_[i] = 0;
        else if (count_[i] > 0)
            distance_[i] =
                static_cast<uint8_t>(PickDistance(row, groups_.member[distance_[i]], count_[i]));
    }

    // The bits of a count k and of everything after it.
    struct Tail {
        uint32_t bits = UINT32_MAX;
        int count = 0;
    };

    // Folds the tails of counts from..to (at most 255) into best. On a tie the longer count
    // wins: fewer references, the same bits. Four counts at a time; the sums stay far below
    // 2^31, so signed comparisons do.
    void FoldTails(size_t i, int from, int to, Tail* best) const {
        const uint32_t* rest = rest_.data() + i;
        Lanes bestBits = _mm_set1_epi32(INT32_MAX);
        Lanes bestCount = _mm_setzero_si128();
        int k = from;
        for (; k + 3 <= to; k += 4) {
            const Lanes tail =
                _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const Lanes*>(countBits_ + k)),
                              _mm_loadu_si128(reinterpret_cast<const Lanes*>(rest + k)));
            const Lanes counts = _mm_add_epi32(_mm_set1_epi32(k), _mm_setr_epi32(0, 1, 2, 3));
            const Lanes better = _mm_cmpgt_epi32(tail, bestBits); // the old one stays
            bestBits =
                _mm_or_si128(_mm_and_si128(better, bestBits), _mm_andnot_si128(better, tail));
            bestCount =
                _mm_or_si128(_mm_and_si128(better, bestCount), _mm_andnot_si128(better, counts));
        }
        uint32_t laneBits[4];
        int32_t laneCount[4];
        _mm_storeu_si128(reinterpret_cast<Lanes*>(laneBits), bestBits);
        _mm_storeu_si128(reinterpret_cast<Lanes*>(laneCount), bestCount);
        for (int lane = 0; lane < 4; ++lane)
            Fold(laneBits[lane], laneCount[lane], best);
        for (; k <= to; ++k)
            Fold(countBits_[k] + rest[k], k, best);
    }

    static void Fold(uint32_t bits, int count, Tail* best) {
        if (count > 0 && (bits < best->bits || (bits == best->bits && count > best->count))) {
            best->bits = bits;
            best->count = count;
        }
    }

    uint32_t GroupBits(int group) const {
        return group == kZeroGroup ? costs_.bits[0] : groups_.bits[group];
    }

    const uint8_t* data_;
    size_t size_;
    uint8_t escape_;
    int quickCounts_;
    SymbolCosts costs_;
    uint32_t countBits_[256];
    DistanceGroups groups_;
    uint8_t head_[512];
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
                                    const SymbolCosts& costs, int quickCounts) {
    BackRefParser parser(data, size, escape, costs, quickCounts);
    return parser.Run();
}
