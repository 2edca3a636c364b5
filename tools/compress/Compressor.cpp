#include "tools/compress/Compressor.h"

#include "archive/Decompressor.h"
#include "tools/compress/StageEncoders.h"

#include <algorithm>
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
        stream_.reserve(StreamSize(flags, code ? code->blockSize : symbols.size));
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

// What a level spends on the search. The back-reference parse is nearly all of the time, so
// the levels differ in how many parses they run and on which inputs.
enum class ParseKind {
    kGreedy,
    kLazy,
    kQuick, // the exact parse, weighing fewer counts and distance groups
    kExact,
};

// Counts the quick parse weighs at either end of a long match.
constexpr int kQuickCounts = 4;

struct LevelPlan {
    ParseKind parse;
    // Starting costs: 0, from the plain parse of the whole input (a parse of its own); n, from
    // the plain parse of one 2^n-th of the input in spread-out chunks.
    int sampleShift;
    bool bothInputs; // parse the data and its run-length coding; else the one the sample favours
    int rounds;      // coded parses at most
    bool cheapStart; // also start from a parse where references look cheap
};

// On a 9.8 MB mix of programs, texts and images, per core: level 1 packs 2.1% larger than
// level 9 at 23 times its speed, the default (3) 1.4% larger at 14 times; level 8 is within
// 0.001% of 9. Sampled starting costs do as well as the whole plain parse for a fraction of it.
constexpr LevelPlan kPlans[kLevelBest] = {
    {ParseKind::kGreedy, 6, false, 1, false},        {ParseKind::kLazy, 6, false, 1, false},
    {ParseKind::kLazy, 6, false, 2, false},          {ParseKind::kQuick, 5, false, 1, false},
    {ParseKind::kExact, 3, false, 1, false},         {ParseKind::kExact, 3, false, 2, false},
    {ParseKind::kExact, 3, true, 2, false},          {ParseKind::kExact, 0, true, 3, true},
    {ParseKind::kExact, 0, true, kCodeRounds, true},
};

// The back-reference parse a level makes.
std::vector<uint8_t> Parse(Bytes input, uint8_t escape, const SymbolCosts& costs,
                           const LevelPlan& plan) {
    switch (plan.parse) {
    case ParseKind::kGreedy:
    case ParseKind::kLazy:
        return EncodeBackRefsGreedy(input.data, input.size, escape, costs,
                                    plan.parse == ParseKind::kLazy);
    case ParseKind::kQuick:
        return EncodeBackRefs(input.data, input.size, escape, costs, kQuickCounts);
    case ParseKind::kExact:
        break;
    }
    return EncodeBackRefs(input.data, input.size, escape, costs);
}

// The smallest coded parse found so far and the code lengths that gave it.
struct Refinement {
    size_t size = SIZE_MAX;
    SymbolCosts costs;
    uint8_t escape = 0; // the back-reference escape byte those lengths were found with
};

// Codes refs, parses again with that code's lengths and so on while the coded size shrinks,
// offering every coded parse.
void Refine(Bytes input, uint8_t escape, std::vector<uint8_t> refs, uint8_t flags,
            const LevelPlan& plan, BestStream* best, Refinement* found) {
    found->escape = escape;
    size_t previous = SIZE_MAX;
    for (int round = 0;; ++round) {
        const PrefixClassCode code = CodeFor(Of(refs));
        best->Offer(flags, escape, Of(refs), &code);
        if (code.blockSize < found->size) {
            found->size = code.blockSize;
            found->costs = code.costs;
        }
        // Another parse rarely gains much after a round that gained little.
        if (round + 1 >= plan.rounds || code.blockSize >= previous ||
            previous - code.blockSize < previous / kSmallGain)
            break;
        previous = code.blockSize;
        refs = Parse(input, escape, code.costs, plan);
    }
}

// The sample a level takes its starting costs from: chunks spread evenly, one 2^shift-th of the
// input; the whole input when it is small. Chunks are far longer than the window, so matches
// look much as they do in the whole.
std::vector<uint8_t> SampleOf(Bytes input, int shift) {
    constexpr size_t kChunk = 4096;
    if (input.size <= 2 * kChunk) return std::vector<uint8_t>(input.data, input.data + input.size);
    std::vector<uint8_t> sample;
    sample.reserve((input.size >> shift) + kChunk);
    for (size_t at = 0; at + kChunk <= input.size; at += kChunk << shift)
        sample.insert(sample.end(), input.data + at, input.data + at + kChunk);
    return sample;
}

