#include "archive/EntryCursor.h"

#include <limits.h>

namespace {

// The entry, whose size word is not 0, can be read without leaving the archive (roomLeft
// bytes), and its decoded size leaves the readers' and the decoder's slack room to add.
bool EntryIsSound(const ArchiveEntry& e, int32_t roomLeft) {
    int32_t size = e.Size();
    if (size < kEntryHeaderSize || size > roomLeft) return false;
    int32_t name = e.NameLength(), info = e.InfoLength();
    if (name < 0 || name > size - kEntryHeaderSize) return false;
    if (info < 0 || info > size - kEntryHeaderSize - name) return false;
    int32_t decoded = e.DecodedSize();
    if (decoded < 0 || decoded > INT_MAX - kStageSlack) return false;
    // A compressed entry needs at least its flags byte.
    return !(DataCompressed(e.Method()) && e.Data().length == 0);
}

} // namespace

EntryCursor::EntryCursor(const unsigned char* bytes, int32_t length)
    : bytes_(bytes), length_(length), entry_(bytes) {
    // A header that leads nowhere ends the walk at the first entry.
    if (!bytes || length < 4) {
        status_ = kEntryDamaged;
        index_ = 0;
        return;
    }
    position_ = static_cast<int32_t>(ReadWord(bytes));
    if (position_ < 0 || position_ > length) {
        status_ = kEntryDamaged;
        index_ = 0;
    }
}

EntryStatus EntryCursor::Next() {
    return Step(true);
}

EntryStatus EntryCursor::Skip() {
    return Step(false);
}

EntryStatus EntryCursor::Step(bool verify) {
    if (status_ != kEntryFound) return status_;
    ++index_;
    if (kEntryHeaderSize > length_ - position_) return status_ = kEntryEnd;
    ArchiveEntry at(bytes_ + position_);
    if (at.Size() == 0) return status_ = kEntryEnd;
    if (!EntryIsSound(at, length_ - position_)) return status_ = kEntryDamaged;
    position_ += at.Size();
    if (verify && at.ComputeCheckword() != at.StoredCheckword())
        return status_ = kEntryBadCheckword;
    entry_ = at;
    return kEntryFound;
}

ReadResult EntryCursor::Result() const {
    switch (status_) {
    case kEntryBadCheckword:
        return {kReadBadCheckword, 0};
    case kEntryDamaged:
        return {kReadDamaged, 0};
    default:
        return {kReadSound, 0};
    }
}
