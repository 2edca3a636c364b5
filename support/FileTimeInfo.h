// The last-write time that an archive entry's info text carries under the keys
// "\r\nDWCL=" (low half) and "\r\nDWCH=" (high half) of a Windows FILETIME: sfxpack writes it,
// the installer and sfxpack read it.
#pragma once
#include <stdint.h>

// Room for the longest text WriteTimeText writes, terminator included.
enum { kWriteTimeTextCapacity = 40 };

// "\r\nDWCL=<low>\r\nDWCH=<high>" in unsigned decimals; returns its length, or 0 (buffer
// emptied) when capacity is below kWriteTimeTextCapacity.
int WriteTimeText(uint64_t fileTime, char* buffer, int capacity);

// Returns 1 and the two halves when at least one key has a non-empty value, else 0.
// Each value is read like atol (blanks, one sign, digits, modulo 2^32), at most 15 characters.
int InfoWriteTime(const char* info, int length, uint32_t* low, uint32_t* high);

// The atol-like conversion: signed and unsigned decimal forms give the same 32 bits.
uint32_t DecimalToWord(const char* text);