// One stage input (the data itself, or its run-length coding) with its escape and the code
// lengths to start the parse from.
struct StageInput {
    Bytes bytes;
    bool runs;
    uint8_t escape;
    SymbolCosts costs;
    double estimate; // coded bytes per input byte in the sample
};

StageInput Prepare(Bytes bytes, bool runs, const LevelPlan& plan) {
    StageInput in{bytes, runs, LeastFrequentByte(bytes.data, bytes.size), FlatCosts(), 1.0};
    if (plan.sampleShift == 0 || bytes.size == 0) return in;
    const std::vector<uint8_t> sample = SampleOf(bytes, plan.sampleShift);
    const std::vector<uint8_t> refs = Parse(Of(sample), in.escape, FlatCosts(), plan);
    const PrefixClassCode code = CodeFor(Of(refs));
    in.costs = code.costs;
    in.estimate = static_cast<double>(code.blockSize) / static_cast<double>(sample.size());
    return in;
}

// Every combination over one stage input. The coded back-reference parse converges to different
// codes from different starts: from the plain parse or the sample's code, from one where
// references look cheap, and from the code found for the data when this input is its run-length
// coding (found holds it, and gets the best of this input).
void OfferCombinations(const StageInput& in, const LevelPlan& plan, StageSet allowed,
                       size_t decodedSize, BestStream* best, Refinement* found) {
    const Bytes input = in.bytes;
    const bool runs = in.runs;
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

    const uint8_t escape = in.escape;
    const uint8_t flags = FlagsOf(true, true, runs);
    // Without a prefix-class stage every byte costs 8 bits: the plain parse is the one to offer.
    std::vector<uint8_t> refs = Parse(input, escape, codedRefs ? in.costs : FlatCosts(), plan);
    if (plainRefs) best->Offer(FlagsOf(false, true, runs), escape, Of(refs), nullptr);
    if (!codedRefs) return;
    Refinement here;
    if (found->size == SIZE_MAX) {
        Refine(input, escape, std::move(refs), flags, plan, best, &here);
        if (plan.cheapStart) {
            SymbolCosts cheapReferences = FlatCosts();
            cheapReferences.bits[escape] = 1;
            Refine(input, escape, Parse(input, escape, cheapReferences, plan), flags, plan, best,
                   &here);
        }
    } else {
        // The escape changes with the input; it keeps the length the old one had.
        SymbolCosts warm = found->costs;
        std::swap(warm.bits[escape], warm.bits[found->escape]);
        Refine(input, escape, Parse(input, escape, warm, plan), flags, plan, best, &here);
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

std::vector<uint8_t> CompressBest(const uint8_t* data, size_t size, StageSet allowed, int level,
                                  CompressStats* stats) {
    CompressStats local;
    CompressStats* out = stats ? stats : &local;
    *out = CompressStats();
    if (size > kCompressMaxSize) return {};
    const LevelPlan& plan = kPlans[std::min(std::max(level, kLevelFastest), kLevelBest) - 1];
    try {
        const uint8_t runEscape = LeastFrequentByte(data, size);
        BestStream best(size, runEscape);
        const Bytes input{data, size};
        std::vector<uint8_t> runs;
        const bool withRuns = (allowed.mask & kRunCombinations) != 0;
        const bool withoutRuns = (allowed.mask & ~kRunCombinations) != 0;
        if (withRuns) {
            runs = EncodeRuns(data, size, runEscape);
            // Unchanged by the run stage, the data can only grow by the escape byte; unless
            // only combinations with runs are allowed, where it still beats a plain copy.
            if (withoutRuns && SameBytes(Of(runs), input)) runs.clear();
        }
        const bool runsUseful = withRuns && !runs.empty();
        Refinement found;
        if (plan.bothInputs || !runsUseful || !withoutRuns) {
            if (withoutRuns)
                OfferCombinations(Prepare(input, false, plan), plan, allowed, size, &best, &found);
            if (runsUseful)
                OfferCombinations(Prepare(Of(runs), true, plan), plan, allowed, size, &best,
                                  &found);
        } else {
            // Only the input whose sample codes smaller for each byte of data is parsed in
            // full (the levels that choose all take their costs from a sample).
            // The plain copy stays a choice whichever input wins.
            if (StageSetHas(allowed, 0)) best.Offer(0, 0, input, nullptr);
            const StageInput plain = Prepare(input, false, plan);
            const StageInput runCoded = Prepare(Of(runs), true, plan);
            const double shrink = static_cast<double>(runs.size()) / static_cast<double>(size);
            OfferCombinations(runCoded.estimate * shrink < plain.estimate ? runCoded : plain, plan,
                              allowed, size, &best, &found);
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
