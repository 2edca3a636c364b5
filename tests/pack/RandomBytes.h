// Reproducible random test data.
#pragma once
#include <stdint.h>

#include <random>
#include <vector>

inline std::vector<uint8_t> RandomBytes(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> out(size);
    for (uint8_t& b : out)
        b = uint8_t(gen());
    return out;
}
