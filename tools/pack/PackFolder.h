// Turns the regular files directly in a folder into a payload archive, one entry per file,
// each carrying the file's last-write time in its info text.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveFormat.h"
#include "tools/pack/FileTimes.h"
#include "tools/compress/Compressor.h"

// How far packing has come: files and their input bytes, added to the archive so far.
struct PackProgress {
    size_t filesDone = 0;
    size_t fileCount = 0;
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;
};

struct PackOptions {
    uint32_t method = 3;
    // One name a line, in the order the entries are written; empty: byte order of the names.
    std::string orderFile;
    // Compression level of every entry, from kLevelFastest to kLevelBest.
    int level = kLevelDefault;
    // Threads that encode entries at once; 0: one per processor. The archive is the same for
    // any number.
    uint32_t jobs = 0;
    // Pack what links in the folder point to instead of refusing them.
    bool followSymlinks = false;
    // Leave subfolders out instead of refusing the folder.
    bool skipSubfolders = false;
    // Every entry gets time as its write time instead of its file's (reproducible builds).
    bool fixedTime = false;
    int64_t time = 0; // seconds since 1970-01-01 UTC
    // Called from the caller's thread before the first entry and as each entry is added to the
    // archive, in order.
    std::function<void(const PackProgress&)> progress;
};

// False with a one-line reason for bad input (a missing or empty folder, a link, subfolder or
// other file that is not a regular file, a name that is not a plain file name or too long, two
// names equal when letter case is ignored, a file or payload too large, a bad order file). Notes
// the compressor's fallbacks in warnings.
bool PackFolder(const std::string& folder, const PackOptions& options,
                std::vector<uint8_t>* archive, std::vector<std::string>* warnings,
                std::string* error);

// The info text that carries a last-write time: "\r\nDWCL=<low>\r\nDWCH=<high>".
std::string WriteTimeInfo(uint64_t fileTime);

// The entry name for a file name: a UTF-8 name is converted to code page 1252, which the
// installer's names are in; a name that is not UTF-8 is taken as 1252 bytes already. False for a
// character 1252 lacks, a name over 63 bytes or one that is not a plain file name.
bool EntryName(const std::string& fileName, std::string* name, std::string* error);

// Decodes one UTF-8 sequence at text[*at] and moves past it; false for anything that is not
// strict UTF-8 (overlong forms, surrogates, past U+10FFFF, cut short).
bool NextCodePoint(const std::string& text, size_t* at, uint32_t* code);

// Whether Windows takes two names for the same file: equal once the letters of code page 1252
// are folded to upper case.
bool SameWindowsName(const std::string& a, const std::string& b);
// The name with those letters folded: equal for names Windows takes for one file.
std::string FoldWindowsName(const std::string& name);
