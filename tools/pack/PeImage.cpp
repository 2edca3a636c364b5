#include "tools/pack/PeImage.h"

#include "tools/pack/ByteReader.h"
#include "tools/pack/PeLayout.h"

#include <string.h>

namespace {

enum : uint32_t {
    kSectionCountOffset = 2,                 // in the file header
    kNewSectionCharacteristics = 0x40000040, // initialised data, readable
};

const char16_t kPayloadType[] = u"EXE_DATA";
const uint32_t kPayloadId = 1;

bool IsPowerOfTwo(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

uint64_t AlignUp(uint64_t value, uint32_t alignment) {
    return (value + alignment - 1) & ~uint64_t(alignment - 1);
}

bool IsPayload(const ResourceLeaf& leaf) {
    if (!leaf.type.named || leaf.name.named || leaf.name.id != kPayloadId) return false;
    std::u16string upper = leaf.type.text;
    for (char16_t& c : upper)
        if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
    return upper == kPayloadType;
}

// The end of the image in memory: the highest section end.
uint64_t ImageEnd(const PeLayout& pe) {
    uint64_t end = 0;
    for (const PeSection& s : pe.sections) {
        uint64_t sectionEnd = uint64_t(s.virtualAddress) + s.MappedSize();
        if (sectionEnd > end) end = sectionEnd;
    }
    return end;
}

bool Overlaps(uint64_t start, uint64_t length, uint64_t rangeStart, uint64_t rangeLength) {
    return length != 0 && rangeLength != 0 && start < rangeStart + rangeLength &&
           rangeStart < start + length;
}

// Whether any base relocation would patch bytes inside [start, start + length).
bool RelocatesInto(const std::vector<uint8_t>& file, const PeLayout& pe, uint32_t start,
                   uint32_t length) {
    uint32_t size = pe.DirSize(kPeDirBaseReloc);
    size_t at;
    if (size == 0) return false;
    if (!pe.RvaToOffset(pe.DirRva(kPeDirBaseReloc), size, file.size(), &at)) return true;
    ByteReader r(file.data() + at, size);
    for (uint32_t block = 0; block + 8 <= size;) {
        uint32_t page = r.U32(block);
        uint32_t blockSize = r.U32(block + 4);
        if (blockSize < 8 || blockSize > size - block) return true;
        for (uint32_t e = block + 8; e + 2 <= block + blockSize; e += 2) {
            uint32_t entry = r.U16(e);
            if (entry >> 12 != 0 && Overlaps(uint64_t(page) + (entry & 0xFFF), 4, start, length))
                return true;
        }
        block += blockSize;
    }
    return false;
}

// Whether the section holding the resource tree can be rewritten where it stands: it is the
// last section in memory and in the file, nothing follows it in the file, and nothing but the
// resource tree lives in it.
bool CanRewriteInPlace(const std::vector<uint8_t>& file, const PeLayout& pe, int index) {
    const PeSection& s = pe.sections[index];
    if (s.virtualAddress != pe.DirRva(kPeDirResource)) return false;
    if (uint64_t(s.virtualAddress) + s.MappedSize() != ImageEnd(pe)) return false;
    if (uint64_t(s.rawPointer) + s.rawSize != file.size()) return false;
    for (size_t i = 0; i < pe.sections.size(); ++i) {
        const PeSection& other = pe.sections[i];
        if (int(i) != index && Overlaps(other.rawPointer, other.rawSize, s.rawPointer, s.rawSize))
            return false;
    }
    for (uint32_t d = 0; d < pe.directoryCount; ++d) {
        if (d == kPeDirResource || d == kPeDirSecurity) continue;
        if (Overlaps(pe.DirRva(d), pe.DirSize(d), s.virtualAddress, s.MappedSize())) return false;
    }
    // Debug data is found through file offsets: none may point into the section.
    uint32_t debugSize = pe.DirSize(kPeDirDebug);
    size_t debug;
    if (debugSize != 0) {
        if (!pe.RvaToOffset(pe.DirRva(kPeDirDebug), debugSize, file.size(), &debug)) return false;
        ByteReader r(file.data() + debug, debugSize);
        for (uint32_t e = 0; e + 28 <= debugSize; e += 28)
            if (Overlaps(r.U32(e + 24), r.U32(e + 16), s.rawPointer, s.rawSize)) return false;
    }
    return !RelocatesInto(file, pe, s.virtualAddress, s.MappedSize());
}

void SetChecksum(std::vector<uint8_t>* file, size_t checksumOffset) {
    PutU32(&(*file)[checksumOffset], 0);
    PutU32(&(*file)[checksumOffset], PeChecksum(*file, checksumOffset));
}

} // namespace

bool FindPayloadInPe(const std::vector<uint8_t>& file, size_t* offset, size_t* length,
                     std::string* error) {
    PeLayout pe;
    if (!ParsePe(file, &pe, error)) return false;
    if (pe.DirRva(kPeDirResource) == 0 || pe.DirSize(kPeDirResource) == 0)
        return PeFail(error, "no resources in the executable");
    return FindResourceData(file, pe, kPayloadType, kPayloadId, offset, length, error);
}

uint32_t PeChecksum(const std::vector<uint8_t>& file, size_t checksumOffset) {
    auto byte = [&](size_t i) -> uint32_t {
        return i >= checksumOffset && i - checksumOffset < 4 ? 0 : file[i];
    };
    uint32_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        sum += byte(i) | (i + 1 < file.size() ? byte(i + 1) << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return sum + uint32_t(file.size());
}

bool PeChecksumOffset(const std::vector<uint8_t>& file, size_t* checksumOffset,
                      std::string* error) {
    PeLayout pe;
    if (!ParsePe(file, &pe, error)) return false;
    *checksumOffset = pe.optionalHeader + kOptCheckSum;
    return true;
}

bool InsertPayloadIntoPe(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& payload,
                         std::vector<uint8_t>* out, std::string* error) {
    PeLayout pe;
    if (!ParsePe(stub, &pe, error)) return false;
    if (!IsPowerOfTwo(pe.fileAlignment) || !IsPowerOfTwo(pe.sectionAlignment) ||
        pe.fileAlignment > pe.sectionAlignment)
        return PeFail(error, "bad section or file alignment in the PE header");
    for (const PeSection& s : pe.sections)
        if (s.rawSize != 0 &&
            (s.rawPointer > stub.size() || s.rawSize > stub.size() - s.rawPointer))
            return PeFail(error, "section data runs past the end of the file");
    if (pe.directoryCount <= kPeDirResource)
        return PeFail(error, "the PE header has no resource directory entry");
    if (pe.DirSize(kPeDirSecurity) != 0)
        return PeFail(error, "the stub is signed; sign the installer after building it instead");

    std::vector<ResourceLeaf> leaves;
    if (!ReadResources(stub, pe, &leaves, error)) return false;
    std::vector<ResourceLeaf> kept;
    for (ResourceLeaf& leaf : leaves)
        if (!IsPayload(leaf)) kept.push_back(std::move(leaf));
    ResourceLeaf added;
    added.type.named = true;
    added.type.text = kPayloadType;
    added.name.id = kPayloadId;
    added.data = payload.data();
    added.size = payload.size();
    kept.push_back(std::move(added));

    int index = pe.DirSize(kPeDirResource) ? pe.SectionOf(pe.DirRva(kPeDirResource)) : -1;
    bool inPlace = index >= 0 && CanRewriteInPlace(stub, pe, index);
    uint32_t oldRawSize = 0;
    size_t header;
    uint64_t rva, raw;
    if (inPlace) {
        header = pe.sectionTable + index * kPeSectionHeaderSize;
        rva = pe.sections[index].virtualAddress;
        raw = pe.sections[index].rawPointer;
        oldRawSize = pe.sections[index].rawSize;
    } else {
        header = pe.sectionTable + pe.sections.size() * kPeSectionHeaderSize;
        uint64_t firstRaw = pe.sizeOfHeaders < stub.size() ? pe.sizeOfHeaders : stub.size();
        for (const PeSection& s : pe.sections)
            if (s.rawSize != 0 && s.rawPointer < firstRaw) firstRaw = s.rawPointer;
        if (kPeSectionHeaderSize > firstRaw || header > firstRaw - kPeSectionHeaderSize)
            return PeFail(error, "no room in the stub's headers for another section");
        for (uint32_t i = 0; i < kPeSectionHeaderSize; ++i)
            if (stub[header + i] != 0)
                return PeFail(error, "no room in the stub's headers for another section");
        rva = AlignUp(ImageEnd(pe), pe.sectionAlignment);
        raw = AlignUp(stub.size(), pe.fileAlignment);
    }
    if (rva > 0x7FFFFFFF || raw > 0x7FFFFFFF) return PeFail(error, "the stub is too large");
    std::vector<uint8_t> section;
    if (!BuildResourceSection(&kept, uint32_t(rva), &section, error)) return false;
    uint64_t rawSize = AlignUp(section.size(), pe.fileAlignment);
    PeLayout after = pe;
    if (!inPlace) after.sections.push_back(PeSection());
    PeSection& written = inPlace ? after.sections[index] : after.sections.back();
    written.virtualAddress = uint32_t(rva);
    written.virtualSize = uint32_t(section.size());
    uint64_t imageEnd = AlignUp(ImageEnd(after), pe.sectionAlignment);
    if (raw + rawSize > 0x7FFFFFFF || imageEnd > 0x7FFFFFFF)
        return PeFail(error, "the installer would be too large");

    std::vector<uint8_t>& o = *out;
    o.assign(stub.begin(), stub.begin() + (raw < stub.size() ? size_t(raw) : stub.size()));
    o.resize(size_t(raw), 0);
    o.insert(o.end(), section.begin(), section.end());
    o.resize(size_t(raw + rawSize), 0);

    if (!inPlace) {
        // Readers that look for the section by name must find the new tree, not the old one.
        if (index >= 0 && memcmp(pe.sections[index].name, ".rsrc\0\0", 8) == 0)
            memcpy(&o[pe.sectionTable + index * kPeSectionHeaderSize], ".rsrcold", 8);
        memcpy(&o[header], ".rsrc\0\0", 8);
        PutU32(&o[header + 36], kNewSectionCharacteristics);
        PutU16(&o[pe.optionalHeader - 20 + kSectionCountOffset], uint32_t(pe.sections.size() + 1));
    }
    PutU32(&o[header + 8], uint32_t(section.size()));
    PutU32(&o[header + 12], uint32_t(rva));
    PutU32(&o[header + 16], uint32_t(rawSize));
    PutU32(&o[header + 20], uint32_t(raw));

    size_t opt = pe.optionalHeader;
    ByteReader r(o.data(), o.size());
    uint32_t initialised = r.U32(opt + kOptSizeOfInitializedData);
    PutU32(&o[opt + kOptSizeOfInitializedData], initialised + uint32_t(rawSize) - oldRawSize);
    PutU32(&o[opt + kOptSizeOfImage], uint32_t(imageEnd));
    PutU32(&o[opt + kOptDirectories + 8 * kPeDirResource], uint32_t(rva));
    PutU32(&o[opt + kOptDirectories + 8 * kPeDirResource + 4], uint32_t(section.size()));
    SetChecksum(&o, opt + kOptCheckSum);
    return true;
}
