// A walk over the entries of an archive, once, in order.
#pragma once
#include <stdint.h>

#include "archive/ArchiveEntry.h"

// Where a step of the walk got to.
enum EntryStatus : int {
    kEntryFound = 0,
    kEntryEnd = 1,          // past the last entry, or a size word of 0
    kEntryBadCheckword = 2, // the entry's checkword does not match its bytes
    kEntryDamaged = 3,      // header words that would lead outside the archive
};

class EntryCursor {
  public:
    EntryCursor(const unsigned char* bytes, int32_t length);

    // Steps to the next entry (the first, on the first call). kEntryFound for an entry whose
    // words keep it inside the archive and whose checkword matches; anything else ends the walk,
    // and every later step gives the same again.
    EntryStatus Next();
    // The same, without the checkword: a step over an entry that is not read.
    EntryStatus Skip();

    EntryStatus Status() const { return status_; }
    // The step's entry, from 0 (-1 before the first step); where a walk ended, the entry that
    // ended it.
    int Index() const { return index_; }
    // The entry of the last step that gave kEntryFound (its words are then sound).
    const ArchiveEntry& Entry() const { return entry_; }
    // How the walk ended, as a read result: sound at the end of the archive.
    ReadResult Result() const;

  private:
    EntryStatus Step(bool verify);

    const unsigned char* bytes_;
    int32_t length_;
    int32_t position_ = 0; // of the next entry
    int index_ = -1;
    EntryStatus status_ = kEntryFound;
    ArchiveEntry entry_;
};
