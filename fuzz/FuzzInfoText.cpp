// The info text's file time (DWCL/DWCH) on any text, bounded by its length or by its own end:
// reads stay inside the bytes given (the sanitizer sees the rest), and the answer agrees with
// the keys that the text holds.
#include "FuzzCheck.h"

#include "support/FileTimeInfo.h"

#include <limits.h>
#include <stdint.h>
#include <ctype.h>
#include <string.h>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size > INT_MAX) return 0;
    // Exactly the bytes: a read past them is caught; the text form gets its terminator.
    std::vector<char> exact(bytes, bytes + size);
    std::vector<char> text(bytes, bytes + size);
    text.push_back(0);
    uint32_t low = 1, high = 1;
    int bounded = InfoWriteTime(exact.empty() ? "" : exact.data(), int(size), &low, &high);
    uint32_t textLow = 2, textHigh = 2;
    int own = InfoWriteTime(text.data(), 0, &textLow, &textHigh);
    // Without either key (in any letter case) there is no time.
    std::string folded(text.data());
    for (char& c : folded)
        c = char(tolower(static_cast<unsigned char>(c)));
    bool keys = folded.find("\r\ndwcl=") != std::string::npos ||
                folded.find("\r\ndwch=") != std::string::npos;
    bool ascii = true;
    for (char c : folded)
        ascii &= static_cast<unsigned char>(c) < 0x80; // the folding table also folds accents
    if (ascii && !keys) FUZZ_CHECK(!own);
    // A text without zero bytes reads the same either way.
    if (folded.size() == size) {
        FUZZ_CHECK(bounded == own);
        if (own) FUZZ_CHECK(low == textLow && high == textHigh);
    }
    return 0;
}
