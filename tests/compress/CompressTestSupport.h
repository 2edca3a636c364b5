// Shared by the compressor tests: sample data and the installer's decoder.
#pragma once
#include "archive/Decompressor.h"

#include <stddef.h>
#include <stdint.h>
#include <vector>

// Deterministic pseudo-random bytes below alphabet.
inline std::vector<uint8_t> Noise(size_t size, uint32_t seed, int alphabet = 256) {
    std::vector<uint8_t> out(size);
    for (uint8_t& b : out) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>((seed >> 16) % alphabet);
    }
    return out;
}

// What the streaming decoding hands on.
struct CollectedBytes : DecodeSink {
    int Take(const unsigned char* bytes, int length) override {
        this->bytes.insert(this->bytes.end(), bytes, bytes + length);
        return 1;
    }
    std::vector<uint8_t> bytes;
};

// Decodes a whole stream into room as the installer gives it; empty with the code on an error.
// The streaming decoding, through windows of an odd size that its stages' edges meet often,
// must give the same: an error of 1000 + its code otherwise.
inline std::vector<uint8_t> DecodeStream(const std::vector<uint8_t>& stream, size_t size,
                                         int* error) {
    std::vector<uint8_t> out(size + 10 < 256 ? 256 : size + 10, 0);
    int written = 0;
    *error = 0;
    int ok = DecompressDetailed(stream.data(), static_cast<int>(stream.size()), out.data(),
                                static_cast<int>(size), &written, error);
    CollectedBytes streamed;
    int64_t count = 0;
    int streamError = 0;
    int streamOk =
        DecompressStream(stream.data(), static_cast<int>(stream.size()), static_cast<int>(size),
                         streamed, &count, &streamError, kMinStreamChunk + 45);
    if (!ok) return {};
    out.resize(written);
    if (!streamOk || streamed.bytes != out) {
        *error = 1000 + streamError;
        return {};
    }
    return out;
}
