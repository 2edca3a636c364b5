#include "archive/Decompressor.h"

#include "archive/CtMem.h"
#include "archive/PrefixClassTable.h"

#include <limits.h>
#include <string.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

const int kPrefixHeader = 3;

[[noreturn]] void Raise(int code) {
    throw CtCompressExcept{code};
}

static_assert(kLookupBits == PrefixClassDecoder::kLookupBits, "one lookup width");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "word tricks assume little-endian");

uint64_t LoadWord(const unsigned char* p) {
    uint64_t word;
    memcpy(&word, p, sizeof word);
    return word;
}

void StoreWord(unsigned char* p, uint64_t word) {
    memcpy(p, &word, sizeof word);
}

} // namespace

unsigned char WidthMask(int width) {
    return static_cast<unsigned char>((1u << width) - 1);
}

void PrefixClassDecoder::LoadTable(const unsigned char* input, int inputLength) {
    if (inputLength < kPrefixHeader) Raise(kErrShortHeader);
    widths_[0] = input[0] >> 4;
    widths_[1] = input[0] & 0x0F;
    widths_[2] = input[1];
    widths_[3] = 8;
    if (widths_[0] > 8 || widths_[1] > 8 || widths_[2] > 8) Raise(kErrClassWidth);
    int count = input[2] ? input[2] : 256;
    if (count > inputLength - kPrefixHeader) Raise(kErrShortHeader);
    memcpy(table_, input + kPrefixHeader, count);
    memset(table_ + count, 0, sizeof table_ - count);
    int base = 0;
    for (int c = 0; c < 4; ++c) {
        bases_[c] = base;
        base += 1 << widths_[c];
    }
    headerLength_ = kPrefixHeader + count;
    bits_ = input + headerLength_;
    bitLength_ = inputLength - headerLength_;
    lookupFilled_ = false;
    bytePos_ = 0;
    bitPos_ = 0;
}

int PrefixClassDecoder::NextSymbol(unsigned char* symbol) {
    if (bytePos_ >= bitLength_) return 0;
    int cls = 0;
    for (;; ++cls) {
        int bit = (bits_[bytePos_] >> (7 - bitPos_)) & 1;
        if (!bit && cls == 3) {
            // The fourth zero is fill when it lies in the last byte. The end stays: a later
            // call would read on from the zeros before it.
            if (bytePos_ == bitLength_ - 1) {
                bytePos_ = bitLength_;
                return 0;
            }
            Raise(kErrFourZeros);
        }
        if (++bitPos_ == 8) {
            bitPos_ = 0;
            if (++bytePos_ >= bitLength_) return 0; // a selector running off the last byte
        }
        if (bit) break;
    }
    int width = widths_[cls];
    // The cursor is inside the stream; the index may reach into the next byte at most.
    if (bitPos_ + width > 8 && bytePos_ + 1 >= bitLength_) Raise(kErrIndexPastEnd);
    unsigned window = unsigned(bits_[bytePos_]) << 8;
    if (bytePos_ + 1 < bitLength_) window |= bits_[bytePos_ + 1];
    int index = (window >> (16 - bitPos_ - width)) & WidthMask(width);
    bitPos_ += width;
    bytePos_ += bitPos_ >> 3;
    bitPos_ &= 7;
    int place = bases_[cls] + index;
    if (place > 255) Raise(kErrPlace);
    *symbol = table_[place];
    return 1;
}

int PrefixClassDecoder::AppendSymbol(unsigned char* output, int capacity, int& count) {
    unsigned char symbol;
    if (!NextSymbol(&symbol)) return 0;
    if (count >= capacity) Raise(kErrTooManySymbols);
    output[count++] = symbol;
    return 1;
}

int PrefixClassDecoder::DecodeAllBySymbol(unsigned char* output, int capacity) {
    int count = 0;
    while (AppendSymbol(output, capacity, count)) {
    }
    return count;
}

