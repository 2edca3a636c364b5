// A plain greedy encoder for the three-stage format, only so the decode benchmark has streams
// that use every stage. Not the product's compressor.
#pragma once
#include <vector>

using ByteVector = std::vector<unsigned char>;

// A stream of the three stages (each kept only when it shrinks its input); the plain copy
// (flags 0) when the result does not decode back exactly.
ByteVector EncodeSimple(const ByteVector& data);
