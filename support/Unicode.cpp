#include "support/Unicode.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include "support/CodePage1252.h"
#include "support/Text.h"

namespace {

// Appends code's UTF-8 bytes at *at when they fit before the terminator's place.
int PutUtf8(uint32_t code, char* output, int capacity, int* at) {
    char bytes[4];
    int count = Utf8Put(code, bytes);
    if (count > capacity - 1 - *at) return 0;
    for (int i = 0; i < count; ++i)
        output[(*at)++] = bytes[i];
    return 1;
}

int Refuse(char* output, int capacity) {
    if (capacity > 0) output[0] = '\0';
    return 0;
}

// The character that starts at text, its byte count in *length: a well-formed UTF-8 sequence
// (surrogates included, as Utf16ToUtf8 writes them), else the one byte as code page 1252.
uint32_t NextChar(const unsigned char* text, int* length) {
    unsigned char lead = text[0];
    int count = lead < 0xC2 || lead > 0xF4 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    uint32_t code = count == 1 ? lead : lead & (0x7F >> count);
    for (int i = 1; i < count; ++i) {
        if ((text[i] & 0xC0) != 0x80) count = 1; // the terminator ends the loop here too
        code = code << 6 | (text[i] & 0x3F);
        if (count == 1) break;
    }
    // Overlong forms and code points past U+10FFFF are no well-formed sequence.
    if (count == 3 && code < 0x800) count = 1;
    if (count == 4 && (code < 0x10000 || code > 0x10FFFF)) count = 1;
    *length = count;
    return count == 1 ? Cp1252ToCode(lead) : code;
}

} // namespace

int Cp1252ToUtf8(const char* text, char* output, int capacity) {
    int at = 0;
    for (; *text; ++text) {
        if (!PutUtf8(Cp1252ToCode(static_cast<unsigned char>(*text)), output, capacity, &at))
            return Refuse(output, capacity);
    }
    if (capacity < 1) return 0;
    output[at] = '\0';
    return 1;
}

int Utf8ToUtf16(const char* text, WideUnit* output, int capacity) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
    int put = 0;
    while (*at) {
        int length = 0;
        uint32_t code = NextChar(at, &length);
        at += length;
        int units = code >= 0x10000 ? 2 : 1;
        if (units > capacity - 1 - put) {
            if (capacity > 0) output[0] = 0;
            return 0;
        }
        if (units == 2) {
            output[put++] = static_cast<WideUnit>(0xD800 | (code - 0x10000) >> 10);
            output[put++] = static_cast<WideUnit>(0xDC00 | (code & 0x3FF));
        } else {
            output[put++] = static_cast<WideUnit>(code);
        }
    }
    if (capacity < 1) return 0;
    output[put] = 0;
    return 1;
}

int Utf16ToUtf8(const WideUnit* text, int length, char* output, int capacity) {
    int at = 0;
    for (int i = 0; length < 0 ? text[i] != 0 : i < length; ++i) {
        uint32_t code = text[i];
        uint32_t next = (length < 0 || i + 1 < length) ? text[i + 1] : 0;
        if (code >= 0xD800 && code < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
            ++i;
        }
        if (!PutUtf8(code, output, capacity, &at)) return Refuse(output, capacity);
    }
    if (capacity < 1) return 0;
    output[at] = '\0';
    return 1;
}

int Utf8PrefixBytes(const char* text, int units) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
    int bytes = 0;
    while (at[bytes]) {
        int length = 0;
        int count = NextChar(at + bytes, &length) >= 0x10000 ? 2 : 1;
        if (count > units) break;
        units -= count;
        bytes += length;
    }
    return bytes;
}

#ifdef _WIN32
WideText::WideText(const char* text) {
    if (!text) return;
    int capacity = TextLength(text) + 1;
    wchar_t* room = inline_;
    if (capacity > static_cast<int>(sizeof inline_ / sizeof inline_[0]))
        room = block_ = new wchar_t[capacity];
    if (Utf8ToUtf16(text, room, capacity)) text_ = room;
}

WideText::~WideText() {
    delete[] block_;
}

const char* ProcessCommandLine() {
    static char* s_line;
    if (s_line) return s_line;
    const wchar_t* wide = GetCommandLineW();
    int capacity = lstrlenW(wide) * 3 + 1;
    s_line = new char[capacity];
    Utf16ToUtf8(wide, -1, s_line, capacity); // three bytes a unit always fit
    return s_line;
}
#endif
