// What the reading commands share: the archive inside a file, one walk over its entries, and
// the reasons an entry fails, in words.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "archive/PayloadArchive.h"

// The payload archive held by a file: the whole file, or the "EXE_DATA" resource of an
// installer (a file that starts with "MZ").
struct LoadedArchive {
    std::vector<uint8_t> file;
    PayloadArchive archive;
};

bool LoadArchive(const std::string& path, LoadedArchive* out, std::string* error);

// The start of a command whose one argument is FILE: kExitOk with the archive loaded, else
// the exit code to end with (after its message). With maxEntrySize the command also takes
// --max-entry-size N (default: what pack allows a file).
int LoadArchiveArgument(int argc, char** argv, LoadedArchive* out,
                        uint64_t* maxEntrySize = nullptr);

// --max-entry-size of a command line, or what pack allows a file; false with a reason.
bool MaxEntrySize(const std::string* text, uint64_t* limit, std::string* error);

// Visits the entries in order, in one walk, as the installer reaches them. True when the walk
// got to the end of the archive; false with "entry N: why" in fault when an entry stopped it.
bool WalkEntries(const PayloadArchive& archive,
                 const std::function<void(int index, const ArchiveEntry& entry)>& visit,
                 std::string* fault);

// Reads the data of every entry as the installer does, refusing decoded sizes above limit
// before anything is allocated. Each failed entry goes to fault as "entry N NAME: why"; true
// when the walk reached the end and every entry was sound. entries gets the count walked.
bool CheckEntries(const PayloadArchive& archive, uint64_t limit,
                  const std::function<void(const std::string&)>& fault, int* entries);

// An entry's data handed to sink as it is decoded, as the installer reads it, with decoded
// sizes above limit refused before anything is decoded.
ReadResult StreamEntryData(const ArchiveEntry& entry, uint64_t limit, DecodeSink& sink);

// The entry's whole name, escaped for a line of text (see EscapeBytes).
std::string DisplayName(const ArchiveEntry& entry);

// Why the walk stopped at an entry, for messages.
const char* DescribeStatus(EntryStatus status);
// Why an entry's data failed to read (a result other than sound), for messages.
std::string DescribeFault(const ArchiveEntry& entry, ReadResult result, uint64_t limit);
