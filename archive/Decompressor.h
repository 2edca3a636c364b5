// The three-stage decoder: prefix-class code, then back-references, then runs.
#pragma once
#include <stdint.h>

// Internal control flow of the decoder; caught in Decompress and reported as a code.
struct CtCompressExcept {
    int code;
};

// Error codes. 21, 25 and 61 are the format's own; the others reject malformed streams that
// would otherwise make the decoder read or write outside its buffers.
enum DecompressError : int {
    kErrNoMemory = 1,          // a working block got no memory
    kErrShortStream = 10,      // shorter than the flags byte and its escape bytes
    kErrFourZeros = 21,        // four zero selector bits before the last byte
    kErrIndexPastEnd = 22,     // index bits run past the end of the bit stream
    kErrClassWidth = 23,       // a class width above 8
    kErrPlace = 24,            // a symbol place of 256 or more
    kErrTooManySymbols = 25,   // more symbols than the decoded size
    kErrShortHeader = 26,      // stage input shorter than its prefix-class header
    kErrDistance = 61,         // reference further back than the output so far
    kErrRefTruncated = 62,     // escape byte E as the last or last-but-one input byte
    kErrRefOverflow = 63,      // back-reference output would outgrow its block
    kErrRunTruncated = 71,     // escape byte R as the last input byte
    kErrRunOverflow = 72,      // run-length output would outgrow the destination
    kErrCopyOverflow = 73,     // stage output longer than the destination
};

enum StageFlag : uint8_t {
    kStagePrefixClass = 0x10,
    kStageRuns = 0x20,
    kStageBackRefs = 0x40,
};

// Decodes source (sourceLength bytes) into destination, which holds at least decodedSize
// bytes. Returns the number of bytes written, or 0 after an error (reported on channel 69).
int Decompress(const unsigned char* source, int sourceLength, unsigned char* destination,
               int decodedSize);

// The same, without the log report: returns 1 or 0 and the error code (0 on success).
int DecompressDetailed(const unsigned char* source, int sourceLength, unsigned char* destination,
                       int decodedSize, int* written, int* errorCode);

unsigned char WidthMask(int width);
