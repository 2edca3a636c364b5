#include "tools/compress/StageEncoders.h"

uint8_t LeastFrequentByte(const uint8_t* data, size_t size) {
    size_t counts[256] = {};
    for (size_t i = 0; i < size; ++i)
        counts[data[i]]++;
    int best = 0;
    for (int v = 1; v < 256; ++v)
        if (counts[v] < counts[best]) best = v;
    return static_cast<uint8_t>(best);
}

std::vector<uint8_t> EncodeRuns(const uint8_t* data, size_t size, uint8_t escape) {
    std::vector<uint8_t> out;
    out.reserve(size + size / 64 + 16);
    // The decoder repeats the last byte it wrote, which is 0 before the first one.
    uint8_t prev = 0;
    size_t i = 0;
    while (i < size) {
        const uint8_t value = data[i];
        size_t run = 1;
        while (run < size - i && data[i + run] == value)
            ++run;
        i += run;
        if (value != prev) {
            out.push_back(value);
            if (value == escape) out.push_back(escape);
            prev = value;
            --run;
        }
        const size_t literalCost = value == escape ? 2 : 1;
        while (run > 0) {
            // A run token costs two bytes; on a tie the literals are kept for the later stages.
            if (run * literalCost <= 2) {
                for (; run > 0; --run) {
                    out.push_back(value);
                    if (value == escape) out.push_back(escape);
                }
                break;
            }
            size_t count = run < 255 ? run : 255;
            // A count equal to the escape would read as a literal escape byte.
            if (count == escape) --count;
            out.push_back(escape);
            out.push_back(static_cast<uint8_t>(count));
            run -= count;
        }
    }
    return out;
}
