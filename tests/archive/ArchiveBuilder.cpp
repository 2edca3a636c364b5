#include "ArchiveBuilder.h"

#include <stdlib.h>

Bytes Hex(const char* text) {
    Bytes out;
    std::string digits;
    for (const char* p = text; *p; ++p)
        if (*p != ' ') digits += *p;
    for (size_t k = 0; k + 1 < digits.size(); k += 2)
        out.push_back(
            static_cast<unsigned char>(strtoul(digits.substr(k, 2).c_str(), nullptr, 16)));
    return out;
}

Bytes Stream(uint8_t flags, uint8_t runEscape, uint8_t refEscape, const Bytes& stageInput) {
    Bytes out{flags};
    if (flags & 0x20) out.push_back(runEscape);
    if (flags & 0x40) out.push_back(refEscape);
    out.insert(out.end(), stageInput.begin(), stageInput.end());
    return out;
}

Bytes IdentityPrefixBlock(const Bytes& data) {
    Bytes out{0x80, 0x00, 0x00};
    for (int v = 0; v < 256; ++v)
        out.push_back(static_cast<unsigned char>(v));
    uint32_t pending = 0;
    int bits = 0;
    for (unsigned char b : data) {
        pending = (pending << 9) | 0x100 | b;
        bits += 9;
        while (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<unsigned char>(pending >> bits));
        }
    }
    if (bits) out.push_back(static_cast<unsigned char>(pending << (8 - bits)));
    return out;
}

static uint32_t WordAt(const Bytes& bytes, size_t offset) {
    return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
           uint32_t(bytes[offset + 3]) << 24;
}

void PutWord(Bytes& bytes, size_t offset, uint32_t value) {
    for (int k = 0; k < 4; ++k)
        bytes[offset + k] = static_cast<unsigned char>(value >> (8 * k));
}

uint32_t Checkword(const Bytes& archive, size_t entryOffset) {
    uint32_t size = WordAt(archive, entryOffset);
    uint32_t sum = 0;
    for (uint32_t k = 24; k < size; ++k)
        sum += ((k - 24) % 16 + 1) * archive[entryOffset + k];
    return ~(size + WordAt(archive, entryOffset + 8) + WordAt(archive, entryOffset + 12) +
             WordAt(archive, entryOffset + 16) + sum);
}

void Reseal(Bytes& archive, size_t entryOffset) {
    PutWord(archive, entryOffset + 4, Checkword(archive, entryOffset));
}

Bytes MakeEntry(uint32_t method, const std::string& name, const std::string& info,
                int32_t decodedSize, const Bytes& stored) {
    Bytes e(24);
    unsigned char mask = (method & 1) ? 0xFF : 0x00;
    for (char c : name)
        e.push_back(static_cast<unsigned char>(c) ^ mask);
    for (char c : info)
        e.push_back(static_cast<unsigned char>(c) ^ mask);
    e.insert(e.end(), stored.begin(), stored.end());
    PutWord(e, 0, static_cast<uint32_t>(e.size()));
    PutWord(e, 8, method);
    PutWord(e, 12, static_cast<uint32_t>(name.size()));
    PutWord(e, 16, static_cast<uint32_t>(info.size()));
    PutWord(e, 20, static_cast<uint32_t>(decodedSize));
    Reseal(e, 0);
    return e;
}

Bytes MakeArchive(const std::vector<Bytes>& entries, uint32_t firstOffset) {
    Bytes a(firstOffset < 4 ? 4 : firstOffset);
    PutWord(a, 0, firstOffset);
    for (const Bytes& e : entries)
        a.insert(a.end(), e.begin(), e.end());
    return a;
}