void PrefixClassDecoder::FillLookup(unsigned first, uint32_t symbols, unsigned used,
                                    unsigned count) {
    // The entries whose bits start with these codes hold them; those that go on with another
    // whole code are filled again below, up to three codes. Each entry is written at most four
    // times. Four zeros or a bad place first leave an entry 0.
    unsigned span = 1u << (kLookupBits - used);
    uint32_t entry = count ? symbols | used | count << kCountShift : 0;
    for (unsigned k = 0; k < span; ++k)
        lookup_[first + k] = entry;
    if (count == kMaxPerEntry) return;
    for (int cls = 0; cls < 4; ++cls) {
        unsigned width = widths_[cls], length = unsigned(cls) + 1 + width;
        if (used + length > unsigned(kLookupBits)) continue;
        unsigned shift = unsigned(kLookupBits) - used - length;
        for (unsigned index = 0; index < (1u << width) && bases_[cls] + index < 256; ++index)
            FillLookup(first | ((1u << width) | index) << shift,
                       symbols | uint32_t(table_[bases_[cls] + index])
                                     << (kSymbolShift + 8 * count),
                       used + length, count + 1);
    }
}

int PrefixClassDecoder::DecodeAll(unsigned char* output, int capacity, unsigned char* scratch,
                                  int scratchSize) {
    int count = 0;
    if (kSplit && scratch && bitLength_ >= kTableStream) {
        PrepareLookup();
        count = DecodeSplit(output, capacity, scratch, scratchSize);
    }
    count += Decode(output + count, capacity - count);
    unsigned char symbol;
    if (NextSymbol(&symbol)) Raise(kErrTooManySymbols);
    return count;
}

void PrefixClassDecoder::PrepareLookup() {
    if (lookupFilled_) return;
    FillLookup(0, 0, 0, 0);
    lookupFilled_ = true;
}

int PrefixClassDecoder::Decode(unsigned char* output, int room) {
    int count = 0;
    if (bitLength_ >= kTableStream) {
        // Long streams repay a table.
        PrepareLookup();
        BitWindow window(bits_, bitLength_, bytePos_, bitPos_);
        count = TableRounds(lookup_, window, output, count, room, INT64_MAX);
        window.Leave(bytePos_, bitPos_);
    } else {
        // Short ones decode without a table: a code's class is the count of its leading zeros
        // and its length follows from the class. Byte c of lengths is the length of a class-c
        // code; class 4 stands for four zeros. Four codes take at most 48 bits; a round that
        // meets four zeros or a bad place is left to NextSymbol, which raises the error.
        BitWindow window(bits_, bitLength_, bytePos_, bitPos_);
        uint64_t lengths = uint64_t(1) << 32;
        int offsets[5] = {};
        for (int c = 0; c < 4; ++c) {
            lengths |= uint64_t(c + 1 + widths_[c]) << (8 * c);
            offsets[c] = bases_[c] - (1 << widths_[c]); // a code's bits read 2^w + index
        }
        const uint64_t kFourZeros = uint64_t(1) << 59; // caps the leading zeros at 4
        const int kCodes = 4;
        while (room - count >= kCodes && window.Refill()) {
            uint64_t bits = window.bits;
            unsigned used = 0, bad = 0;
            for (int k = 0; k < kCodes; ++k) {
                unsigned cls = unsigned(__builtin_clzll(bits | kFourZeros));
                unsigned length = unsigned(lengths >> (cls * 8)) & 63;
                unsigned place = unsigned(bits >> (64 - length)) + unsigned(offsets[cls]);
                bad |= (cls >> 2) | (place >> 8);
                output[count + k] = table_[place & 0xFF];
                bits <<= length;
                used += length;
            }
            if (bad) break;
            window.bits = bits;
            window.held -= used;
            count += kCodes;
        }
        window.Leave(bytePos_, bitPos_);
    }
    unsigned char symbol;
    while (count < room && NextSymbol(&symbol))
        output[count++] = symbol;
    return count;
}

