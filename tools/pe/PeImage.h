// Reading and writing the payload resource of a 32-bit Windows executable, without any
// Windows header or tool. PE files are untrusted: every read is bounds-checked.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <functional>
#include <string>
#include <vector>

#include "tools/pe/PeResources.h"

// Finds the resource of type "EXE_DATA", id 1 (any language) and gives the file offset and size
// of its data. False with a one-line reason for a file that is not a 32-bit PE image or has no
// such resource.
bool FindPayloadInPe(const std::vector<uint8_t>& file, size_t* offset, size_t* length,
                     std::string* error);

// The stub with payload as its resource "EXE_DATA" id 1, language neutral: an existing one of
// any language is replaced, every other resource is kept. The resource section is rebuilt as the
// image's last section (in place when it already is last and nothing follows it in the file,
// otherwise as a new section, the old bytes left unused); section table, SizeOfImage,
// SizeOfInitializedData, the resource data directory and the checksum are updated.
bool InsertPayloadIntoPe(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& payload,
                         std::vector<uint8_t>* out, std::string* error);

// Rebuilds the resource section as InsertPayloadIntoPe does, with the resources edit leaves
// them: edit gets every resource of the stub and may fail with a one-line reason.
using ResourceEditor = std::function<bool(std::vector<ResourceLeaf>* leaves, std::string* error)>;
bool RebuildPeResources(const std::vector<uint8_t>& stub, const ResourceEditor& edit,
                        std::vector<uint8_t>* out, std::string* error);

// The resource "EXE_DATA" id 1, language neutral, holding payload (which it points into).
ResourceLeaf PayloadLeaf(const std::vector<uint8_t>& payload);

// The image checksum as the loader computes it: 16-bit one's-complement style sum of the file
// with the checksum field itself counted as zero, plus the file length.
uint32_t PeChecksum(const std::vector<uint8_t>& file, size_t checksumOffset);

// Where the checksum field lies, or false for a file that is not a 32-bit PE image.
bool PeChecksumOffset(const std::vector<uint8_t>& file, size_t* checksumOffset, std::string* error);
