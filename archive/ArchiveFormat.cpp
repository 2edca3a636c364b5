#include "archive/ArchiveFormat.h"

uint32_t ReadWord(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t EntryCheckword(const unsigned char* entry, uint32_t available) {
    uint32_t size = ReadWord(entry + kSizeWord);
    uint32_t end = size < available ? size : available;
    const unsigned char* body = entry + kEntryHeaderSize;
    uint32_t length = end > uint32_t(kEntryHeaderSize) ? end - kEntryHeaderSize : 0;
    // Whole rounds of 16 first: the weights then need no modulo.
    uint32_t sum = 0;
    uint32_t whole = length & ~15u;
    for (uint32_t k = 0; k < whole; k += 16) {
        uint32_t part = 0;
        for (uint32_t j = 0; j < 16; ++j)
            part += (j + 1) * body[k + j];
        sum += part;
    }
    for (uint32_t k = whole; k < length; ++k)
        sum += ((k & 15) + 1) * body[k];
    return ~(size + ReadWord(entry + kMethodWord) + ReadWord(entry + kNameWord) +
             ReadWord(entry + kInfoWord) + sum);
}
