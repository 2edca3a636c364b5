// The payload archive's format in one place: the layout, what the method word means, the room
// readers keep beyond a decoded size, the limits of what an installer can hold, and the entry
// checkword that the reader verifies and the writer stores.
#pragma once
#include <stddef.h>
#include <stdint.h>

// The archive starts with the first entry's offset; the installer's payloads put it at 272,
// after zeros. Each entry is a header of six 32-bit little-endian words, then the name, the
// info text and the stored data.
enum { kPayloadFirstEntry = 272, kEntryHeaderSize = 24 };

// Offsets of the header words within an entry.
enum EntryWord {
    kSizeWord = 0,    // the whole entry, header included; 0 ends the walk
    kCheckWord = 4,   // EntryCheckword of the entry
    kMethodWord = 8,  // ArchiveMethod
    kNameWord = 12,   // name length
    kInfoWord = 16,   // info text length
    kDecodedWord = 20 // data bytes after decoding; not covered by the checkword
};

// The method word. Bit 0: name and info text are stored bit-inverted (method 1: the data too);
// bit 1: the data is a compressed stream, never inverted. Above 3 no data is delivered.
enum ArchiveMethod : uint32_t {
    kMethodPlain = 0,
    kMethodInverted = 1,
    kMethodCompressed = 2,
    kMethodCompressedInverted = 3,
};

inline bool TextsInverted(uint32_t method) {
    return (method & 1) != 0;
}
inline bool DataDelivered(uint32_t method) {
    return method <= kMethodCompressedInverted;
}
inline bool DataCompressed(uint32_t method) {
    return method == kMethodCompressed || method == kMethodCompressedInverted;
}
inline bool DataInverted(uint32_t method) {
    return method == kMethodInverted;
}

// Room kept beyond a decoded size: the block an entry's data is read into keeps kEntrySlack
// zero bytes so that a text in it always ends; the decoder's working blocks keep kStageSlack.
enum { kEntrySlack = 10, kStageSlack = 256 };

// The installer reads names into 64-byte buffers: a longer name would be cut into another.
enum { kEntryNameCapacity = 64 };
constexpr size_t kMaxEntryName = kEntryNameCapacity - 1;

// What a 32-bit installer can hold: it maps the whole payload and, per entry, takes a block of
// the decoded size + kEntrySlack and two working blocks of the decoded size + kStageSlack.
constexpr uint64_t kMaxEntryBytes = 256u << 20;
constexpr uint64_t kMaxPayloadBytes = 1u << 30;

// The most a compressed stream of storedLength bytes can decode to: the prefix-class stage gives
// at most one symbol a bit, a back-reference at most 255 bytes for 3, a run at most 255 for 2.
// A larger decoded size cannot be the stream's, whatever its bytes.
inline uint64_t MaxDecodedSize(int32_t storedLength) {
    return storedLength < 0 ? 0 : uint64_t(storedLength) * 8 * 85 * 128;
}

uint32_t ReadWord(const unsigned char* p);

// NOT(size + method + name length + info length + the bytes after the header weighted 1, 2,
// ..., 16, 1, 2, ... in turn), all wrapping in 32 bits. The bytes run to the end the size word
// gives, but never past available bytes from entry (at least the header's 24).
uint32_t EntryCheckword(const unsigned char* entry, uint32_t available);