namespace {

const int kWord = 8;
const int kLongest = 255; // the largest count of a reference or a run

// The fast loop below runs while the output has room for the longest copy or run plus a word
// (and the literals before it): it copies whole words ahead of the output's end and lets the
// next write put the right bytes over the surplus, so it never checks byte by byte. The exact
// loop finishes near the ends.
const int kFastRoom = kLongest + kWord;

// Appends count bytes repeating the pattern that starts distance bytes back (0 to 255, where
// 0 repeats zeros), in words; writes up to kWord - 1 bytes past the count.
void CopyBack(unsigned char* to, int distance, int count) {
    const unsigned char* from = to - distance;
    if (distance < kWord) {
        // Short distances repeat within a word: the pattern is built in a register and stored
        // a whole number of periods apart, so no load waits on the stores just made (bitmaps
        // have long references of this kind). Doubling keeps the period; it goes on until
        // the word holds the whole periods one store writes.
        static const unsigned char kPeriods[kWord] = {8, 8, 8, 6, 8, 5, 6, 7};
        uint64_t pattern = LoadWord(from) & ((uint64_t(1) << 8 * distance) - 1);
        for (int n = distance; n > 0 && n <= kWord / 2; n += n)
            pattern |= pattern << 8 * n;
        int k = 0;
        do {
            StoreWord(to + k, pattern);
            k += kPeriods[distance];
        } while (k < count);
        return;
    }
    // Most references are short: two words without a loop test.
    StoreWord(to, LoadWord(from));
    StoreWord(to + kWord, LoadWord(from + kWord));
    for (int k = 2 * kWord; k < count; k += kWord)
        StoreWord(to + k, LoadWord(from + k));
}

// The fast loop scans the input a block at a time: the escapes' positions come as one mask,
// so finding the next token does not wait on the token before it. Without vector compares
// (the 32-bit build), the mask is a register wide.
#if defined(__SSE2__)
typedef uint64_t BlockMask;
#else
typedef uint32_t BlockMask;
#endif
const int kBlock = 8 * sizeof(BlockMask);

// Bit i set when byte i of the kBlock bytes at p equals value.
BlockMask EscapeMask(const unsigned char* p, unsigned char value) {
    BlockMask mask = 0;
#if defined(__SSE2__)
    const __m128i pattern = _mm_set1_epi8(char(value));
    for (int k = 0; k < kBlock; k += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
        mask |= BlockMask(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, pattern)))) << k;
    }
#else
    // Per word: 0x80 in each byte equal to value (no borrow runs between bytes), then the
    // eight flags gathered into the top byte by one multiply.
    const uint64_t kOnes = 0x0101010101010101ull, kLow7 = kOnes * 0x7F;
    const uint64_t kGather = 0x0102040810204080ull;
    for (int k = 0; k < kBlock; k += kWord) {
        uint64_t x = LoadWord(p + k) ^ kOnes * value;
        uint64_t equal = ~(((x & kLow7) + kLow7) | x) & ~kLow7;
        mask |= BlockMask((equal >> 7) * kGather >> 56) << k;
    }
#endif
    return mask;
}

// Copies count literals (at least one pair of words), up to 2 * kWord - 1 bytes past the count.
void CopyLiterals(const unsigned char* from, unsigned char* to, int count) {
    int k = 0;
    do {
        StoreWord(to + k, LoadWord(from + k));
        StoreWord(to + k + kWord, LoadWord(from + k + kWord));
        k += 2 * kWord;
    } while (k < count);
}

// The exact loops' output: one byte. False when it would pass room (a pause, not a fault).
bool PutByte(unsigned char b, unsigned char* output, int room, int capacity, int& out,
             int overflowCode) {
    if (1 > capacity - out) Raise(overflowCode);
    if (1 > room - out) return false;
    output[out++] = b;
    return true;
}

// The two escape stages differ in their tokens only. A back-reference is E, distance, count;
// a run is R, count and repeats the last byte written, or 0 before any: a reference one byte
// back, or zeros.
struct EscapeTokens {
    int length; // with the escape byte
    int truncatedCode, overflowCode;
};
const EscapeTokens kBackReferences = {3, kErrRefTruncated, kErrRefOverflow};
const EscapeTokens kRuns = {2, kErrRunTruncated, kErrRunOverflow};

// The distance and count of the token at token, whose second byte is not the escape (and
// whose every byte is in the input).
void ReadToken(EscapeTokens tokens, const unsigned char* token, int out, int& distance,
               int& count) {
    if (tokens.length == kRuns.length) {
        distance = out ? 1 : 0;
        count = token[1];
    } else {
        distance = token[1];
        count = token[2];
    }
}

// Where an escape stage stands in its input and its output.
struct EscapeCursor {
    int in, out;
};

