// The three stage encoders, each the inverse of one decoder stage. CompressBest combines them;
// the tests drive them one by one.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>

// The escape byte a stage uses: the least frequent byte value of its input (the lowest value on
// a tie), so that literal escapes, which cost two bytes, are as rare as they can be.
uint8_t LeastFrequentByte(const uint8_t* data, size_t size);

// Run-length stage: a literal, then "R c" for c more copies of the last byte written.
std::vector<uint8_t> EncodeRuns(const uint8_t* data, size_t size, uint8_t escape);

// Cost of each byte value in bits, as the next stage will code it.
struct SymbolCosts {
    uint8_t bits[256];
};

// Every byte value costs 8 bits: no prefix-class stage follows.
SymbolCosts FlatCosts();

// Back-reference stage: the cheapest parse of data into literals, "E E" and "E d k" references
// (k in 1..255; d in 1..255 copies from d bytes back, d 0 appends zeros; d is never E) under
// costs. Work and memory are bounded by parsing in blocks; a reference may reach back into the
// previous block. With quickCounts above 0 the parse is faster and a little less exact: of a
// long match it only weighs the quickCounts shortest and the quickCounts longest counts.
std::vector<uint8_t> EncodeBackRefs(const uint8_t* data, size_t size, uint8_t escape,
                                    const SymbolCosts& costs, int quickCounts = 0);

// The same stream format from a greedy parse: at each position the longest match among a few
// recent candidates, taken when it costs fewer bits than its literals (and, when lazy, unless
// the next position has a longer one). Many times faster than the parse above, and a few
// percent larger.
std::vector<uint8_t> EncodeBackRefsGreedy(const uint8_t* data, size_t size, uint8_t escape,
                                          const SymbolCosts& costs, bool lazy);

// Prefix-class stage: the code that gives the smallest block for a symbol sequence.
struct PrefixClassCode {
    uint8_t widths[3] = {0, 0, 0}; // w0, w1, w2; class 3 is always 8 bits wide
    int listed = 1;                // table entries written (places from here on read as 0)
    uint8_t table[256] = {};       // byte value at each place
    uint8_t place[256] = {};       // place of each byte value that occurs
    size_t blockSize = 0;          // exact size of the block: header, table and bit stream
    SymbolCosts costs = {}; // code length of every value; an unused one: the class it would join
};

// counts: occurrences of every byte value in the sequence; lastSymbol: its final byte (the end
// of the bit stream has a trap for some codes). The sequence must not be empty.
PrefixClassCode ChoosePrefixClassCode(const uint64_t counts[256], uint8_t lastSymbol);

// Appends the block (header, table, bit stream) coding data with code.
void AppendPrefixClassBlock(const uint8_t* data, size_t size, const PrefixClassCode& code,
                            std::vector<uint8_t>* out);

// Convenience: counts, chooses and writes.
std::vector<uint8_t> EncodePrefixClass(const uint8_t* data, size_t size);
