#include "tools/pe/PeImage.h"

#include "tools/pe/ByteReader.h"
#include "tools/pe/PeLayout.h"

#include <string.h>

#include <algorithm>

namespace {

enum : uint32_t {
    kSectionCountOffset = 2,                 // in the file header
    kNewSectionCharacteristics = 0x40000040, // initialised data, readable
    kMaxFileAlignment = 0x10000,
};

// "EXE_DATA" as the resource tree spells names: little-endian UTF-16.
const uint8_t kPayloadTypeText[] = {'E', 0, 'X', 0, 'E', 0, '_', 0, 'D', 0, 'A', 0, 'T', 0, 'A', 0};
const ResourceKey kPayloadType{true, 0, kPayloadTypeText, sizeof kPayloadTypeText / 2};
const uint32_t kPayloadId = 1;

bool IsPowerOfTwo(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

uint64_t AlignUp(uint64_t value, uint32_t alignment) {
    return (value + alignment - 1) & ~uint64_t(alignment - 1);
}

} // namespace

ResourceLeaf PayloadLeaf(const std::vector<uint8_t>& payload) {
    ResourceLeaf leaf;
    leaf.type = kPayloadType;
    leaf.name.id = kPayloadId;
    leaf.data = payload.data();
    leaf.size = payload.size();
    return leaf;
}

namespace {

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

// Whether debug data, found through file offsets, points into the raw range.
bool DebugDataInto(const std::vector<uint8_t>& file, const PeLayout& pe, uint32_t raw,
                   uint32_t length) {
    uint32_t debugSize = pe.DirSize(kPeDirDebug);
    size_t debug;
    if (debugSize == 0) return false;
    if (!pe.RvaToOffset(pe.DirRva(kPeDirDebug), debugSize, file.size(), &debug)) return true;
    ByteReader r(file.data() + debug, debugSize);
    for (uint32_t e = 0; e + 28 <= debugSize; e += 28)
        if (Overlaps(r.U32(e + 24), r.U32(e + 16), raw, length)) return true;
    return false;
}

// Whether a data directory other than the ones named, or the entry point, lies in the section.
bool ReferencedBesides(const PeLayout& pe, const PeSection& s, uint32_t own) {
    for (uint32_t d = 0; d < pe.directoryCount; ++d) {
        if (d == own || d == kPeDirSecurity) continue;
        if (Overlaps(pe.DirRva(d), pe.DirSize(d), s.virtualAddress, s.MappedSize())) return true;
    }
    return Overlaps(pe.entryPoint, 1, s.virtualAddress, s.MappedSize());
}

// Whether a section can move to another rva: it is the relocation section, only the
// base-relocation directory refers to it and none of its own bytes get relocated.
bool CanMove(const std::vector<uint8_t>& file, const PeLayout& pe, int index) {
    const PeSection& s = pe.sections[index];
    uint32_t relocRva = pe.DirRva(kPeDirBaseReloc);
    size_t at;
    return memcmp(s.name, ".reloc\0\0", 8) == 0 && pe.DirSize(kPeDirBaseReloc) != 0 &&
           pe.SectionOf(relocRva) == index &&
           pe.RvaToOffset(relocRva, pe.DirSize(kPeDirBaseReloc), file.size(), &at) &&
           !ReferencedBesides(pe, s, kPeDirBaseReloc) &&
           !DebugDataInto(file, pe, s.rawPointer, s.rawSize) &&
           !RelocatesInto(file, pe, s.virtualAddress, s.MappedSize());
}

// Whether the section holding the resource tree can be rewritten where it stands: nothing but
// the resource tree lives in it, and every other section lies before it in memory and in the
// file except at most one that can move behind the rebuilt tree (*tail, or -1).
bool CanRewriteInPlace(const std::vector<uint8_t>& file, const PeLayout& pe, int index, int* tail) {
    const PeSection& s = pe.sections[index];
    *tail = -1;
    // The section's header and the image's headers are rewritten: the data must lie past them.
    uint64_t tableEnd = pe.sectionTable + uint64_t(pe.sections.size()) * kPeSectionHeaderSize;
    if (s.virtualAddress != pe.DirRva(kPeDirResource) || s.virtualAddress < pe.sizeOfHeaders ||
        s.rawPointer < tableEnd || s.rawPointer < pe.sizeOfHeaders)
        return false;
    for (size_t i = 0; i < pe.sections.size(); ++i) {
        const PeSection& other = pe.sections[i];
        if (int(i) == index) continue;
        bool before =
            uint64_t(other.virtualAddress) + other.MappedSize() <= s.virtualAddress &&
            (other.rawSize == 0 || uint64_t(other.rawPointer) + other.rawSize <= s.rawPointer);
        if (before) continue;
        if (*tail >= 0 || !CanMove(file, pe, int(i))) return false;
        *tail = int(i);
    }
    uint64_t end = uint64_t(s.rawPointer) + s.rawSize;
    if (*tail >= 0) {
        const PeSection& t = pe.sections[*tail];
        if (uint64_t(s.virtualAddress) + s.MappedSize() > t.virtualAddress || end > t.rawPointer ||
            uint64_t(t.rawPointer) + t.rawSize != file.size())
            return false;
    } else if (end != file.size()) {
        return false;
    }
    return !ReferencedBesides(pe, s, kPeDirResource) &&
           !DebugDataInto(file, pe, s.rawPointer, s.rawSize) &&
           !RelocatesInto(file, pe, s.virtualAddress, s.MappedSize());
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
    return RebuildPeResources(
        stub,
        [&](std::vector<ResourceLeaf>* leaves, std::string*) {
            ReplaceResource(leaves, PayloadLeaf(payload));
            return true;
        },
        out, error);
}

bool RebuildPeResources(const std::vector<uint8_t>& stub, const ResourceEditor& edit,
                        std::vector<uint8_t>* out, std::string* error) {
    PeLayout pe;
    if (!ParsePe(stub, &pe, error)) return false;
    // The loader takes file alignments up to 64 KiB; a larger one would pad the output by as much.
    if (!IsPowerOfTwo(pe.fileAlignment) || !IsPowerOfTwo(pe.sectionAlignment) ||
        pe.fileAlignment > pe.sectionAlignment || pe.fileAlignment > kMaxFileAlignment)
        return PeFail(error, "bad section or file alignment in the PE header");
    if (pe.sizeOfHeaders > stub.size())
        return PeFail(error, "the PE headers claim more bytes than the file holds");
    for (const PeSection& s : pe.sections)
        if (s.rawSize != 0 &&
            (s.rawPointer > stub.size() || s.rawSize > stub.size() - s.rawPointer))
            return PeFail(error, "section data runs past the end of the file");
    if (pe.directoryCount <= kPeDirResource)
        return PeFail(error, "the PE header has no resource directory entry");
    if (pe.DirSize(kPeDirSecurity) != 0)
        return PeFail(error, "the stub is signed; sign the installer after building it instead");

    std::vector<ResourceLeaf> kept;
    if (!ReadResources(stub, pe, &kept, error) || !edit(&kept, error)) return false;

    int index = pe.DirSize(kPeDirResource) ? pe.SectionOf(pe.DirRva(kPeDirResource)) : -1;
    int tail = -1;
    bool inPlace = index >= 0 && CanRewriteInPlace(stub, pe, index, &tail);
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
        // Never over the headers, even when the section table claims nothing lies past them.
        rva = AlignUp(std::max<uint64_t>(ImageEnd(pe), pe.sizeOfHeaders), pe.sectionAlignment);
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
    uint64_t tailRva = AlignUp(rva + section.size(), pe.sectionAlignment);
    uint64_t end = raw + rawSize;
    if (tail >= 0) {
        after.sections[tail].virtualAddress = uint32_t(tailRva);
        end += pe.sections[tail].rawSize;
    }
    uint64_t imageEnd = AlignUp(ImageEnd(after), pe.sectionAlignment);
    if (end > 0x7FFFFFFF || tailRva > 0x7FFFFFFF || imageEnd > 0x7FFFFFFF)
        return PeFail(error, "the installer would be too large");

    std::vector<uint8_t>& o = *out;
    o.assign(stub.begin(), stub.begin() + (raw < stub.size() ? size_t(raw) : stub.size()));
    o.resize(size_t(raw), 0);
    o.insert(o.end(), section.begin(), section.end());
    o.resize(size_t(raw + rawSize), 0);
    size_t opt = pe.optionalHeader;
    if (tail >= 0) {
        // The relocation section follows the rebuilt tree; its blocks name pages of the other
        // sections, so only its own place and the directory pointing at it change.
        const PeSection& t = pe.sections[tail];
        size_t tailHeader = pe.sectionTable + tail * kPeSectionHeaderSize;
        o.insert(o.end(), stub.begin() + t.rawPointer, stub.begin() + t.rawPointer + t.rawSize);
        PutU32(&o[tailHeader + 12], uint32_t(tailRva));
        PutU32(&o[tailHeader + 20], uint32_t(raw + rawSize));
        uint32_t relocRva = pe.DirRva(kPeDirBaseReloc) - t.virtualAddress + uint32_t(tailRva);
        PutU32(&o[opt + kOptDirectories + 8 * kPeDirBaseReloc], relocRva);
    }

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

    ByteReader r(o.data(), o.size());
    uint32_t initialised = r.U32(opt + kOptSizeOfInitializedData);
    PutU32(&o[opt + kOptSizeOfInitializedData], initialised + uint32_t(rawSize) - oldRawSize);
    PutU32(&o[opt + kOptSizeOfImage], uint32_t(imageEnd));
    PutU32(&o[opt + kOptDirectories + 8 * kPeDirResource], uint32_t(rva));
    PutU32(&o[opt + kOptDirectories + 8 * kPeDirResource + 4], uint32_t(section.size()));
    SetChecksum(&o, opt + kOptCheckSum);
    return true;
}