// Expands input from at.in into output from at.out. capacity bounds the stage's output, and
// passing it is a fault; room (at most capacity) only pauses: the expansion stops before a
// token whose output would pass it. Unless last, it also stops before a token that is not all
// in the input. True when it stopped for more input (or, with last, at its end), false for room.
// The output's first at.out bytes are what the stage wrote before (in a streaming decoding,
// the last of them), so references are checked against them as in one pass.
bool ExpandEscapes(EscapeTokens tokens, unsigned char escape, const unsigned char* input,
                   int inputLength, bool last, unsigned char* output, int room, int capacity,
                   EscapeCursor& at) {
    int in = at.in, out = at.out, distance, count;
    // Room for a block's literals and a token; a block is read whole, with a token's last
    // bytes and the literal pair's surplus after it.
    const int kTokenRoom = kBlock + kFastRoom, kBlockRead = kBlock + 2 * kWord;
    while (inputLength - in >= kBlockRead && room - out >= kTokenRoom) {
        const int base = in;
        BlockMask escapes = EscapeMask(input + base, escape);
        if (!escapes) {
            CopyLiterals(input + in, output + out, kBlock);
            in += kBlock;
            out += kBlock;
            continue;
        }
        // The block's tokens; literals after the last one are scanned again with the next.
        do {
            int at = base + __builtin_ctzll(escapes);
            CopyLiterals(input + in, output + out, at - in);
            out += at - in;
            in = at;
            if (input[in + 1] == escape) {
                output[out++] = escape;
                in += 2;
            } else {
                ReadToken(tokens, input + in, out, distance, count);
                in += tokens.length;
                if (distance > out) Raise(kErrDistance);
                CopyBack(output + out, distance, count);
                out += count;
            }
            // Drops the token's own bytes too: a count may equal the escape.
            int used = in - base;
            escapes = used < kBlock ? escapes & (~BlockMask(0) << used) : 0;
        } while (escapes && room - out >= kTokenRoom);
    }
    bool more = true;
    while (in < inputLength) {
        unsigned char b = input[in];
        if (b != escape) {
            if (!PutByte(b, output, room, capacity, out, tokens.overflowCode)) {
                more = false;
                break;
            }
            ++in;
            continue;
        }
        if (inputLength - in < 2 || (input[in + 1] != escape && inputLength - in < tokens.length)) {
            if (!last) break;
            Raise(tokens.truncatedCode);
        }
        if (input[in + 1] == escape) {
            if (!PutByte(escape, output, room, capacity, out, tokens.overflowCode)) {
                more = false;
                break;
            }
            in += 2;
            continue;
        }
        ReadToken(tokens, input + in, out, distance, count);
        if (distance > out) Raise(kErrDistance);
        if (count > capacity - out) Raise(tokens.overflowCode);
        if (count > room - out) {
            more = false;
            break;
        }
        in += tokens.length;
        // Byte by byte, so a short distance repeats a pattern; distance 0 writes zeros.
        unsigned char* to = output + out;
        for (int k = 0; k < count; ++k)
            to[k] = distance ? to[k - distance] : 0;
        out += count;
    }
    at.in = in;
    at.out = out;
    return more;
}

// One pass over the whole input.
int ExpandAll(EscapeTokens tokens, unsigned char escape, const unsigned char* input,
              int inputLength, unsigned char* output, int capacity) {
    EscapeCursor at = {0, 0};
    ExpandEscapes(tokens, escape, input, inputLength, true, output, capacity, capacity, at);
    return at.out;
}

} // namespace

int ExpandBackReferences(unsigned char escape, const unsigned char* input, int inputLength,
                         unsigned char* output, int capacity) {
    return ExpandAll(kBackReferences, escape, input, inputLength, output, capacity);
}

int ExpandRuns(unsigned char escape, const unsigned char* input, int inputLength,
               unsigned char* output, int capacity) {
    return ExpandAll(kRuns, escape, input, inputLength, output, capacity);
}

