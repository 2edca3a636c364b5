#include "archive/PayloadArchive.h"

#include "archive/Decompressor.h"
#include "support/LogChannel.h"

#include <limits.h>

namespace {

const char kCheckwordText[] = "Checkword erreur";
const char kDamagedText[] = "Entr\xE9"
                            "e endommag\xE9"
                            "e";

// Header word offsets.
enum {
    kSizeWord = 0,
    kCheckWord = 4,
    kMethodWord = 8,
    kNameWord = 12,
    kInfoWord = 16,
    kDecodedWord = 20
};

uint32_t Word(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int32_t SignedWord(const unsigned char* p) {
    return static_cast<int32_t>(Word(p));
}

bool IsCompressed(uint32_t method) {
    return method == 2 || method == 3;
}

// The entry, whose size word is not 0, can be read without leaving the archive (roomLeft bytes),
// and its decoded size leaves the callers' +10 and the decoder's +256 room to add.
bool EntryIsSound(const unsigned char* entry, int32_t roomLeft) {
    ArchiveEntry e(entry);
    int32_t size = e.Size();
    if (size < kEntryHeaderSize || size > roomLeft) return false;
    int32_t name = e.NameLength(), info = e.InfoLength();
    if (name < 0 || name > size - kEntryHeaderSize) return false;
    if (info < 0 || info > size - kEntryHeaderSize - name) return false;
    int32_t decoded = e.DecodedSize();
    if (decoded < 0 || decoded > INT_MAX - kStageSlack) return false;
    // A compressed entry needs at least its flags byte.
    return !(IsCompressed(e.Method()) && e.StoredDataLength() == 0);
}

void CopyText(const unsigned char* from, int32_t length, bool inverted, char* buffer,
              int capacity) {
    if (capacity < 1) return;
    int count = length < capacity - 1 ? length : capacity - 1;
    unsigned char mask = inverted ? 0xFF : 0x00;
    for (int k = 0; k < count; ++k)
        buffer[k] = static_cast<char>(from[k] ^ mask);
    buffer[count] = 0;
}

} // namespace

int32_t ArchiveEntry::Size() const {
    return SignedWord(bytes_ + kSizeWord);
}
uint32_t ArchiveEntry::StoredCheckword() const {
    return Word(bytes_ + kCheckWord);
}
uint32_t ArchiveEntry::Method() const {
    return Word(bytes_ + kMethodWord);
}
int32_t ArchiveEntry::NameLength() const {
    return SignedWord(bytes_ + kNameWord);
}
int32_t ArchiveEntry::InfoLength() const {
    return SignedWord(bytes_ + kInfoWord);
}
int32_t ArchiveEntry::DecodedSize() const {
    return SignedWord(bytes_ + kDecodedWord);
}

const unsigned char* ArchiveEntry::StoredData() const {
    return bytes_ + kEntryHeaderSize + NameLength() + InfoLength();
}

int32_t ArchiveEntry::StoredDataLength() const {
    return Size() - kEntryHeaderSize - NameLength() - InfoLength();
}

uint32_t ArchiveEntry::ComputeCheckword() const {
    // Bytes after the header weigh 1, 2, ..., 16, 1, 2, ... in turn; all sums wrap.
    uint32_t size = Word(bytes_ + kSizeWord);
    uint32_t sum = 0;
    const unsigned char* body = bytes_ + kEntryHeaderSize;
    uint32_t length = size > uint32_t(kEntryHeaderSize) ? size - kEntryHeaderSize : 0;
    uint32_t whole = length & ~15u;
    for (uint32_t k = 0; k < whole; k += 16) {
        uint32_t part = 0;
        for (uint32_t j = 0; j < 16; ++j)
            part += (j + 1) * body[k + j];
        sum += part;
    }
    for (uint32_t k = whole; k < length; ++k)
        sum += ((k & 15) + 1) * body[k];
    return ~(size + Method() + Word(bytes_ + kNameWord) + Word(bytes_ + kInfoWord) + sum);
}

int ArchiveEntry::CopyName(char* buffer, int capacity) const {
    CopyText(bytes_ + kEntryHeaderSize, NameLength(), Method() & 1, buffer, capacity);
    return 1;
}

int ArchiveEntry::CopyInfo(char* buffer, int capacity) const {
    CopyText(bytes_ + kEntryHeaderSize + NameLength(), InfoLength(), Method() & 1, buffer,
             capacity);
    return 1;
}

int ArchiveEntry::CopyData(unsigned char* buffer, int capacity) const {
    if (capacity < DecodedSize()) return 0;
    if (ComputeCheckword() != StoredCheckword()) return 0;
    uint32_t method = Method();
    if (method > 3) return 0;
    if (IsCompressed(method)) {
        // The decoder reports its own errors; the read itself still counts as done.
        Decompress(StoredData(), StoredDataLength(), buffer, DecodedSize());
        return 1;
    }
    int32_t stored = StoredDataLength();
    int count = stored < capacity ? stored : capacity;
    const unsigned char* from = StoredData();
    unsigned char mask = method == 1 ? 0xFF : 0x00;
    for (int k = 0; k < count; ++k)
        buffer[k] = from[k] ^ mask;
    // The terminator only where the capacity has room for it.
    if (count < capacity) buffer[count] = 0;
    return 1;
}

EntryStatus PayloadArchive::Locate(int index, const unsigned char** entry) const {
    if (!start || length < 4) return kEntryDamaged;
    int32_t position = SignedWord(start);
    if (position < 0 || position > length) return kEntryDamaged;
    for (int step = 0;; ++step) {
        if (kEntryHeaderSize > length - position) return kEntryEnd;
        const unsigned char* at = start + position;
        ArchiveEntry current(at);
        if (current.Size() == 0) return kEntryEnd;
        if (!EntryIsSound(at, length - position)) return kEntryDamaged;
        position += current.Size();
        if (step == index) {
            if (current.ComputeCheckword() != current.StoredCheckword()) return kEntryBadCheckword;
            *entry = at;
            return kEntryFound;
        }
    }
}

int PayloadArchive::ReadEntry(int index, char* name, int nameCapacity, char* info, int infoCapacity,
                              unsigned char* data, int* dataLength) const {
    const unsigned char* at = nullptr;
    switch (Locate(index, &at)) {
    case kEntryFound:
        break;
    case kEntryEnd:
        return 0;
    case kEntryBadCheckword:
        ReportToLog(kLogPayload, kCheckwordText);
        return 0;
    case kEntryDamaged:
        ReportToLog(kLogPayload, kDamagedText);
        return 0;
    }
    ArchiveEntry entry(at);
    if (name) entry.CopyName(name, nameCapacity);
    if (info) entry.CopyInfo(info, infoCapacity);
    if (dataLength) {
        if (data) entry.CopyData(data, *dataLength);
        *dataLength = entry.DecodedSize();
    }
    return 1;
}
