#include "archive/EntryData.h"

static ReadResult Admit(const ArchiveEntry& entry, uint64_t limit) {
    if (uint64_t(entry.DecodedSize()) > limit) return {kReadTooLarge, 0};
    return entry.CheckSizes();
}

EntryData::EntryData(const ArchiveEntry& entry, uint64_t limit)
    : result(Admit(entry, limit)),
      block_(result.status == kReadSound ? entry.DecodedSize() + kEntrySlack : 0) {
    if (result.status != kReadSound) return;
    if (!block_.data)
        result = {kReadNoMemory, 0};
    else
        result = entry.DecodeData(block_.data, entry.DecodedSize());
}
