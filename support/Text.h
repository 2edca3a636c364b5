// Byte texts in fixed buffers: the program's replacement for the C string functions.
// A capacity counts the terminator; results follow the 1-for-success / 0-for-absence rule.
#pragma once
#include <stdint.h>

// The 256-byte folding table used by the folded comparisons (letters and code page 437 accents).
extern const unsigned char g_FoldTable[256];

int TextLength(const char* text);
// No capacity: the caller guarantees room. Fixed buffers use TextAppendWithin.
int TextAppend(char* buffer, const char* text);
// Appends text only when all of it fits in capacity; returns the new length, or 0 and writes
// nothing when it would not fit (a path must never be cut into another path).
int TextAppendWithin(char* buffer, int capacity, const char* text);
int TextCopy(char* destination, const char* source, int capacity, int* position = nullptr);
int TextPrefixEqual(unsigned count, const char* text, const char* other);
int TextSearch(const char* text, const char* pattern, int exact, int length);
const char* TextFindKey(const char* text, const char* key, int exact, int length);
int TextKeyValue(const char* text, int length, const char* key, char* buffer, int capacity);
char* NumberToText(uint32_t value, char* buffer, int base);
// printf into a fixed buffer, cut to capacity - 1; returns the stored length.
int TextFormat(char* buffer, int capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
