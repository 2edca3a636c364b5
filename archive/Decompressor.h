// The three-stage decoder: prefix-class code, then back-references, then runs.
#pragma once
#include <stdint.h>

#include "archive/ArchiveFormat.h"

// Internal control flow of the decoder; caught in Decompress and reported as a code.
struct CtCompressExcept {
    int code;
};

// Error codes. 21, 25 and 61 are the format's own; the others reject malformed streams that
// would otherwise make the decoder read or write outside its buffers. A valid stream never
// meets any of them. The one-pass and the streaming decoding make the same checks and fail on
// the same streams; only a stream that fails more than one check may give another code in
// each, since the one pass runs each stage to its end before the next while the streaming one
// interleaves them.
enum DecompressError : int {
    kErrNoMemory = 1,        // a working block got no memory
    kErrSinkRefused = 2,     // the streaming decoding's receiver did not take a chunk
    kErrShortStream = 10,    // shorter than the flags byte and its escape bytes
    kErrDecodedSize = 11,    // decoded size negative, or too large for the working blocks
    kErrFourZeros = 21,      // four zero selector bits before the last byte
    kErrIndexPastEnd = 22,   // index bits run past the end of the bit stream
    kErrClassWidth = 23,     // a class width above 8
    kErrPlace = 24,          // a symbol place of 256 or more
    kErrTooManySymbols = 25, // more symbols than the decoded size
    kErrShortHeader = 26,    // stage input shorter than its prefix-class header
    kErrDistance = 61,       // reference further back than the output so far
    kErrRefTruncated = 62,   // escape byte E as the last or last-but-one input byte
    kErrRefOverflow = 63,    // back-reference output would outgrow its block
    kErrRunTruncated = 71,   // escape byte R as the last input byte
    kErrRunOverflow = 72,    // run-length output would outgrow the decoded size
    kErrCopyOverflow = 73,   // unchanged stage input longer than the decoded size
};

enum StageFlag : uint8_t {
    kStagePrefixClass = 0x10,
    kStageRuns = 0x20,
    kStageBackRefs = 0x40,
};

// Decodes source (sourceLength bytes) into destination, which holds at least decodedSize
// bytes, in one pass with two working blocks of decodedSize + kStageSlack bytes. Returns the
// number of bytes written, or 0 after an error. On an error destination is left as it was. The
// decoder reports nothing: its caller, the entry reader, reports the code once.
int Decompress(const unsigned char* source, int sourceLength, unsigned char* destination,
               int decodedSize);

// The same, returning 1 or 0: written gets the byte count and errorCode the error (0 on
// success). Either pointer may be null.
int DecompressDetailed(const unsigned char* source, int sourceLength, unsigned char* destination,
                       int decodedSize, int* written, int* errorCode);

// Takes the decoded bytes in order, a chunk at a time; 0 to stop the decoding.
class DecodeSink {
  public:
    virtual int Take(const unsigned char* bytes, int length) = 0;

  protected:
    ~DecodeSink() = default;
};

// The window each stage of the streaming decoding writes through, and the least one (tests
// take small ones to meet the windows' edges often).
enum { kStreamChunk = 256 * 1024, kMinStreamChunk = 256 };

// The same decoding chunk by chunk, the stages chained through windows (about 3 chunks in
// all, whatever decodedSize), handing the bytes to sink as they come: the same checks, the same
// bytes, the same outcome. The sink may have taken bytes before a fault shows: on a failure its
// caller discards what it took.
int DecompressStream(const unsigned char* source, int sourceLength, int decodedSize,
                     DecodeSink& sink, int64_t* written, int* errorCode, int chunk = kStreamChunk);

unsigned char WidthMask(int width);

// The stages on their own, for tests and fuzzers. Each raises CtCompressExcept and writes at
// most capacity bytes.
class PrefixClassDecoder {
  public:
    // The longest code has 12 bits (4 selector, 8 index): one lookup decodes any code, and a
    // table of that size stays in the first-level cache beside the output.
    static const int kLookupBits = 12;

    void LoadTable(const unsigned char* input, int inputLength);
    // 1 with the next symbol, 0 at the end of the stream.
    int NextSymbol(unsigned char* symbol);
    // Table-driven, handing over to NextSymbol near the end of the stream. With scratch (room
    // for scratchSize bytes), a long stream is decoded in several places at once.
    int DecodeAll(unsigned char* output, int capacity, unsigned char* scratch = nullptr,
                  int scratchSize = 0);
    // Up to room symbols into output, fewer only at the end of the stream; the decoding goes on
    // from there at the next call.
    int Decode(unsigned char* output, int room);
    // NextSymbol's symbol appended to output (count bytes so far, room for capacity); 0 at the
    // end of the stream.
    int AppendSymbol(unsigned char* output, int capacity, int& count);
    // Symbol by symbol through NextSymbol only: the reference DecodeAll must agree with.
    int DecodeAllBySymbol(unsigned char* output, int capacity);

  private:
    // Bit streams from this length on decode through the table, which costs per call.
    static const int kTableStream = 8192;
    // Size-optimised builds (the installer stub) decode in one lane: splitting costs kilobytes of
    // code there.
#ifdef __OPTIMIZE_SIZE__
    static const bool kSplit = false;
#else
    static const bool kSplit = true;
#endif
    // Lanes of a split decoding (its loops unroll for four), and the boundaries each keeps for
    // the decoding before it to meet.
    static const int kLanes = 4;
    static const int kMarks = 16;
    // The lookup entries that start with codes of these symbols, bits and count.
    void FillLookup(unsigned first, uint32_t symbols, unsigned used, unsigned count);
    void PrepareLookup(); // once per stream
    int DecodeSplit(unsigned char* output, int capacity, unsigned char* scratch, int scratchSize);

    uint8_t widths_[4];
    int bases_[4]; // first table place of each class
    unsigned char table_[256];
    int headerLength_;
    const unsigned char* bits_;
    int bitLength_; // bytes in the bit stream
    int bytePos_;
    int bitPos_; // 0 is the most significant bit
    bool lookupFilled_;
    // Next 12 bits -> up to three symbols and the bits they use; 0 for the rare cases (four
    // zeros, a place past the table) that NextSymbol settles.
    uint32_t lookup_[1 << kLookupBits];
};

int ExpandBackReferences(unsigned char escape, const unsigned char* input, int inputLength,
                         unsigned char* output, int capacity);
int ExpandRuns(unsigned char escape, const unsigned char* input, int inputLength,
               unsigned char* output, int capacity);
