// The writing side of the three-stage stream format: runs, then back-references, then the
// prefix-class code (the reverse of the order the installer undoes them in).
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>

// A set of stage combinations. Bit (flags >> 4) stands for the combination whose flags byte is
// flags, made of kStagePrefixClass (0x10), kStageRuns (0x20) and kStageBackRefs (0x40): bit 0 is
// the plain copy, bit 7 all three stages.
struct StageSet {
    uint8_t mask;
};

// Whether set holds the combination with this flags byte.
inline bool StageSetHas(StageSet set, uint8_t flags) {
    return (set.mask >> (flags >> 4)) & 1;
}

constexpr StageSet kStagesAuto{0xFF};
constexpr StageSet kStagesNone{0x01};

// Reads "auto", "none" or letters out of "pbr" (p prefix-class, b back-references, r runs, each at
// most once, any order). Returns false on anything else.
bool ParseStageSet(const char* text, StageSet* set);

// Largest input CompressBest accepts: every size in the decoder is a signed 32-bit int and it
// takes blocks of decoded size + 256.
constexpr size_t kCompressMaxSize = 0x7FFF0000;

struct CompressStats {
    uint8_t flags = 0;       // flags byte of the returned stream
    bool fallback = false;   // the chosen stream did not decode back: a plain copy was returned
    uint8_t failedFlags = 0; // flags byte of the stream that failed
    int checkError = 0;      // decoder error code of that failure; 0 when it decoded wrong bytes
};

// Levels trade time for size: 1 is the fastest, 9 the smallest stream the search can find.
// The default packs about 1% larger than 9, many times faster; sfxpack's help names it.
constexpr int kLevelFastest = 1;
constexpr int kLevelBest = 9;
constexpr int kLevelDefault = 3;

// Returns the smallest stream the level finds among the allowed combinations, decoded again by
// the installer's own decoder before it is returned. A level outside 1..9 counts as the
// nearest one. When no allowed combination can express the data (or the check fails) the
// plain copy, one byte over the data, is returned. Returns an empty vector only
// when size exceeds kCompressMaxSize or memory runs out. Deterministic.
std::vector<uint8_t> CompressBest(const uint8_t* data, size_t size, StageSet allowed, int level,
                                  CompressStats* stats = nullptr);
