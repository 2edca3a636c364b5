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

// Decodes a whole stream into room as the installer gives it; empty with the code on an error.
inline std::vector<uint8_t> DecodeStream(const std::vector<uint8_t>& stream, size_t size,
                                         int* error) {
    std::vector<uint8_t> out(size + 10 < 256 ? 256 : size + 10, 0);
    int written = 0;
    *error = 0;
    if (!DecompressDetailed(stream.data(), static_cast<int>(stream.size()), out.data(),
                            static_cast<int>(size), &written, error))
        return {};
    out.resize(written);
    return out;
}
