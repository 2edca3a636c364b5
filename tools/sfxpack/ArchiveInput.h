// What the reading commands share: the archive inside a file, one walk over its entries, and
// the reasons an entry fails, in words.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "archive/PayloadArchive.h"
#include "tools/sfxpack/CommandLine.h"

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
// verbosity gets -q/-v's choice.
int LoadArchiveArgument(int argc, char** argv, LoadedArchive* out, Verbosity* verbosity,
                        uint64_t* maxEntrySize = nullptr);

// "N entries, X bytes in Y (R%)": the entries walked, their decoded sizes and the archive's.
std::string ArchiveSummary(const PayloadArchive& archive);
// At -v, one line per entry on stderr: index, name, decoded and stored sizes, method word.
void ReportEntries(const char* command, Verbosity verbosity, const PayloadArchive& archive);

// --max-entry-size of a command line, or what pack allows a file; false with a reason.
bool MaxEntrySize(const std::string* text, uint64_t* limit, std::string* error);

// Visits the entries in order, in one walk, as the installer reaches them. True when the walk
// got to the end of the archive; false with "entry N (the one after NAME): why" in fault when
// an entry stopped it, or with "not an archive" when not even the first entry reads.
bool WalkEntries(const PayloadArchive& archive,
                 const std::function<void(int index, const ArchiveEntry& entry)>& visit,
                 std::string* fault);

// Reads the data of every entry as the installer does, refusing decoded sizes above limit
// before anything is allocated. Each failed entry goes to fault as "entry N NAME: why"; true
// when the walk reached the end and every entry was sound. entries gets the count walked.
bool CheckEntries(const PayloadArchive& archive, uint64_t limit,
                  const std::function<void(const std::string&)>& fault, int* entries);

// The entry's whole name for a line of text: on Linux its code page 1252 letters as UTF-8,
// other bytes (controls, the backslash, unassigned bytes) escaped as by EscapeBytes; escaped
// whole on Windows.
std::string DisplayName(const ArchiveEntry& entry);
// The file name an entry's name (code page 1252) is written as: UTF-8 on Linux, the bytes
// themselves on Windows.
std::string NameOnDisk(const char* name);

// Why the walk stopped at an entry, for messages.
const char* DescribeStatus(EntryStatus status);
// Why an entry's data failed to read (a result other than sound), for messages.
std::string DescribeFault(const ArchiveEntry& entry, ReadResult result, uint64_t limit);
