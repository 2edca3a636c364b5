// Windows-1252, the code page of entry names and descriptors, beside UTF-8, the code of names
// and texts on Linux. Portable; the installer itself needs none of it.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Decodes one UTF-8 sequence at text[*at] (length bytes in all) and moves past it; 0 for
// anything that is not strict UTF-8 (overlong forms, surrogates, past U+10FFFF, cut short).
int Utf8Next(const char* text, size_t length, size_t* at, uint32_t* code);
// Appends code's UTF-8 form (1 to 4 bytes) to out, which has room for 4; returns the count.
int Utf8Put(uint32_t code, char* out);

// The byte of code page 1252 for a code point, or -1 when it has none.
int Cp1252FromCode(uint32_t code);
// The code point of a byte of code page 1252; the five bytes it leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control of the same value, as Windows converts them.
uint32_t Cp1252ToCode(unsigned char byte);
// 0 for those five bytes.
int Cp1252Assigned(unsigned char byte);

// base followed by the combining mark mark, composed (the canonical composition), when the
// result is a letter of code page 1252; 0 otherwise. Names copied from macOS are decomposed.
uint32_t ComposeForCp1252(uint32_t base, uint32_t mark);

// 1 when text looks written as UTF-8 rather than 1252: it starts with a UTF-8 byte-order mark,
// or it holds at least one non-ASCII character and all of it is strict UTF-8 (1252 text with
// accents almost never is: an accented 1252 letter followed by an ASCII byte breaks UTF-8).
int LooksLikeUtf8(const unsigned char* text, size_t length);
