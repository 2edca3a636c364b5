#include "archive/ArchiveEntry.h"

#include "archive/Decompressor.h"
#include "support/LogChannel.h"
#include "support/Text.h"

namespace {

int32_t SignedWord(const unsigned char* p) {
    return static_cast<int32_t>(ReadWord(p));
}

void CopyText(ByteView from, bool inverted, char* buffer, int capacity) {
    if (capacity < 1) return;
    int count = from.length < capacity - 1 ? from.length : capacity - 1;
    unsigned char mask = inverted ? 0xFF : 0x00;
    for (int k = 0; k < count; ++k)
        buffer[k] = static_cast<char>(from.bytes[k] ^ mask);
    buffer[count] = 0;
}

} // namespace

void FormatReadResult(ReadResult result, char* text, int capacity) {
    // In the order of ReadStatus.
    static const char* const kTexts[] = {
        "",
        "Checkword erreur",
        "Entr\u00e9e endommag\u00e9e",
        "Erreur en d\u00e9compr\u00e9ssion code %d",
        "Taille incorrecte",
        "M\u00e9moire insuffisante",
        "M\u00e9thode inconnue",
        "Entr\u00e9e trop grande",
    };
    TextFormat(text, capacity, kTexts[result.status], result.code);
}

void ReportReadResult(ReadResult result) {
    char text[128];
    FormatReadResult(result, text, sizeof text);
    ReportToLog(kLogPayload, text);
}

int32_t ArchiveEntry::Size() const {
    return SignedWord(bytes_ + kSizeWord);
}
uint32_t ArchiveEntry::StoredCheckword() const {
    return ReadWord(bytes_ + kCheckWord);
}
uint32_t ArchiveEntry::Method() const {
    return ReadWord(bytes_ + kMethodWord);
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

ByteView ArchiveEntry::Name() const {
    return {bytes_ + kEntryHeaderSize, NameLength()};
}
ByteView ArchiveEntry::Info() const {
    return {bytes_ + kEntryHeaderSize + NameLength(), InfoLength()};
}
ByteView ArchiveEntry::Data() const {
    int32_t before = kEntryHeaderSize + NameLength() + InfoLength();
    return {bytes_ + before, Size() - before};
}

uint32_t ArchiveEntry::ComputeCheckword() const {
    return EntryCheckword(bytes_, ReadWord(bytes_ + kSizeWord));
}

int ArchiveEntry::CopyName(char* buffer, int capacity) const {
    CopyText(Name(), TextsInverted(Method()), buffer, capacity);
    return 1;
}

int ArchiveEntry::CopyInfo(char* buffer, int capacity) const {
    CopyText(Info(), TextsInverted(Method()), buffer, capacity);
    return 1;
}

int ArchiveEntry::CopyData(unsigned char* buffer, int capacity) const {
    if (capacity < DecodedSize()) return 0;
    if (ComputeCheckword() != StoredCheckword()) return 0;
    ReadResult result = DecodeData(buffer, capacity);
    if (result.status == kReadNoData) return 0;
    // The read itself still counts as done: the log is the decoding error's only trace here.
    if (result.status == kReadDecodeError) ReportReadResult(result);
    return 1;
}

ReadResult ArchiveEntry::DecodeData(unsigned char* buffer, int capacity) const {
    uint32_t method = Method();
    int32_t decoded = DecodedSize();
    if (!DataDelivered(method)) return {kReadNoData, 0};
    if (capacity < decoded) return {kReadTooLarge, 0};
    ByteView data = Data();
    if (DataCompressed(method)) {
        int written = 0, code = 0;
        if (!DecompressDetailed(data.bytes, data.length, buffer, decoded, &written, &code))
            return {kReadDecodeError, code};
        if (written != decoded) return {kReadSizeMismatch, written};
        return {kReadSound, 0};
    }
    int count = data.length < capacity ? data.length : capacity;
    unsigned char mask = DataInverted(method) ? 0xFF : 0x00;
    for (int k = 0; k < count; ++k)
        buffer[k] = data.bytes[k] ^ mask;
    // The terminator only where the capacity has room for it.
    if (count < capacity) buffer[count] = 0;
    if (data.length != decoded) return {kReadSizeMismatch, data.length};
    return {kReadSound, 0};
}

ReadResult ArchiveEntry::CheckSizes() const {
    uint32_t method = Method();
    int32_t decoded = DecodedSize();
    int32_t stored = Data().length;
    if (!DataDelivered(method)) return {kReadNoData, 0};
    if (!DataCompressed(method) && stored != decoded) return {kReadSizeMismatch, stored};
    if (DataCompressed(method) && uint64_t(decoded) > MaxDecodedSize(stored))
        return {kReadSizeMismatch, -1};
    return {kReadSound, 0};
}
