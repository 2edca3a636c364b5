#include "tools/compress/StageEncoders.h"

#include <algorithm>

namespace {

// One choice of widths, laid over the 256 places: class c starts at start[c] and holds
// capacity[c] places; classes 0 to 2 are filled in order of cost, class 3 takes the rest.
struct ClassLayout {
    int start[4];
    int capacity[4];
    int cost[4];
    int fillOrder[4];

    ClassLayout(int w0, int w1, int w2) {
        const int widths[4] = {w0, w1, w2, 8};
        int next = 0;
        for (int c = 0; c < 4; ++c) {
            start[c] = next;
            const int end = c == 3 ? 256 : std::min(next + (1 << widths[c]), 256);
            capacity[c] = std::max(end - next, 0);
            cost[c] = c + 1 + widths[c];
            next = std::max(end, next);
            fillOrder[c] = c;
        }
        // Class 3 (12 bits) is always the dearest; the others go cheapest first.
        std::stable_sort(fillOrder, fillOrder + 3, [&](int a, int b) { return cost[a] < cost[b]; });
    }
};

// How ranks (symbols by falling count) land in a layout.
struct Assignment {
    int firstRank[4]; // rank of the first symbol of each class
    int used[4];      // symbols in each class
    uint64_t bits;    // bit-stream length
    int nextClass;    // class that a further symbol would join (-1 when all places are taken)

    Assignment(const ClassLayout& layout, const uint64_t* prefix, int distinct) {
        int rank = 0;
        bits = 0;
        nextClass = -1;
        for (int i = 0; i < 4; ++i) {
            const int c = layout.fillOrder[i];
            used[c] = std::min(layout.capacity[c], distinct - rank);
            firstRank[c] = rank;
            bits += static_cast<uint64_t>(layout.cost[c]) * (prefix[rank + used[c]] - prefix[rank]);
            rank += used[c];
            if (nextClass < 0 && used[c] < layout.capacity[c]) nextClass = c;
        }
    }

    int ClassOfRank(int rank) const {
        for (int c = 0; c < 4; ++c)
            if (rank >= firstRank[c] && rank < firstRank[c] + used[c]) return c;
        return -1;
    }

    // The class holding the highest place in use.
    int LastPlaceClass(const ClassLayout& layout) const {
        int best = -1;
        for (int c = 0; c < 4; ++c)
            if (used[c] > 0 && (best < 0 || layout.start[c] > layout.start[best])) best = c;
        return best;
    }
};

class BitWriter {
  public:
    explicit BitWriter(std::vector<uint8_t>* out) : out_(out) {}
    void Put(uint32_t value, int length) {
        acc_ = (acc_ << length) | value;
        pending_ += length;
        while (pending_ >= 8) {
            pending_ -= 8;
            out_->push_back(static_cast<uint8_t>(acc_ >> pending_));
        }
    }
    // Fills the last byte with zero bits.
    void Finish() {
        if (pending_ > 0) out_->push_back(static_cast<uint8_t>(acc_ << (8 - pending_)));
        pending_ = 0;
    }

  private:
    std::vector<uint8_t>* out_;
    uint64_t acc_ = 0;
    int pending_ = 0;
};

int WidthOfClass(const PrefixClassCode& code, int c) {
    return c == 3 ? 8 : code.widths[c];
}

int ClassOfPlace(const PrefixClassCode& code, int place, int* classStart) {
    int start = 0;
    for (int c = 0; c < 3; ++c) {
        const int end = start + (1 << code.widths[c]);
        if (place < end) {
            *classStart = start;
            return c;
        }
        start = end;
    }
    *classStart = start;
    return 3;
}

} // namespace

