// An entry's data read into a memory block of its own, as the installer reads it.
#pragma once
#include <stdint.h>

#include "archive/ArchiveEntry.h"
#include "archive/CtMem.h"

// An entry's decoded data in a block of its own, the decoded size and kEntrySlack zero bytes.
// An entry whose decoded size is above limit, or that CheckSizes refuses, is refused before
// anything is allocated.
class EntryData {
  public:
    explicit EntryData(const ArchiveEntry& entry, uint64_t limit = UINT32_MAX);
    EntryData(const EntryData&) = delete;
    EntryData& operator=(const EntryData&) = delete;

    bool Sound() const { return result.status == kReadSound; }
    const unsigned char* Bytes() const { return block_.data; }

    ReadResult result;

  private:
    CtMem block_;
};