namespace {

// The flags byte and the escape bytes that follow it, and the first stage's input.
struct StreamHeader {
    unsigned flags;
    unsigned char runEscape, refEscape;
    const unsigned char* input;
    int inputLength;
};

StreamHeader ReadHeader(const unsigned char* source, int sourceLength, int decodedSize) {
    if (decodedSize < 0 || decodedSize > INT_MAX - kStageSlack) Raise(kErrDecodedSize);
    if (sourceLength < 1) Raise(kErrShortStream);
    StreamHeader header = {source[0], 0, 0, nullptr, 0};
    int position = 1;
    if (header.flags & kStageRuns) {
        if (sourceLength - position < 1) Raise(kErrShortStream);
        header.runEscape = source[position++];
    }
    if (header.flags & kStageBackRefs) {
        if (sourceLength - position < 1) Raise(kErrShortStream);
        header.refEscape = source[position++];
    }
    header.input = source + position;
    header.inputLength = sourceLength - position;
    return header;
}

// The stages in their fixed order; destination is written only at the end.
int DecodeStages(const unsigned char* source, int sourceLength, unsigned char* destination,
                 int decodedSize) {
    StreamHeader header = ReadHeader(source, sourceLength, decodedSize);
    unsigned flags = header.flags;
    const unsigned char* input = header.input;
    int inputLength = header.inputLength;
    const int blockSize = decodedSize + kStageSlack;

    // Both blocks first: the prefix-class stage decodes half its stream into B.
    CtMem a(blockSize);
    if (!a.data) Raise(kErrNoMemory);
    CtMem b(blockSize);
    if (!b.data) Raise(kErrNoMemory);
    if (flags & kStagePrefixClass) {
        PrefixClassDecoder decoder;
        decoder.LoadTable(input, inputLength);
        inputLength = decoder.DecodeAll(a.data, decodedSize, b.data, blockSize);
        input = a.data;
    }
    if (flags & kStageBackRefs) {
        inputLength = ExpandBackReferences(header.refEscape, input, inputLength, b.data, blockSize);
        input = b.data;
    }
    if (flags & kStageRuns) {
        // Into whichever block is not the input, bounded by what the destination holds.
        unsigned char* target = input == a.data ? b.data : a.data;
        inputLength = ExpandRuns(header.runEscape, input, inputLength, target, decodedSize);
        input = target;
    } else if (inputLength > decodedSize) {
        Raise(kErrCopyOverflow);
    }
    if (inputLength > 0) memcpy(destination, input, inputLength);
    return inputLength;
}

// What a stage has given the next one: bytes [taken, length) of bytes are still to be read;
// last once nothing more will follow.
struct Piece {
    const unsigned char* bytes;
    int length, taken;
    bool last;
};

// The stages chained through windows of a chunk's bytes. Each stage is pulled for more
// output when the one after it has read all it can of what it had; an escape stage keeps the
// last kLongest bytes it wrote before its new output, for the references and runs that reach
// back into them.
class StreamStages {
  public:
    StreamStages(const StreamHeader& header, int decodedSize) : header_(header) {
        if (header.flags & kStagePrefixClass) Add(kPrefixStage, 0, decodedSize);
        if (header.flags & kStageBackRefs)
            Add(kRefStage, header.refEscape, int64_t(decodedSize) + kStageSlack);
        if (header.flags & kStageRuns) Add(kRunStage, header.runEscape, decodedSize);
    }

    // Hands the output to sink; the number of bytes it took.
    int64_t Run(DecodeSink& sink, int decodedSize, int chunk) {
        // The windows: the prefix-class stage's output, and each escape stage's with its
        // history before it; all in one block. A chunk holds the longest token's output.
        // No window needs more than the stages can write (a small entry takes small ones).
        if (chunk > decodedSize + kStageSlack) chunk = decodedSize + kStageSlack;
        if (chunk < kMinStreamChunk) chunk = kMinStreamChunk;
        const int prefixWindow = chunk, escapeWindow = kLongest + chunk;
        CtMem block(prefixWindow + 2 * escapeWindow);
        if (!block.data) Raise(kErrNoMemory);
        unsigned char* next = block.data;
        for (int k = 0; k < count_; ++k) {
            stages_[k].window = next;
            stages_[k].room = stages_[k].kind == kPrefixStage ? prefixWindow : escapeWindow;
            next += stages_[k].room;
        }
        if (header_.flags & kStagePrefixClass)
            prefix_.LoadTable(header_.input, header_.inputLength);
        // Without a run stage the last stage's output is copied, bounded by the decoded size;
        // that bound is checked after the stages, as the one pass checks it.
        bool copied = !(header_.flags & kStageRuns), over = false;
        int64_t total = 0;
        Piece& out = count_ ? stages_[count_ - 1].out : stored_;
        while (Pull(count_)) {
            int length = out.length - out.taken;
            if (copied && length > decodedSize - total) over = true;
            if (!over && length > 0 && !sink.Take(out.bytes + out.taken, length))
                Raise(kErrSinkRefused);
            if (!over) total += length;
            out.taken = out.length;
        }
        if (over) Raise(kErrCopyOverflow);
        return total;
    }

