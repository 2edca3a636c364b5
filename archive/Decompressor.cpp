#include "archive/Decompressor.h"

#include "archive/ArchiveEntry.h"
#include "archive/CtMem.h"
#include "support/LogChannel.h"
#include "support/Text.h"

#include <limits.h>
#include <string.h>

namespace {

// Lookup entries: the bits used in bits 0-3 (so a shift can take the entry as its count), the
// number of symbols in bits 6-7, up to three symbols in the upper bytes.
const unsigned kMaxPerEntry = 3;
const int kCountShift = 6;
const int kSymbolShift = 8;
const int kPrefixHeader = 3;

[[noreturn]] void Raise(int code) {
    throw CtCompressExcept{code};
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "word tricks assume little-endian");

uint64_t LoadWord(const unsigned char* p) {
    uint64_t word;
    memcpy(&word, p, sizeof word);
    return word;
}

void StoreWord(unsigned char* p, uint64_t word) {
    memcpy(p, &word, sizeof word);
}

// The next 64 bits of a bit stream, most significant first.
uint64_t LoadBits(const unsigned char* p) {
    return __builtin_bswap64(LoadWord(p));
}

const uint64_t kOnes = 0x0101010101010101ull;

// Bytes before the first one equal to value among the 8 of word (8 when none is).
int BytesBefore(uint64_t word, unsigned char value) {
    uint64_t x = word ^ (kOnes * value);
    uint64_t zero = (x - kOnes) & ~x & (kOnes << 7);
    return zero ? __builtin_ctzll(zero) >> 3 : 8;
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
    bytePos_ = 0;
    bitPos_ = 0;
}

int PrefixClassDecoder::NextSymbol(unsigned char* symbol) {
    if (bytePos_ >= bitLength_) return 0;
    int cls = 0;
    for (;; ++cls) {
        int bit = (bits_[bytePos_] >> (7 - bitPos_)) & 1;
        if (!bit && cls == 3) {
            // The fourth zero is fill when it lies in the last byte; it is not consumed.
            if (bytePos_ == bitLength_ - 1) return 0;
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

int PrefixClassDecoder::DecodeAllBySymbol(unsigned char* output, int capacity) {
    int count = 0;
    unsigned char symbol;
    while (NextSymbol(&symbol)) {
        if (count >= capacity) Raise(kErrTooManySymbols);
        output[count++] = symbol;
    }
    return count;
}

void PrefixClassDecoder::BuildLookup() {
    // One code per entry first: selector and index bits at the top of the 12.
    uint16_t single[1 << kLookupBits] = {};
    for (int cls = 0; cls < 4; ++cls) {
        int width = widths_[cls];
        int length = cls + 1 + width;
        int spread = 1 << (kLookupBits - length);
        for (int index = 0; index < (1 << width) && bases_[cls] + index < 256; ++index) {
            uint16_t entry = uint16_t(length << 8 | table_[bases_[cls] + index]);
            int first = ((1 << width) | index) << (kLookupBits - length);
            for (int k = 0; k < spread; ++k)
                single[first + k] = entry;
        }
    }
    // Then as many more codes as fit whole in the bits the first ones leave, up to three.
    const unsigned kMask = (1u << kLookupBits) - 1;
    for (unsigned bits = 0; bits <= kMask; ++bits) {
        uint32_t entry = 0;
        unsigned used = 0, count = 0;
        while (count < kMaxPerEntry) {
            uint32_t code = single[(bits << used) & kMask];
            if (!code || used + (code >> 8) > unsigned(kLookupBits)) break;
            entry |= (code & 0xFF) << (kSymbolShift + 8 * count);
            used += code >> 8;
            ++count;
        }
        // The first code is always whole: only four zeros or a bad place leave it empty.
        lookup_[bits] = count ? entry | used | count << kCountShift : 0;
    }
}

int PrefixClassDecoder::DecodeAll(unsigned char* output, int capacity) {
    int count = 0;
    // The table path reads 8 bytes at a time and uses at most 4 x 13 bits of them, and only
    // while ten bytes lie ahead: its codes end at least two bytes before the last, so no
    // end-of-stream rule can apply to them. The rest goes symbol by symbol, and so do short
    // streams, which would not repay building the table.
    const int kAhead = 10, kLookups = 4, kMinimumStream = 256;
    const int kRoundRoom = kLookups * kMaxPerEntry + 1; // each lookup stores 4 bytes
    if (bitLength_ >= kMinimumStream) {
        BuildLookup();
        const uint32_t* lookup = lookup_;
        const unsigned char* stream = bits_;
        const int streamLength = bitLength_;
        int position = bytePos_;
        unsigned bit = bitPos_;
        bool rare = false;
        while (!rare && streamLength - position >= kAhead && capacity - count >= kRoundRoom) {
            uint64_t window = LoadBits(stream + position) << bit;
            unsigned used = 0;
            for (int k = 0; k < kLookups; ++k) {
                uint32_t entry = lookup[window >> (64 - kLookupBits)];
                if (!entry) {
                    rare = true; // NextSymbol settles it with the right error
                    break;
                }
                uint32_t symbols = entry >> kSymbolShift;
                memcpy(output + count, &symbols, 4);
                count += (entry >> kCountShift) & 3;
                window <<= entry & 63;
                used += entry & 0x0F;
            }
            bit += used;
            position += bit >> 3;
            bit &= 7;
        }
        bytePos_ = position;
        bitPos_ = int(bit);
    }
    unsigned char symbol;
    while (NextSymbol(&symbol)) {
        if (count >= capacity) Raise(kErrTooManySymbols);
        output[count++] = symbol;
    }
    return count;
}

namespace {

const int kWord = 8;

// Copies the bytes before the next escape byte (or the end of the input) and moves in and out
// past them; raises overflowCode when they do not fit. Whole words are copied ahead of the
// check where the room allows: bytes past the output so far are scratch until written for good.
void CopyLiterals(unsigned char escape, const unsigned char* input, int inputLength, int& in,
                  unsigned char* output, int capacity, int& out, int overflowCode) {
    while (in < inputLength) {
        if (inputLength - in >= kWord && capacity - out >= kWord) {
            uint64_t word = LoadWord(input + in);
            StoreWord(output + out, word);
            int literals = BytesBefore(word, escape);
            in += literals;
            out += literals;
            if (literals < kWord) return;
            // A long stretch: let the library find its end.
            const void* hit = memchr(input + in, escape, inputLength - in);
            int rest =
                hit ? int(static_cast<const unsigned char*>(hit) - input) - in : inputLength - in;
            if (rest > capacity - out) Raise(overflowCode);
            memcpy(output + out, input + in, rest);
            in += rest;
            out += rest;
            return;
        } else {
            if (input[in] == escape) return;
            if (1 > capacity - out) Raise(overflowCode);
            output[out++] = input[in++];
        }
    }
}

} // namespace

int ExpandBackReferences(unsigned char escape, const unsigned char* input, int inputLength,
                         unsigned char* output, int capacity) {
    int in = 0, out = 0;
    for (;;) {
        CopyLiterals(escape, input, inputLength, in, output, capacity, out, kErrRefOverflow);
        if (in == inputLength) return out;
        if (inputLength - in < 2) Raise(kErrRefTruncated);
        int distance = input[in + 1];
        if (distance == escape) {
            if (1 > capacity - out) Raise(kErrRefOverflow);
            output[out++] = escape;
            in += 2;
            continue;
        }
        if (inputLength - in < 3) Raise(kErrRefTruncated);
        int count = input[in + 2];
        in += 3;
        if (distance > out) Raise(kErrDistance);
        if (count > capacity - out) Raise(kErrRefOverflow);
        unsigned char* to = output + out;
        if (distance == 0) {
            // Copies the block's own (fresh, zero) bytes onto themselves.
            memset(to, 0, count);
        } else if (distance >= kWord && capacity - out - count >= kWord) {
            for (int k = 0; k < count; k += kWord)
                StoreWord(to + k, LoadWord(to + k - distance));
        } else {
            // Overlapping: byte by byte, so a short distance repeats a pattern.
            for (int k = 0; k < count; ++k)
                to[k] = to[k - distance];
        }
        out += count;
    }
}

int ExpandRuns(unsigned char escape, const unsigned char* input, int inputLength,
               unsigned char* output, int capacity) {
    int in = 0, out = 0;
    unsigned char previous = 0;
    for (;;) {
        int before = out;
        CopyLiterals(escape, input, inputLength, in, output, capacity, out, kErrRunOverflow);
        if (out > before) previous = output[out - 1];
        if (in == inputLength) return out;
        if (inputLength - in < 2) Raise(kErrRunTruncated);
        int count = input[in + 1];
        in += 2;
        if (count == escape) {
            if (1 > capacity - out) Raise(kErrRunOverflow);
            output[out++] = escape;
            previous = escape;
            continue;
        }
        if (count > capacity - out) Raise(kErrRunOverflow);
        memset(output + out, previous, count);
        out += count;
    }
}

namespace {

// The stages in their fixed order; destination is written only at the end.
int DecodeStages(const unsigned char* source, int sourceLength, unsigned char* destination,
                 int decodedSize) {
    if (decodedSize < 0 || decodedSize > INT_MAX - kStageSlack) Raise(kErrDecodedSize);
    if (sourceLength < 1) Raise(kErrShortStream);
    unsigned flags = source[0];
    int position = 1;
    unsigned char runEscape = 0, refEscape = 0;
    if (flags & kStageRuns) {
        if (sourceLength - position < 1) Raise(kErrShortStream);
        runEscape = source[position++];
    }
    if (flags & kStageBackRefs) {
        if (sourceLength - position < 1) Raise(kErrShortStream);
        refEscape = source[position++];
    }
    const unsigned char* input = source + position;
    int inputLength = sourceLength - position;
    const int blockSize = decodedSize + kStageSlack;

    CtMem a(blockSize);
    if (!a.data) Raise(kErrNoMemory);
    if (flags & kStagePrefixClass) {
        PrefixClassDecoder decoder;
        decoder.LoadTable(input, inputLength);
        inputLength = decoder.DecodeAll(a.data, decodedSize);
        input = a.data;
    }
    CtMem b(blockSize);
    if (!b.data) Raise(kErrNoMemory);
    if (flags & kStageBackRefs) {
        inputLength = ExpandBackReferences(refEscape, input, inputLength, b.data, blockSize);
        input = b.data;
    }
    if (flags & kStageRuns) {
        // Into whichever block is not the input, bounded by what the destination holds.
        unsigned char* target = input == a.data ? b.data : a.data;
        inputLength = ExpandRuns(runEscape, input, inputLength, target, decodedSize);
        input = target;
    } else if (inputLength > decodedSize) {
        Raise(kErrCopyOverflow);
    }
    if (inputLength > 0) memcpy(destination, input, inputLength);
    return inputLength;
}

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
    int written = 0, code = 0;
    if (DecompressDetailed(source, sourceLength, destination, decodedSize, &written, &code))
        return written;
    ReportReadResult({kReadDecodeError, code});
    return 0;
}
