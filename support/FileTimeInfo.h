// The last-write time that an archive entry's info text carries under the keys
// "\r\nDWCL=" (low half) and "\r\nDWCH=" (high half) of a Windows FILETIME.
#pragma once
#include <stdint.h>

// Returns 1 and the two halves when at least one key has a non-empty value, else 0.
// Each value is read like atol (blanks, one sign, digits, modulo 2^32), at most 15 characters.
int InfoWriteTime(const char* info, int length, uint32_t* low, uint32_t* high);

// The atol-like conversion: signed and unsigned decimal forms give the same 32 bits.
uint32_t DecimalToWord(const char* text);
