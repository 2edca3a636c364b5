#include "tools/pack/ArchiveWriter.h"

#include "archive/PayloadArchive.h"
#include "tools/pack/ByteReader.h"

namespace {

const size_t kMaxEntrySize = 0x7FFFFFFF;

void AppendText(std::vector<uint8_t>* out, const std::string& text, bool inverted) {
    for (unsigned char c : text)
        out->push_back(inverted ? uint8_t(~c) : c);
}

} // namespace

ArchiveWriter::ArchiveWriter() : bytes_(kPayloadFirstEntry, 0) {
    PutU32(bytes_.data(), kPayloadFirstEntry);
}

bool ArchiveWriter::Add(const std::string& name, const std::string& info,
                        const std::vector<uint8_t>& data, uint32_t method, CompressStats* stats) {
    std::vector<uint8_t> entry;
    if (!EncodeDataEntry(name, info, data, method, kLevelDefault, stats, &entry)) return false;
    AddRaw(entry);
    return true;
}

bool ArchiveWriter::AddStored(const std::string& name, const std::string& info,
                              const std::vector<uint8_t>& stored, int32_t decodedSize,
                              uint32_t method) {
    std::vector<uint8_t> entry = EncodeEntry(name, info, stored, decodedSize, method);
    if (entry.empty()) return false;
    AddRaw(entry);
    return true;
}

void ArchiveWriter::AddRaw(const std::vector<uint8_t>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

bool EncodeDataEntry(const std::string& name, const std::string& info,
                     const std::vector<uint8_t>& data, uint32_t method, int level,
                     CompressStats* stats, std::vector<uint8_t>* entry) {
    if (method > kMethodCompressedInverted || data.size() > kCompressMaxSize) return false;
    std::vector<uint8_t> stored = StoreData(data, method, level, stats);
    // A compressed stream has at least its flags byte; none means the compressor gave up.
    if (stored.empty() && (method & kMethodCompressed)) return false;
    *entry = EncodeEntry(name, info, stored, int32_t(data.size()), method);
    return !entry->empty();
}

std::vector<uint8_t> EncodeEntry(const std::string& name, const std::string& info,
                                 const std::vector<uint8_t>& stored, int32_t decodedSize,
                                 uint32_t method) {
    size_t room = kMaxEntrySize - kEntryHeaderSize;
    if (name.size() > room || info.size() > room - name.size() ||
        stored.size() > room - name.size() - info.size())
        return {};
    std::vector<uint8_t> entry(kEntryHeaderSize, 0);
    entry.reserve(kEntryHeaderSize + name.size() + info.size() + stored.size());
    bool inverted = (method & 1) != 0;
    AppendText(&entry, name, inverted);
    AppendText(&entry, info, inverted);
    entry.insert(entry.end(), stored.begin(), stored.end());
    PutU32(&entry[0], uint32_t(entry.size()));
    PutU32(&entry[8], method);
    PutU32(&entry[12], uint32_t(name.size()));
    PutU32(&entry[16], uint32_t(info.size()));
    PutU32(&entry[20], uint32_t(decodedSize));
    SealEntry(&entry);
    return entry;
}

uint32_t EntryCheckword(const uint8_t* entry, size_t length) {
    ByteReader r(entry, length);
    uint32_t size = r.U32(0);
    uint32_t sum = size + r.U32(8) + r.U32(12) + r.U32(16);
    size_t end = size < length ? size : length;
    for (size_t k = kEntryHeaderSize; k < end; ++k)
        sum += uint32_t((k - kEntryHeaderSize) % 16 + 1) * entry[k];
    return ~sum;
}

void SealEntry(std::vector<uint8_t>* entry) {
    if (entry->size() < kEntryHeaderSize) return;
    PutU32(&(*entry)[4], EntryCheckword(entry->data(), entry->size()));
}

std::vector<uint8_t> StoreData(const std::vector<uint8_t>& data, uint32_t method, int level,
                               CompressStats* stats) {
    if (method & kMethodCompressed)
        return CompressBest(data.data(), data.size(), kStagesAuto, level, stats);
    std::vector<uint8_t> stored = data;
    if (method & kMethodInverted)
        for (uint8_t& b : stored)
            b = uint8_t(~b);
    return stored;
}
