#include "tools/compress/Compressor.h"

#include "archive/Decompressor.h"
#include "tools/compress/StageEncoders.h"

#include <new>
#include <utility>
#include <string.h>

namespace {

// Parses with the code of the previous parse this many times at most; the gain after the
// third round is rarely a byte.
constexpr int kCodeRounds = 4;
// A round that gains less than 1/kSmallGain of the size ends the refinement.
constexpr size_t kSmallGain = 1000;

// The bits of StageSet for r, pr, br and pbr.
constexpr uint8_t kRunCombinations = 0xCC;

uint8_t FlagsOf(bool prefixClass, bool backRefs, bool runs) {
    return static_cast<uint8_t>((prefixClass ? kStagePrefixClass : 0) |
                                (backRefs ? kStageBackRefs : 0) | (runs ? kStageRuns : 0));
}

// A stage input or output, seen in place (the caller's data is never copied).
struct Bytes {
    const uint8_t* data;
    size_t size;
};

Bytes Of(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), bytes.size()};
}

bool SameBytes(Bytes a, Bytes b) {
    return a.size == b.size && (a.size == 0 || memcmp(a.data, b.data, a.size) == 0);
}

// The prefix-class code that fits symbols best.
PrefixClassCode CodeFor(Bytes symbols) {
    uint64_t counts[256] = {};
    for (size_t i = 0; i < symbols.size; ++i)
        counts[symbols.data[i]]++;
    return ChoosePrefixClassCode(counts, symbols.size ? symbols.data[symbols.size - 1] : 0);
}

// Keeps the smallest stream offered so far; on a tie the earlier (simpler) one stays.
class BestStream {
  public:
    BestStream(size_t decodedSize, uint8_t runEscape)
        : decodedSize_(decodedSize), runEscape_(runEscape) {}

    // Size of a stream with these flags around a body of bodySize bytes.
    static size_t StreamSize(uint8_t flags, size_t bodySize) {
        return 1 + ((flags & kStageRuns) ? 1 : 0) + ((flags & kStageBackRefs) ? 1 : 0) + bodySize;
    }

    bool Beats(uint8_t flags, size_t bodySize) const {
        return stream_.empty() || StreamSize(flags, bodySize) < stream_.size();
    }

    // Offers symbols, coded by the prefix-class stage when flags ask for it.
    void Offer(uint8_t flags, uint8_t refEscape, Bytes symbols, const PrefixClassCode* code) {
        // The prefix-class stage may not yield more symbols than the decoded size.
        if (code && symbols.size > decodedSize_) return;
        if (!Beats(flags, code ? code->blockSize : symbols.size)) return;
        stream_.clear();
        stream_.push_back(flags);
        if (flags & kStageRuns) stream_.push_back(runEscape_);
        if (flags & kStageBackRefs) stream_.push_back(refEscape);
        if (code)
            AppendPrefixClassBlock(symbols.data, symbols.size, *code, &stream_);
        else
            stream_.insert(stream_.end(), symbols.data, symbols.data + symbols.size);
    }

    std::vector<uint8_t>& stream() { return stream_; }

  private:
    size_t decodedSize_;
    uint8_t runEscape_;
    std::vector<uint8_t> stream_;
};

// The smallest coded parse found so far and the code lengths that gave it.
struct Refinement {
    size_t size = SIZE_MAX;
    SymbolCosts costs;
    uint8_t escape = 0; // the back-reference escape byte those lengths were found with
};

// Codes refs, parses again with that code's lengths and so on while the coded size shrinks,
// offering every coded parse.
void Refine(Bytes input, uint8_t escape, std::vector<uint8_t> refs, uint8_t flags, BestStream* best,
            Refinement* found) {
    found->escape = escape;
    size_t previous = SIZE_MAX;
    for (int round = 0; round < kCodeRounds; ++round) {
        const PrefixClassCode code = CodeFor(Of(refs));
        best->Offer(flags, escape, Of(refs), &code);
        if (code.blockSize < found->size) {
            found->size = code.blockSize;
            found->costs = code.costs;
        }
        // Another parse rarely gains much after a round that gained little.
        if (code.blockSize >= previous || previous - code.blockSize < previous / kSmallGain) break;
        previous = code.blockSize;
        refs = EncodeBackRefs(input.data, input.size, escape, code.costs);
    }
}

