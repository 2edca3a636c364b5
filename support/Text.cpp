#include "support/Text.h"

#include "support/UnsignedDivide.h"

#include <stdarg.h>
#include <stdio.h>

// Letters fold to capitals; the accented letters of code page 437 fold to their plain
// capital. Windows-1252 accents (0xC0..0xFF) stay as they are.
static constexpr unsigned char FoldEntry(unsigned b) {
    if (b >= 'a' && b <= 'z') return static_cast<unsigned char>(b - 'a' + 'A');
    switch (b) {
    case 0x83:
    case 0x84:
    case 0x85:
    case 0x86:
    case 0x8E:
    case 0x8F:
    case 0xA0:
        return 'A';
    case 0x80:
    case 0x87:
    case 0x9B:
        return 'C';
    case 0x82:
    case 0x88:
    case 0x89:
    case 0x8A:
    case 0x90:
        return 'E';
    case 0x8B:
    case 0x8C:
    case 0x8D:
    case 0xA1:
        return 'I';
    case 0xA4:
    case 0xA5:
        return 'N';
    case 0x93:
    case 0x94:
    case 0x95:
    case 0x99:
    case 0xA2:
        return 'O';
    case 0x81:
    case 0x96:
    case 0x97:
    case 0x9A:
    case 0xA3:
        return 'U';
    case 0x98:
        return 'Y';
    default:
        return static_cast<unsigned char>(b);
    }
}

const unsigned char g_FoldTable[256] = {
#define F(b) FoldEntry(b)
#define R16(h)                                                                                     \
    F(h + 0), F(h + 1), F(h + 2), F(h + 3), F(h + 4), F(h + 5), F(h + 6), F(h + 7), F(h + 8),      \
        F(h + 9), F(h + 10), F(h + 11), F(h + 12), F(h + 13), F(h + 14), F(h + 15)
    R16(0x00), R16(0x10), R16(0x20), R16(0x30), R16(0x40), R16(0x50), R16(0x60), R16(0x70),
    R16(0x80), R16(0x90), R16(0xA0), R16(0xB0), R16(0xC0), R16(0xD0), R16(0xE0), R16(0xF0),
#undef R16
#undef F
};

int TextLength(const char* text) {
    if (!text) return 0;
    int n = 0;
    while (text[n])
        ++n;
    return n;
}

int TextAppend(char* buffer, const char* text) {
    if (!buffer || !text) return 0;
    int n = TextLength(buffer);
    for (const char* p = text; *p; ++p)
        buffer[n++] = *p;
    buffer[n] = 0;
    return n;
}

int TextAppendWithin(char* buffer, int capacity, const char* text) {
    if (!buffer || !text || capacity < 1) return 0;
    int have = TextLength(buffer);
    int add = TextLength(text);
    if (have >= capacity || add > capacity - 1 - have) return 0;
    for (int i = 0; i <= add; ++i)
        buffer[have + i] = text[i];
    return have + add;
}

int TextCopy(char* destination, const char* source, int capacity, int* position) {
    if (!destination || !source) return 0;
    int i = position ? *position : 0;
    if (i < 0 || i >= capacity) return i; // a position must lie inside the buffer
    const char* s = source;
    while (i < capacity - 1 && *s)
        destination[i++] = *s++;
    destination[i] = 0;
    if (position) *position = i;
    return i;
}

int TextPrefixEqual(unsigned count, const char* text, const char* other) {
    while (count > 0) {
        --count;
        if (text[count] != other[count]) return 0;
    }
    return 1;
}

static inline bool BytesMatch(unsigned char a, unsigned char b, int exact) {
    return exact ? a == b : g_FoldTable[a] == g_FoldTable[b];
}

int TextSearch(const char* text, const char* pattern, int exact, int length) {
    if (length == 0) length = TextLength(text);
    // The pattern index is an 8-bit counter in the original routine: patterns stop at 255.
    int m = TextLength(pattern);
    if (m > 255) m = 255;
    if (m > length) return 0;
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pattern);
    for (int start = 0; start <= length - m; ++start) {
        int j = 0;
        while (j < m && BytesMatch(p[j], t[start + j], exact))
            ++j;
        if (j == m) return start + 1;
    }
    return 0;
}

const char* TextFindKey(const char* text, const char* key, int exact, int length) {
    int at = TextSearch(text, key, exact, length);
    if (at == 0) return nullptr;
    return text + (at - 1) + TextLength(key);
}

int TextKeyValue(const char* text, int length, const char* key, char* buffer, int capacity) {
    const char* value = TextFindKey(text, key, 0, length);
    if (!value) return 0;
    // The value ends with the bytes given too, not only at a zero byte.
    const char* end = length > 0 ? text + length : nullptr;
    int stored = 0;
    for (const char* p = value; p != end && *p && *p != '\r' && *p != '\n'; ++p) {
        if (stored < capacity - 1) buffer[stored++] = *p;
    }
    buffer[stored] = 0;
    return stored;
}

char* NumberToText(uint32_t value, char* buffer, int base) {
    static const char kDigits[] = "0123456789ABCDEF";
    // Base 1 never reaches a quotient of 0 and would write digits without end; base 0 would
    // raise the division's exception through here.
    if (base < 2 || base > 16) return nullptr;
    // Room for 32 digits, so bases 2 to 6 fit as well as base 10.
    char store[32];
    int count = 0;
    do {
        uint32_t q, r;
        UnsignedDivide(value, static_cast<uint32_t>(base), &q, &r);
        store[count++] = kDigits[r];
        value = q;
    } while (value != 0);
    int i = 0;
    while (count > 0)
        buffer[i++] = store[--count];
    buffer[i] = 0;
    return buffer;
}

int TextFormat(char* buffer, int capacity, const char* format, ...) {
    if (!buffer || capacity < 1) return 0;
    va_list args;
    va_start(args, format);
#ifdef _WIN32
    // The system's own formatter: keeps the C runtime's floating-point printf out of the stub.
    // It neither terminates a cut text nor reports its length, so both are done here.
    int n = _vsnprintf(buffer, static_cast<size_t>(capacity - 1), format, args);
    buffer[capacity - 1] = 0;
    if (n < 0 || n > capacity - 1) n = TextLength(buffer);
#else
    int n = vsnprintf(buffer, static_cast<size_t>(capacity), format, args);
#endif
    va_end(args);
    if (n < 0) {
        buffer[0] = 0;
        return 0;
    }
    return n < capacity ? n : capacity - 1;
}
