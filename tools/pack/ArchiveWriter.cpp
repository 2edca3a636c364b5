#include "tools/pack/ArchiveWriter.h"

#include "tools/pe/ByteReader.h"

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
    if (!DataDelivered(method) || data.size() > kCompressMaxSize) return false;
    std::vector<uint8_t> stored = StoreData(data, method, level, stats);
    // A compressed stream has at least its flags byte; none means the compressor gave up.
    if (stored.empty() && DataCompressed(method)) return false;
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
    bool inverted = TextsInverted(method);
    AppendText(&entry, name, inverted);
    AppendText(&entry, info, inverted);
    entry.insert(entry.end(), stored.begin(), stored.end());
    PutU32(&entry[kSizeWord], uint32_t(entry.size()));
    PutU32(&entry[kMethodWord], method);
    PutU32(&entry[kNameWord], uint32_t(name.size()));
    PutU32(&entry[kInfoWord], uint32_t(info.size()));
    PutU32(&entry[kDecodedWord], uint32_t(decodedSize));
    PutU32(&entry[kCheckWord], EntryCheckword(entry.data(), uint32_t(entry.size())));
    return entry;
}

std::vector<uint8_t> StoreData(const std::vector<uint8_t>& data, uint32_t method, int level,
                               CompressStats* stats) {
    if (DataCompressed(method))
        return CompressBest(data.data(), data.size(), kStagesAuto, level, stats);
    std::vector<uint8_t> stored = data;
    if (DataInverted(method))
        for (uint8_t& b : stored)
            b = uint8_t(~b);
    return stored;
}
