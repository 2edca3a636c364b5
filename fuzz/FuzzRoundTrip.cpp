// Any bytes through the product's compressor and back through Decompress: exactly the same bytes.
#include "FuzzCheck.h"

#include "archive/Decompressor.h"
#include "tools/compress/Compressor.h"

#include <stdint.h>
#include <string.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the stage combinations the compressor may use, the second its level.
    if (size < 2) return 0;
    StageSet allowed{static_cast<uint8_t>(data[0] | 1)};
    const int level = kLevelFastest + data[1] % kLevelBest;
    const uint8_t* input = data + 2;
    const size_t length = size - 2;
    CompressStats stats;
    std::vector<uint8_t> stream = CompressBest(input, length, allowed, level, &stats);
    FUZZ_CHECK(!stream.empty());
    FUZZ_CHECK(!stats.fallback); // the compressor's own check found a stream that decodes wrong
    std::vector<unsigned char> out(length > 0 ? length : 1);
    int written = -1, code = -1;
    FUZZ_CHECK(DecompressDetailed(stream.data(), int(stream.size()), out.data(), int(length),
                                  &written, &code));
    FUZZ_CHECK(size_t(written) == length && memcmp(out.data(), input, length) == 0);
    return 0;
}
