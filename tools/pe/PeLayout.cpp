#include "tools/pe/PeLayout.h"

#include "tools/pe/ByteReader.h"

namespace {

enum : uint32_t {
    kMzMagic = 0x5A4D,
    kPeSignature = 0x00004550,
    kMachineI386 = 0x014C,
    kPe32Magic = 0x010B,
    kMaxDirectories = 16,
    kMaxSections = 96,
};

} // namespace

int PeLayout::SectionOf(uint32_t rva) const {
    for (size_t i = 0; i < sections.size(); ++i) {
        const PeSection& s = sections[i];
        if (rva >= s.virtualAddress && rva - s.virtualAddress < s.MappedSize()) return int(i);
    }
    return -1;
}

bool PeLayout::RvaToOffset(uint32_t rva, uint32_t count, size_t fileLength, size_t* offset) const {
    int index = SectionOf(rva);
    if (index < 0) return false;
    const PeSection& s = sections[index];
    uint32_t delta = rva - s.virtualAddress;
    if (delta > s.rawSize || count > s.rawSize - delta) return false;
    if (s.rawPointer > fileLength || delta > fileLength - s.rawPointer) return false;
    size_t at = size_t(s.rawPointer) + delta;
    if (count > fileLength - at) return false;
    *offset = at;
    return true;
}

bool ParsePe(const std::vector<uint8_t>& file, PeLayout* pe, std::string* error) {
    ByteReader r(file.data(), file.size());
    if (r.U16(0) != kMzMagic || !r.Ok())
        return PeFail(error, "not a Windows executable (no MZ header)");
    uint32_t peOffset = r.U32(0x3C);
    if (r.U32(peOffset) != kPeSignature || !r.Ok())
        return PeFail(error, "not a PE image (no PE signature)");
    size_t fileHeader = size_t(peOffset) + 4;
    uint32_t machine = r.U16(fileHeader);
    uint32_t sectionCount = r.U16(fileHeader + 2);
    uint32_t optionalSize = r.U16(fileHeader + 16);
    if (!r.Ok()) return PeFail(error, "truncated PE file header");
    if (machine != kMachineI386) return PeFail(error, "not a 32-bit x86 executable");
    size_t opt = fileHeader + 20;
    if (!r.Has(opt, optionalSize) || optionalSize < kOptDirectories || r.U16(opt) != kPe32Magic)
        return PeFail(error, "not a 32-bit PE image (optional header)");
    uint32_t directoryCount = r.U32(opt + kOptDirectoryCount);
    if (directoryCount > kMaxDirectories) directoryCount = kMaxDirectories;
    if (directoryCount * 8 > optionalSize - kOptDirectories)
        return PeFail(error, "data directories run past the optional header");
    if (sectionCount == 0 || sectionCount > kMaxSections)
        return PeFail(error, "bad number of sections in the PE header");
    size_t table = opt + optionalSize;
    if (!r.Has(table, sectionCount * kPeSectionHeaderSize))
        return PeFail(error, "truncated section table");

    pe->optionalHeader = opt;
    pe->sectionTable = table;
    pe->directoryCount = directoryCount;
    pe->sectionAlignment = r.U32(opt + kOptSectionAlignment);
    pe->fileAlignment = r.U32(opt + kOptFileAlignment);
    pe->sizeOfHeaders = r.U32(opt + kOptSizeOfHeaders);
    pe->entryPoint = r.U32(opt + kOptEntryPoint);
    pe->directories.clear();
    for (uint32_t i = 0; i < 2 * directoryCount; ++i)
        pe->directories.push_back(r.U32(opt + kOptDirectories + 4 * i));
    pe->sections.clear();
    for (uint32_t i = 0; i < sectionCount; ++i) {
        size_t at = table + i * kPeSectionHeaderSize;
        PeSection s;
        for (int k = 0; k < 8; ++k)
            s.name[k] = r.U8(at + k);
        s.virtualSize = r.U32(at + 8);
        s.virtualAddress = r.U32(at + 12);
        s.rawSize = r.U32(at + 16);
        s.rawPointer = r.U32(at + 20);
        s.characteristics = r.U32(at + 36);
        pe->sections.push_back(s);
    }
    return r.Ok() || PeFail(error, "truncated PE headers");
}