PrefixClassCode ChoosePrefixClassCode(const uint64_t counts[256], uint8_t lastSymbol) {
    int byRank[256];
    int distinct = 0;
    for (int v = 0; v < 256; ++v)
        if (counts[v] > 0) byRank[distinct++] = v;
    std::stable_sort(byRank, byRank + distinct,
                     [&](int a, int b) { return counts[a] > counts[b]; });
    int rankOf[256];
    std::fill(rankOf, rankOf + 256, -1);
    uint64_t prefix[257] = {};
    for (int r = 0; r < distinct; ++r) {
        rankOf[byRank[r]] = r;
        prefix[r + 1] = prefix[r] + counts[byRank[r]];
    }

    PrefixClassCode best;
    uint64_t bestSize = UINT64_MAX;
    int bestWidths[3] = {0, 0, 0};
    for (int w0 = 0; w0 <= 8; ++w0)
        for (int w1 = 0; w1 <= 8; ++w1)
            for (int w2 = 0; w2 <= 8; ++w2) {
                const ClassLayout layout(w0, w1, w2);
                const Assignment a(layout, prefix, distinct);
                int listed = 1;
                const int lastClass = a.LastPlaceClass(layout);
                if (lastClass >= 0) {
                    listed = layout.start[lastClass] + a.used[lastClass];
                    // Places past the table read as 0, so byte 0 can sit there unlisted.
                    if (rankOf[0] >= 0 && a.ClassOfRank(rankOf[0]) == lastClass && listed > 1)
                        --listed;
                }
                uint64_t size = 3 + listed + (a.bits + 7) / 8;
                // A width-0 symbol whose selector ends on the stream's last bit is lost by the
                // decoder; one more zero byte lets it read on and stop on four zero bits.
                if (distinct > 0 && a.bits % 8 == 0) {
                    const int c = a.ClassOfRank(rankOf[lastSymbol]);
                    if (c < 3 && (c == 0 ? w0 : c == 1 ? w1 : w2) == 0) ++size;
                }
                if (size < bestSize) {
                    bestSize = size;
                    bestWidths[0] = w0;
                    bestWidths[1] = w1;
                    bestWidths[2] = w2;
                }
            }

    const ClassLayout layout(bestWidths[0], bestWidths[1], bestWidths[2]);
    const Assignment a(layout, prefix, distinct);
    for (int c = 0; c < 3; ++c)
        best.widths[c] = static_cast<uint8_t>(bestWidths[c]);
    best.blockSize = bestSize;
    for (int c = 0; c < 4; ++c)
        for (int i = 0; i < a.used[c]; ++i) {
            const int value = byRank[a.firstRank[c] + i];
            const int place = layout.start[c] + i;
            best.table[place] = static_cast<uint8_t>(value);
            best.place[value] = static_cast<uint8_t>(place);
        }
    const int lastClass = a.LastPlaceClass(layout);
    best.listed = 1;
    if (lastClass >= 0) {
        best.listed = layout.start[lastClass] + a.used[lastClass];
        if (rankOf[0] >= 0 && a.ClassOfRank(rankOf[0]) == lastClass && best.listed > 1) {
            // Swap byte 0 into the last place of its class, then leave that place out.
            const int last = best.listed - 1;
            const int other = best.table[last];
            std::swap(best.table[last], best.table[best.place[0]]);
            best.place[other] = best.place[0];
            best.place[0] = static_cast<uint8_t>(last);
            --best.listed;
        }
    }
    const int spareCost = a.nextClass >= 0 ? layout.cost[a.nextClass] : layout.cost[3];
    for (int v = 0; v < 256; ++v)
        best.costs.bits[v] = static_cast<uint8_t>(
            rankOf[v] >= 0 ? layout.cost[a.ClassOfRank(rankOf[v])] : spareCost);
    return best;
}

void AppendPrefixClassBlock(const uint8_t* data, size_t size, const PrefixClassCode& code,
                            std::vector<uint8_t>* out) {
    out->push_back(static_cast<uint8_t>(code.widths[0] << 4 | code.widths[1]));
    out->push_back(code.widths[2]);
    out->push_back(static_cast<uint8_t>(code.listed & 0xFF));
    out->insert(out->end(), code.table, code.table + code.listed);

    // Selector (c zero bits, then a one) and index of every byte value, as one number.
    uint16_t pattern[256];
    uint8_t length[256];
    for (int v = 0; v < 256; ++v) {
        int classStart = 0;
        const int c = ClassOfPlace(code, code.place[v], &classStart);
        const int width = WidthOfClass(code, c);
        pattern[v] = static_cast<uint16_t>(1 << width | (code.place[v] - classStart));
        length[v] = static_cast<uint8_t>(c + 1 + width);
    }
    BitWriter writer(out);
    uint64_t bits = 0;
    for (size_t i = 0; i < size; ++i) {
        writer.Put(pattern[data[i]], length[data[i]]);
        bits += length[data[i]];
    }
    writer.Finish();
    if (size > 0 && bits % 8 == 0) {
        int classStart = 0;
        const int c = ClassOfPlace(code, code.place[data[size - 1]], &classStart);
        if (WidthOfClass(code, c) == 0) out->push_back(0);
    }
}

std::vector<uint8_t> EncodePrefixClass(const uint8_t* data, size_t size) {
    uint64_t counts[256] = {};
    for (size_t i = 0; i < size; ++i)
        counts[data[i]]++;
    const PrefixClassCode code = ChoosePrefixClassCode(counts, size > 0 ? data[size - 1] : 0);
    std::vector<uint8_t> out;
    out.reserve(code.blockSize);
    AppendPrefixClassBlock(data, size, code, &out);
    return out;
}
