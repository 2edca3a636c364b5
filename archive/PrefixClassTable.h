// The table-driven decoding of the prefix-class stage, shared by its one-lane and split forms.
#pragma once
#include <stdint.h>
#include <string.h>

// Lookup entries: the bits used in bits 0-3 (so a shift can take the entry as its count), the
// number of symbols in bits 6-7, up to three symbols in the upper bytes.
const unsigned kMaxPerEntry = 3;
const int kCountShift = 6;
const int kSymbolShift = 8;

// The next 64 bits of a bit stream, most significant first.
inline uint64_t LoadBits(const unsigned char* p) {
    uint64_t word;
    memcpy(&word, p, sizeof word);
    return __builtin_bswap64(word);
}

// The fast paths keep at least 56 bits of the bit stream in a register, MSB first. Each refill
// loads the 8 bytes after those already held, an address known a round ahead, so the load
// stays off the decoding chain. Refills go on only while a whole load fits with a byte to
// spare: codes decoded from the window then end before the last byte, where no end-of-stream
// rule can apply.
class BitWindow {
  public:
    BitWindow(const unsigned char* stream, int length, int bytePos, int bitPos)
        : stream_(stream), next_(stream + bytePos), last_(stream + length - kLoad - 1), bits(0),
          held(0), bitPos_(bitPos) {}

    // False when the end of the stream is too near for a whole load.
    bool Refill() {
        if (next_ > last_) return false;
        bits |= LoadBits(next_) >> held;
        next_ += (63 - held) >> 3;
        held |= 56;
        if (bitPos_) {
            // The first load starts at the cursor's byte.
            bits <<= bitPos_;
            held -= unsigned(bitPos_);
            bitPos_ = 0;
            return Refill();
        }
        return true;
    }

    // Bits used from the start of the stream: everything loaded but the bits still held.
    int64_t Position() const { return int64_t(next_ - stream_) * 8 - held + bitPos_; }

    // The cursor after the bits used.
    void Leave(int& bytePos, int& bitPos) const {
        int64_t used = Position();
        bytePos = int(used >> 3);
        bitPos = int(used & 7);
    }

  private:
    static const int kLoad = 8;
    const unsigned char* stream_;
    const unsigned char* next_; // first byte not yet held
    const unsigned char* last_; // last byte a load may start at

  public:
    uint64_t bits;
    unsigned held; // bits of the window that hold the stream

  private:
    int bitPos_; // the cursor's bit before the first load
};

// Table rounds: a refill, then four lookups of the next kLookupBits bits, each giving up to
// three codes. Four lookups take at most 48 bits; a round writes up to 12 symbols in 4-byte
// stores.
const int kLookups = 4;
const int kLookupBits = 12; // PrefixClassDecoder::kLookupBits, checked where both are seen
const int kRoundBits = kLookups * kLookupBits;
const int kRoundRoom = kLookups * kMaxPerEntry + 1;

// One round after a refill; false at an entry left to NextSymbol (four zeros, a bad place),
// with the window still before it.
inline bool TableRound(const uint32_t* lookup, BitWindow& window, unsigned char* output,
                       int& count) {
    // Locals: the byte stores below may alias the window, which would keep it in memory.
    uint64_t bits = window.bits;
    unsigned held = window.held;
    int n = count;
    bool whole = true;
    for (int k = 0; k < kLookups; ++k) {
        uint32_t entry = lookup[bits >> (64 - kLookupBits)];
        if (!entry) {
            whole = false;
            break;
        }
        uint32_t symbols = entry >> kSymbolShift;
        memcpy(output + n, &symbols, 4);
        n += (entry >> kCountShift) & 3;
        bits <<= entry & 63;
        held -= entry & 0x0F;
    }
    window.bits = bits;
    window.held = held;
    count = n;
    return whole;
}

// Rounds while the output has room and the window stays a round's bits before limit.
inline int TableRounds(const uint32_t* lookup, BitWindow& window, unsigned char* output, int count,
                       int capacity, int64_t limit) {
    while (capacity - count >= kRoundRoom && window.Position() + kRoundBits <= limit &&
           window.Refill() && TableRound(lookup, window, output, count)) {
    }
    return count;
}
