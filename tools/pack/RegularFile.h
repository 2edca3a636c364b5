// Reading an input file so that nothing put in its place can hang or mislead the packer.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

struct RegularFile {
    std::vector<uint8_t> bytes;
    uint64_t fileTime = 0; // last write, as a Windows FILETIME
};

// Opens path without blocking (a FIFO would otherwise wait for a writer) and, unless
// followLinks, without following a symbolic link; then checks through the open file that it is
// a regular file of at most maxBytes and reads it whole. False with a one-line reason naming
// the file, also when it changed size while it was read.
bool ReadRegularFile(const std::string& path, bool followLinks, uint64_t maxBytes,
                     RegularFile* file, std::string* error);
