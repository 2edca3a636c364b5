// Builds payload archives in memory, for `sfxpack pack` and for tests: a 272-byte header (the
// first-entry offset, then zeros) and checksummed entries, names and info texts inverted when
// bit 0 of the method word is set.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

#include "archive/ArchiveFormat.h"
#include "tools/compress/Compressor.h"

class ArchiveWriter {
  public:
    ArchiveWriter();

    // Methods 2 and 3 store the smallest stream the compressor finds at the default level
    // (stats tells which). False,
    // and nothing added, for a method above 3 or an entry too large for the format's sizes.
    bool Add(const std::string& name, const std::string& info, const std::vector<uint8_t>& data,
             uint32_t method, CompressStats* stats = nullptr);
    // Data already in its stored form (a compressed stream for methods 2 and 3, already inverted
    // for method 1) under the decoded size word given; any method word.
    bool AddStored(const std::string& name, const std::string& info,
                   const std::vector<uint8_t>& stored, int32_t decodedSize, uint32_t method);
    // Bytes appended as they are: a hand-made or damaged entry.
    void AddRaw(const std::vector<uint8_t>& bytes);

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    // The archive, moved out: the writer is empty afterwards.
    std::vector<uint8_t> TakeBytes() { return std::move(bytes_); }

  private:
    std::vector<uint8_t> bytes_;
};

// One entry of data under a method (see ArchiveWriter::Add), encoded but not yet appended: what
// the threads of the folder packer make in parallel. False for a method above 3 or data too
// large for the format.
bool EncodeDataEntry(const std::string& name, const std::string& info,
                     const std::vector<uint8_t>& data, uint32_t method, int level,
                     CompressStats* stats, std::vector<uint8_t>* entry);

// One entry with a correct checkword, or an empty vector when it would not fit the format.
std::vector<uint8_t> EncodeEntry(const std::string& name, const std::string& info,
                                 const std::vector<uint8_t>& stored, int32_t decodedSize,
                                 uint32_t method);

// The stored form of data under a method: as is, inverted, or the smallest compressed stream
// the compression level finds.
std::vector<uint8_t> StoreData(const std::vector<uint8_t>& data, uint32_t method,
                               int level = kLevelDefault, CompressStats* stats = nullptr);
