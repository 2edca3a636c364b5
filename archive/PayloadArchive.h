// The payload archive: a read-only view of checksummed entries, read one at a time.
#pragma once
#include <stdint.h>

enum { kEntryHeaderSize = 24, kPayloadFirstEntry = 272 };

// Where an entry walk stops (for tools and tests; ReadEntry itself answers 1 or 0).
enum EntryStatus : int {
    kEntryFound = 0,
    kEntryEnd = 1,          // past the last entry, or a size word of 0
    kEntryBadCheckword = 2, // reported as "Checkword erreur"
    kEntryDamaged = 3,      // header words that would lead outside the archive
};

// One entry in place. Only built over an entry whose words were checked against the archive.
class ArchiveEntry {
  public:
    ArchiveEntry(const unsigned char* bytes) : bytes_(bytes) {}
    int32_t Size() const;
    uint32_t StoredCheckword() const;
    uint32_t Method() const;
    int32_t NameLength() const;
    int32_t InfoLength() const;
    int32_t DecodedSize() const;
    const unsigned char* StoredData() const;
    int32_t StoredDataLength() const;

    uint32_t ComputeCheckword() const;
    int CopyName(char* buffer, int capacity) const;
    int CopyInfo(char* buffer, int capacity) const;
    int CopyData(unsigned char* buffer, int capacity) const;

  private:
    const unsigned char* bytes_;
};

struct PayloadArchive {
    const unsigned char* start = nullptr;
    int32_t length = 0;

    int ReadEntry(int index, char* name, int nameCapacity, char* info, int infoCapacity,
                  unsigned char* data, int* dataLength) const;

    // Walks to entry index; on kEntryFound *entry points at it. Reports nothing.
    EntryStatus Locate(int index, const unsigned char** entry) const;
};
