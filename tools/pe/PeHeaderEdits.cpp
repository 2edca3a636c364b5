#include "tools/pe/PeHeaderEdits.h"

#include "tools/pe/ByteReader.h"
#include "tools/pe/PeImage.h"
#include "tools/pe/PeLayout.h"

#include <algorithm>

namespace {

enum : uint32_t {
    kPeDirExport = 0,
    kFileHeaderSize = 20, // the file header precedes the optional header
    kFileHeaderTimeStamp = 4,
    kDebugEntrySize = 28,
    kCertificateAlignment = 8,
};

void UpdateChecksum(std::vector<uint8_t>* file, const PeLayout& pe) {
    size_t at = pe.optionalHeader + kOptCheckSum;
    PutU32(&(*file)[at], PeChecksum(*file, at));
}

} // namespace

bool IsSignedPe(const std::vector<uint8_t>& file) {
    PeLayout pe;
    std::string error;
    return ParsePe(file, &pe, &error) && pe.DirSize(kPeDirSecurity) != 0;
}

bool DropPeSignature(std::vector<uint8_t>* file, std::string* error) {
    PeLayout pe;
    if (!ParsePe(*file, &pe, error)) return false;
    // The certificate table's "address" is a file offset.
    uint32_t offset = pe.DirRva(kPeDirSecurity), size = pe.DirSize(kPeDirSecurity);
    if (offset > file->size() || size != file->size() - offset)
        return PeFail(error, "the certificate table is not at the end of the file");
    uint64_t sectionsEnd = pe.sizeOfHeaders;
    for (const PeSection& s : pe.sections)
        if (s.rawSize != 0)
            sectionsEnd = std::max<uint64_t>(sectionsEnd, uint64_t(s.rawPointer) + s.rawSize);
    if (offset < sectionsEnd) return PeFail(error, "the certificate table overlaps the sections");
    // Signing pads the file with zeros to 8 bytes before the table; that padding goes too.
    size_t end = offset;
    while (end > sectionsEnd && offset - end < kCertificateAlignment - 1 && (*file)[end - 1] == 0)
        --end;
    file->resize(end);
    size_t directory = pe.optionalHeader + kOptDirectories + 8 * kPeDirSecurity;
    PutU32(&(*file)[directory], 0);
    PutU32(&(*file)[directory + 4], 0);
    UpdateChecksum(file, pe);
    return true;
}

bool SetPeTimeStamps(std::vector<uint8_t>* file, uint32_t time, std::string* error) {
    PeLayout pe;
    if (!ParsePe(*file, &pe, error)) return false;
    PutU32(&(*file)[pe.optionalHeader - kFileHeaderSize + kFileHeaderTimeStamp], time);
    size_t at;
    if (pe.DirSize(kPeDirExport) >= 8 &&
        pe.RvaToOffset(pe.DirRva(kPeDirExport), 8, file->size(), &at))
        PutU32(&(*file)[at + 4], time);
    uint32_t debugSize = pe.DirSize(kPeDirDebug);
    if (debugSize != 0 && pe.RvaToOffset(pe.DirRva(kPeDirDebug), debugSize, file->size(), &at))
        for (uint32_t e = 0; kDebugEntrySize <= debugSize - e; e += kDebugEntrySize)
            PutU32(&(*file)[at + e + 4], time);
    UpdateChecksum(file, pe);
    return true;
}
