// What the reading commands share: the archive inside a file, and the log reports they catch.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "archive/PayloadArchive.h"
#include "support/LogChannel.h"

// The payload archive held by a file: the whole file, or the "EXE_DATA" resource of an
// installer (a file that starts with "MZ").
struct LoadedArchive {
    std::vector<uint8_t> file;
    PayloadArchive archive;
};

bool LoadArchive(const std::string& path, LoadedArchive* out, std::string* error);

// The start of a command whose one argument is FILE: kExitOk with the archive loaded, else
// the exit code to end with (after its message).
int LoadArchiveArgument(int argc, char** argv, LoadedArchive* out);

// Visits the entries in order, as the installer's walk reaches them. True when the walk got to
// the end of the archive; false with "entry N: why" in fault when an entry stopped it.
bool WalkEntries(const PayloadArchive& archive,
                 const std::function<void(int index, const ArchiveEntry& entry)>& visit,
                 std::string* fault);

// Collects what the archive reader reports on one log channel while it lives.
class LogRecorder : public LogChannel {
  public:
    explicit LogRecorder(int number) : LogChannel(number) {}
    void ReceiveText(const char* text) override { texts.push_back(text); }
    // The reports so far as one line, bytes above 0x7F shown as Latin-1 in UTF-8.
    std::string Joined() const;

    std::vector<std::string> texts;
};

// The entry's whole name, escaped for a line of text (see EscapeBytes).
std::string DisplayName(const ArchiveEntry& entry);

// Why the walk stopped at an entry, for messages.
const char* DescribeStatus(EntryStatus status);
