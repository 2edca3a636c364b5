// The payload archive: a read-only view of checksummed entries, read one at a time.
#pragma once
#include <stdint.h>

#include "archive/EntryCursor.h"

struct PayloadArchive {
    const unsigned char* start = nullptr;
    int32_t length = 0;

    EntryCursor Entries() const { return EntryCursor(start, length); }

    // Entry index: its name and info text into the buffers given, and with dataLength (the
    // capacity of data on entry) its data and decoded size. 1 when the entry exists and its
    // checkword matches; 0, with nothing touched, otherwise. A checkword mismatch, a damaged
    // entry and a decoding error are reported.
    int ReadEntry(int index, char* name, int nameCapacity, char* info, int infoCapacity,
                  unsigned char* data, int* dataLength) const;

    // Walks to entry index; on kEntryFound *entry points at it. Reports nothing.
    EntryStatus Locate(int index, const unsigned char** entry) const;

  private:
    // A cursor whose last step reached entry index, or ended the walk before it.
    EntryCursor WalkTo(int index) const;
};
