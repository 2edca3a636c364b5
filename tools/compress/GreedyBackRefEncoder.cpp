#include "tools/compress/StageEncoders.h"

#include <algorithm>
#include <string.h>

namespace {

constexpr int kWindow = 255;
constexpr int kMaxCount = 255;
constexpr int kHashBits = 14;
// Candidates looked at per position: the window is short, so few are needed.
constexpr int kChainDepth = 8;
constexpr int kNoPosition = -1;

uint32_t HashOf(const uint8_t* p) {
    const uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                       static_cast<uint32_t>(p[2]) << 16;
    return (v * 2654435761u) >> (32 - kHashBits);
}

class GreedyParser {
  public:
    GreedyParser(const uint8_t* data, size_t size, uint8_t escape, const SymbolCosts& costs,
                 bool lazy)
        : data_(data), size_(size), escape_(escape), lazy_(lazy), costs_(costs),
          head_(1u << kHashBits) {
        std::fill(head_.begin(), head_.end(), kNoPosition);
    }

    std::vector<uint8_t> Run() {
        std::vector<uint8_t> out;
        out.reserve(size_ + size_ / 16 + 16);
        size_t i = 0;
        while (i < size_) {
            int distance = 0;
            const int count = LongestMatch(i, &distance);
            if (count > 0 && ReferenceBits(distance, count) < LiteralBits(i, count) &&
                !(lazy_ && LongerNext(i, count))) {
                out.push_back(escape_);
                out.push_back(static_cast<uint8_t>(distance));
                out.push_back(static_cast<uint8_t>(count));
                for (int k = 0; k < count; ++k)
                    Insert(i + static_cast<size_t>(k));
                i += static_cast<size_t>(count);
            } else {
                out.push_back(data_[i]);
                if (data_[i] == escape_) out.push_back(escape_);
                Insert(i);
                ++i;
            }
        }
        return out;
    }

  private:
    // Whether the match one byte on is longer: then this byte goes as a literal.
    bool LongerNext(size_t pos, int count) {
        if (size_ - pos < 4) return false;
        Insert(pos);
        int distance = 0;
        const bool longer = LongestMatch(pos + 1, &distance) > count;
        Forget(pos);
        return longer;
    }

    void Insert(size_t pos) {
        if (size_ - pos < 3) return;
        int32_t& head = head_[HashOf(data_ + pos)];
        prev_[pos % 256] = head;
        head = static_cast<int32_t>(pos);
    }

    // Undoes the Insert of the latest position.
    void Forget(size_t pos) {
        if (size_ - pos < 3) return;
        head_[HashOf(data_ + pos)] = prev_[pos % 256];
    }

    // The longest match at pos, the nearest distance on a tie; distance 0 stands for zeros,
    // which the decoder's zero-filled block supplies. Returns 0 without one of 3 bytes or more.
    int LongestMatch(size_t pos, int* distance) const {
        const size_t limit = std::min<size_t>(size_ - pos, kMaxCount);
        int best = 0;
        if (limit < 3) return 0;
        if (escape_ != 0 && data_[pos] == 0) {
            size_t zeros = 0;
            while (zeros < limit && data_[pos + zeros] == 0)
                ++zeros;
            if (zeros >= 3) {
                best = static_cast<int>(zeros);
                *distance = 0;
            }
        }
        int32_t candidate = head_[HashOf(data_ + pos)];
        for (int depth = 0; depth < kChainDepth && candidate != kNoPosition; ++depth) {
            const size_t d = pos - static_cast<size_t>(candidate);
            if (d > kWindow) break;
            // A distance equal to the escape would read as a literal escape byte.
            if (d != escape_) {
                const uint8_t* a = data_ + pos;
                const uint8_t* b = data_ + candidate;
                size_t n = 0;
                while (n < limit && a[n] == b[n])
                    ++n;
                if (static_cast<int>(n) > best) {
                    best = static_cast<int>(n);
                    *distance = static_cast<int>(d);
                    if (n == limit) break;
                }
            }
            candidate = prev_[static_cast<size_t>(candidate) % 256];
        }
        return best >= 3 ? best : 0;
    }

    uint32_t ReferenceBits(int distance, int count) const {
        return costs_.bits[escape_] + costs_.bits[distance] + costs_.bits[count];
    }

    uint32_t LiteralBits(size_t pos, int count) const {
        uint32_t bits = 0;
        for (int k = 0; k < count; ++k) {
            const uint8_t v = data_[pos + static_cast<size_t>(k)];
            bits += v == escape_ ? 2u * costs_.bits[v] : costs_.bits[v];
        }
        return bits;
    }

    const uint8_t* data_;
    size_t size_;
    uint8_t escape_;
    bool lazy_;
    SymbolCosts costs_;
    std::vector<int32_t> head_;
    // The chain of earlier positions with the same hash; only the last 256 can be in reach.
    int32_t prev_[256] = {};
};

} // namespace

std::vector<uint8_t> EncodeBackRefsGreedy(const uint8_t* data, size_t size, uint8_t escape,
                                          const SymbolCosts& costs, bool lazy) {
    GreedyParser parser(data, size, escape, costs, lazy);
    return parser.Run();
}
