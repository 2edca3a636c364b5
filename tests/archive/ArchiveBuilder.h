// Small helpers that make streams, entries and archives for tests and fuzz seeds.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// "10 11 01" -> {0x10, 0x11, 0x01}; blanks are ignored.
Bytes Hex(const char* text);

// A compressed stream: the flags byte, R and E where the flags ask for them, the stage input.
Bytes Stream(uint8_t flags, uint8_t runEscape, uint8_t refEscape, const Bytes& stageInput);

// A prefix-class block that codes every byte as itself: one class of width 8 over a table of
// the 256 byte values in order (9 bits a byte).
Bytes IdentityPrefixBlock(const Bytes& data);

// The entry checkword of the bytes as they stand (size word included), computed the slow way.
uint32_t Checkword(const Bytes& archive, size_t entryOffset);
void PutWord(Bytes& bytes, size_t offset, uint32_t value);
// Recomputes and stores the checkword of the entry at entryOffset.
void Reseal(Bytes& archive, size_t entryOffset);

// One entry with a correct checkword; name and info are inverted when bit 0 of method is set,
// stored data is taken as given.
Bytes MakeEntry(uint32_t method, const std::string& name, const std::string& info,
                int32_t decodedSize, const Bytes& stored);
// The archive: first-entry offset, zeros up to it, the entries.
Bytes MakeArchive(const std::vector<Bytes>& entries, uint32_t firstOffset = 272);
