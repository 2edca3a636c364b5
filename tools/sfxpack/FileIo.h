// sfxpack's file input and output: whole files in, and outputs that appear whole or not at all.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);
// All of standard input ("-" for a reading command's FILE), refused past limit bytes.
bool ReadStandardInput(uint64_t limit, std::vector<uint8_t>* bytes, std::string* error);

// A file's last-write time as a Windows FILETIME (100 ns units since 1601-01-01 UTC).
struct FileTime {
    uint32_t low = 0;
    uint32_t high = 0;
};

// Writes bytes under a temporary name in the same folder and renames it into place, so a
// failure never leaves a half-written file. With time, the file gets that last-write time.
bool WriteFileAtomically(const std::string& path, const uint8_t* bytes, size_t length,
                         const FileTime* time, std::string* error);

// Why a new file cannot be created at target, naming the user's path: a folder that is missing
// or is not one, or the system's reason taken from systemError ("...: reason").
std::string CreateFailure(const std::string& target, const std::string& systemError);

// A command's output file: "-" is standard output (refused when it is a terminal); a new or
// regular file is written atomically as above; an existing link, FIFO or character device is
// written through, never replaced; a folder or any other kind of file is refused.
bool WriteOutput(const std::string& path, const uint8_t* bytes, size_t length, std::string* error);
