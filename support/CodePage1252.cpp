#include "support/CodePage1252.h"

int Utf8Next(const char* text, size_t length, size_t* at, uint32_t* code) {
    uint8_t lead = uint8_t(text[*at]);
    int extra = lead < 0x80                   ? 0
                : lead >= 0xC2 && lead < 0xE0 ? 1
                : lead >= 0xE0 && lead < 0xF0 ? 2
                : lead >= 0xF0 && lead < 0xF5 ? 3
                                              : -1;
    if (extra < 0 || size_t(extra) > length - *at - 1) return 0;
    uint32_t value = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        uint8_t next = uint8_t(text[*at + k]);
        if ((next & 0xC0) != 0x80) return 0;
        value = value << 6 | (next & 0x3F);
    }
    static const uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (value < kLeast[extra] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) return 0;
    *at += 1 + extra;
    *code = value;
    return 1;
}

int Utf8Put(uint32_t code, char* out) {
    if (code < 0x80) {
        out[0] = char(code);
        return 1;
    }
    int extra = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    static const uint8_t kLead[] = {0, 0xC0, 0xE0, 0xF0};
    out[0] = char(kLead[extra] | (code >> (6 * extra)));
    for (int k = 1; k <= extra; ++k)
        out[k] = char(0x80 | ((code >> (6 * (extra - k))) & 0x3F));
    return 1 + extra;
}

namespace {

// Code points of the bytes 0x80 to 0x9F (0: not assigned).
const uint16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The capital letters of 1252 that compose from a base letter and a combining mark.
struct Composition {
    char base;
    uint16_t mark;
    uint16_t composed;
};
const Composition kCompositions[] = {
    {'A', 0x300, 0xC0},  {'A', 0x301, 0xC1}, {'A', 0x302, 0xC2},  {'A', 0x303, 0xC3},
    {'A', 0x308, 0xC4},  {'A', 0x30A, 0xC5}, {'C', 0x327, 0xC7},  {'E', 0x300, 0xC8},
    {'E', 0x301, 0xC9},  {'E', 0x302, 0xCA}, {'E', 0x308, 0xCB},  {'I', 0x300, 0xCC},
    {'I', 0x301, 0xCD},  {'I', 0x302, 0xCE}, {'I', 0x308, 0xCF},  {'N', 0x303, 0xD1},
    {'O', 0x300, 0xD2},  {'O', 0x301, 0xD3}, {'O', 0x302, 0xD4},  {'O', 0x303, 0xD5},
    {'O', 0x308, 0xD6},  {'U', 0x300, 0xD9}, {'U', 0x301, 0xDA},  {'U', 0x302, 0xDB},
    {'U', 0x308, 0xDC},  {'Y', 0x301, 0xDD}, {'Y', 0x308, 0x178}, {'S', 0x30C, 0x160},
    {'Z', 0x30C, 0x17D},
};

// The small letter of a composed capital above.
uint32_t SmallLetter(uint32_t capital) {
    switch (capital) {
    case 0x178:
        return 0xFF;
    case 0x160:
    case 0x17D:
        return capital + 1;
    }
    return capital + 0x20;
}

} // namespace

int Cp1252FromCode(uint32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return int(code);
    for (int i = 0; i < 32; ++i)
        if (code != 0 && kCp1252High[i] == code) return 0x80 + i;
    return -1;
}

int Cp1252Assigned(unsigned char byte) {
    return byte < 0x80 || byte >= 0xA0 || kCp1252High[byte - 0x80] != 0;
}

uint32_t Cp1252ToCode(unsigned char byte) {
    if (byte < 0x80 || byte >= 0xA0 || !kCp1252High[byte - 0x80]) return byte;
    return kCp1252High[byte - 0x80];
}

uint32_t ComposeForCp1252(uint32_t base, uint32_t mark) {
    bool small = base >= 'a' && base <= 'z';
    uint32_t capital = small ? base - 0x20 : base;
    for (const Composition& c : kCompositions)
        if (uint32_t(c.base) == capital && c.mark == mark)
            return small ? SmallLetter(c.composed) : c.composed;
    return 0;
}

int LooksLikeUtf8(const unsigned char* text, size_t length) {
    if (length >= 3 && text[0] == 0xEF && text[1] == 0xBB && text[2] == 0xBF) return 1;
    const char* chars = reinterpret_cast<const char*>(text);
    int wide = 0;
    uint32_t code;
    for (size_t at = 0; at < length;) {
        if (!Utf8Next(chars, length, &at, &code)) return 0;
        if (code >= 0x80) wide = 1;
    }
    return wide;
}
