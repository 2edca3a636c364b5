// The parsed headers of a 32-bit PE image, shared by the resource reader and the writer.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

enum : uint32_t {
    kPeDirResource = 2,
    kPeDirSecurity = 4,
    kPeDirBaseReloc = 5,
    kPeDirDebug = 6,
    kPeSectionHeaderSize = 40,
    // Offsets inside the optional header.
    kOptSizeOfInitializedData = 8,
    kOptEntryPoint = 16,
    kOptSectionAlignment = 32,
    kOptFileAlignment = 36,
    kOptSizeOfImage = 56,
    kOptSizeOfHeaders = 60,
    kOptCheckSum = 64,
    kOptDirectoryCount = 92,
    kOptDirectories = 96,
};

// Sets the one-line reason and returns false.
inline bool PeFail(std::string* error, const char* reason) {
    *error = reason;
    return false;
}

struct PeSection {
    uint8_t name[8];
    uint32_t virtualSize;
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawPointer;
    uint32_t characteristics;

    // The extent the loader maps: the virtual size, or the raw size when that is 0.
    uint32_t MappedSize() const { return virtualSize ? virtualSize : rawSize; }
};

struct PeLayout {
    size_t optionalHeader = 0; // file offset of the optional header
    size_t sectionTable = 0;   // file offset of the section table
    uint32_t directoryCount = 0;
    uint32_t sectionAlignment = 0;
    uint32_t fileAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    uint32_t entryPoint = 0;
    std::vector<PeSection> sections;
    std::vector<uint32_t> directories; // rva, size, rva, size, ...

    uint32_t DirRva(uint32_t index) const {
        return index < directoryCount ? directories[2 * index] : 0;
    }
    uint32_t DirSize(uint32_t index) const {
        return index < directoryCount ? directories[2 * index + 1] : 0;
    }
    // The section whose mapped range holds rva, or -1.
    int SectionOf(uint32_t rva) const;
    // File offset of count bytes at rva, all within one section's raw data and the file.
    bool RvaToOffset(uint32_t rva, uint32_t count, size_t fileLength, size_t* offset) const;
};

// Parses the headers of a 32-bit x86 PE image; false with a one-line reason.
bool ParsePe(const std::vector<uint8_t>& file, PeLayout* pe, std::string* error);