  private:
    enum Kind { kPrefixStage, kRefStage, kRunStage };
    struct Stage {
        Kind kind;
        unsigned char escape;
        int64_t capacity; // the most the stage may write
        unsigned char* window;
        int room;
        int64_t written; // so far
        Piece out;
    };

    void Add(Kind kind, unsigned char escape, int64_t capacity) {
        Stage& s = stages_[count_++];
        s.kind = kind;
        s.escape = escape;
        s.capacity = capacity;
        s.written = 0;
        s.out = {nullptr, 0, 0, false};
    }

    // More output of stage k - 1 (k = 0: the stored input), once its reader has read all it
    // can of the last; false when it has no more.
    bool Pull(int k) {
        if (k == 0) {
            if (stored_.last) return false;
            stored_ = {header_.input, header_.inputLength, 0, true};
            return true;
        }
        Stage& s = stages_[k - 1];
        if (s.out.last) return false;
        // What the reader left: the start of a token, at most two bytes.
        int left = s.out.length - s.out.taken;
        if (s.kind == kPrefixStage) {
            memmove(s.window, s.window + s.out.taken, size_t(left));
            // One symbol more than the capacity is a fault: it is asked for, no more.
            int64_t ask = s.capacity + 1 - s.written;
            int room = ask < s.room - left ? int(ask) : s.room - left;
            int got = prefix_.Decode(s.window + left, room);
            s.written += got;
            if (s.written > s.capacity) Raise(kErrTooManySymbols);
            s.out = {s.window, left + got, 0, got < room};
            return true;
        }
        // The history: the bytes written last, with what the reader left among them.
        int keep = s.written < kLongest ? int(s.written) : kLongest;
        if (s.out.length > keep) memmove(s.window, s.window + s.out.length - keep, size_t(keep));
        EscapeCursor at = {0, keep};
        int64_t bound = keep + (s.capacity - s.written);
        int capacity = bound < INT_MAX ? int(bound) : INT_MAX;
        int room = s.room < capacity ? s.room : capacity;
        const EscapeTokens& tokens = s.kind == kRefStage ? kBackReferences : kRuns;
        bool ended = false;
        for (;;) {
            Piece& in = k == 1 ? stored_ : stages_[k - 2].out;
            if (in.taken == in.length && !in.last && !Pull(k - 1)) break;
            at.in = in.taken;
            bool more = ExpandEscapes(tokens, s.escape, in.bytes, in.length, in.last, s.window,
                                      room, capacity, at);
            in.taken = at.in;
            if (!more) break;
            if (in.last) {
                ended = true;
                break;
            }
            if (!Pull(k - 1)) break;
        }
        s.written += at.out - keep;
        s.out = {s.window, at.out, keep - left, ended};
        return true;
    }

    StreamHeader header_;
    PrefixClassDecoder prefix_;
    Stage stages_[3];
    int count_ = 0;
    Piece stored_ = {nullptr, 0, 0, false};
};

} // namespace

int DecompressDetailed(const unsigned char* source, int sourceLength, unsigned char* destination,
                       int decodedSize, int* written, int* errorCode) {
    int count = 0, code = 0;
    try {
        count = DecodeStages(source, sourceLength, destination, decodedSize);
    } catch (CtCompressExcept& error) {
        code = error.code;
    }
    if (written) *written = count;
    if (errorCode) *errorCode = code;
    return code == 0;
}

int Decompress(const unsigned char* source, int sourceLength, unsigned char* destination,
               int decodedSize) {
    int written = 0;
    return DecompressDetailed(source, sourceLength, destination, decodedSize, &written, nullptr)
               ? written
               : 0;
}

int DecompressStream(const unsigned char* source, int sourceLength, int decodedSize,
                     DecodeSink& sink, int64_t* written, int* errorCode, int chunk) {
    int64_t count = 0;
    int code = 0;
    try {
        StreamHeader header = ReadHeader(source, sourceLength, decodedSize);
        count = StreamStages(header, decodedSize).Run(sink, decodedSize, chunk);
    } catch (CtCompressExcept& error) {
        code = error.code;
    }
    if (written) *written = count;
    if (errorCode) *errorCode = code;
    return code == 0;
}