// Every combination over one stage input: the data itself, or its run-length coding. The
// coded back-reference parse converges to different codes from different starts: from the
// plain parse, from one where references look cheap, and from the code found for the data
// when this input is its run-length coding (found holds it, and gets the best of this input).
void OfferCombinations(Bytes input, bool runs, StageSet allowed, size_t decodedSize,
                       BestStream* best, Refinement* found) {
    if (StageSetHas(allowed, FlagsOf(false, false, runs)))
        best->Offer(FlagsOf(false, false, runs), 0, input, nullptr);
    if (StageSetHas(allowed, FlagsOf(true, false, runs))) {
        const PrefixClassCode code = CodeFor(input);
        best->Offer(FlagsOf(true, false, runs), 0, input, &code);
    }
    const bool plainRefs = StageSetHas(allowed, FlagsOf(false, true, runs));
    const bool codedRefs = StageSetHas(allowed, FlagsOf(true, true, runs));
    // The back-reference output must fit the decoder's block of decoded size + 256.
    if ((!plainRefs && !codedRefs) || input.size > decodedSize + 256) return;

    const uint8_t escape = LeastFrequentByte(input.data, input.size);
    std::vector<uint8_t> refs = EncodeBackRefs(input.data, input.size, escape, FlatCosts());
    if (plainRefs) best->Offer(FlagsOf(false, true, runs), escape, Of(refs), nullptr);
    if (!codedRefs) return;
    const uint8_t flags = FlagsOf(true, true, runs);
    Refinement here;
    if (found->size == SIZE_MAX) {
        Refine(input, escape, std::move(refs), flags, best, &here);
        SymbolCosts cheapReferences = FlatCosts();
        cheapReferences.bits[escape] = 1;
        Refine(input, escape, EncodeBackRefs(input.data, input.size, escape, cheapReferences),
               flags, best, &here);
    } else {
        // The escape changes with the input; it keeps the length the old one had.
        SymbolCosts warm = found->costs;
        std::swap(warm.bits[escape], warm.bits[found->escape]);
        Refine(input, escape, EncodeBackRefs(input.data, input.size, escape, warm), flags, best,
               &here);
    }
    *found = here;
}

bool DecodesBack(const std::vector<uint8_t>& stream, const uint8_t* data, size_t size,
                 CompressStats* stats) {
    // Room as the installer gives it: decoded size + kEntrySlack, never under 256.
    std::vector<uint8_t> decoded(size + kEntrySlack < 256 ? 256 : size + kEntrySlack, 0);
    int written = 0;
    int error = 0;
    const int ok = DecompressDetailed(stream.data(), static_cast<int>(stream.size()),
                                      decoded.data(), static_cast<int>(size), &written, &error);
    if (ok && written == static_cast<int>(size) &&
        (size == 0 || memcmp(decoded.data(), data, size) == 0))
        return true;
    stats->fallback = true;
    stats->failedFlags = stream[0];
    stats->checkError = ok ? 0 : error;
    return false;
}

std::vector<uint8_t> PlainStream(const uint8_t* data, size_t size) {
    std::vector<uint8_t> stream(size + 1, 0);
    if (size > 0) memcpy(stream.data() + 1, data, size);
    return stream;
}

} // namespace

bool ParseStageSet(const char* text, StageSet* set) {
    if (strcmp(text, "auto") == 0) {
        *set = kStagesAuto;
        return true;
    }
    if (strcmp(text, "none") == 0) {
        *set = kStagesNone;
        return true;
    }
    unsigned flags = 0;
    for (const char* c = text; *c; ++c) {
        const unsigned bit = *c == 'p'   ? kStagePrefixClass
                             : *c == 'b' ? kStageBackRefs
                             : *c == 'r' ? kStageRuns
                                         : 0;
        if (bit == 0 || (flags & bit)) return false;
        flags |= bit;
    }
    if (flags == 0) return false;
    set->mask = static_cast<uint8_t>(1u << (flags >> 4));
    return true;
}

std::vector<uint8_t> CompressBest(const uint8_t* data, size_t size, StageSet allowed,
                                  CompressStats* stats) {
    CompressStats local;
    CompressStats* out = stats ? stats : &local;
    *out = CompressStats();
    if (size > kCompressMaxSize) return {};
    try {
        const uint8_t runEscape = LeastFrequentByte(data, size);
        BestStream best(size, runEscape);
        const Bytes input{data, size};
        Refinement found;
        OfferCombinations(input, false, allowed, size, &best, &found);
        if (allowed.mask & kRunCombinations) {
            const std::vector<uint8_t> runs = EncodeRuns(data, size, runEscape);
            // Unchanged by the run stage, the data can only grow by the escape byte.
            if (!SameBytes(Of(runs), input))
                OfferCombinations(Of(runs), true, allowed, size, &best, &found);
        }
        std::vector<uint8_t>& stream = best.stream();
        if (stream.empty()) return PlainStream(data, size);
        out->flags = stream[0];
        if (stream[0] != 0 && !DecodesBack(stream, data, size, out)) {
            out->flags = 0;
            return PlainStream(data, size);
        }
        return std::move(stream);
    } catch (const std::bad_alloc&) {
        return {};
    }
}
