// sfxpack extract: the files that the installer's extraction writes, read the way it reads them.
#include <string.h>

#include <filesystem>
#include <system_error>

#include "archive/EntryData.h"
#include "driver/PayloadEntry.h"
#include "support/FileTimeInfo.h"
#include "tools/pack/PackFolder.h"
#include "tools/sfxpack/ArchiveInput.h"
#include "tools/sfxpack/CommandLine.h"
#include "tools/sfxpack/FileIo.h"

namespace {

class Extraction {
  public:
    Extraction(const char* command, const std::string& folder, uint64_t limit, Verbosity verbosity)
        : command_(command), folder_(folder), limit_(limit), verbosity_(verbosity) {}

    // kExitFault when an entry was not written or the walk stopped before the end: the
    // installer would stop at that entry and start nothing.
    int Run(const PayloadArchive& archive) {
        std::string stop;
        bool whole = WalkEntries(
            archive, [this](int index, const ArchiveEntry& entry) { ExtractEntry(index, entry); },
            &stop);
        if (!whole) Fault(stop + "; extraction stops here");
        if (faulty_ || !whole) return kExitFault;
        Report(command_, verbosity_, kNormal,
               std::to_string(written_) + (written_ == 1 ? " file, " : " files, ") +
                   std::to_string(bytes_) + " bytes, written to " + folder_);
        return kExitOk;
    }

  private:
    void Fault(const std::string& message) {
        PrintError(command_, message);
        faulty_ = true;
    }

    // Windows takes names that differ only in letter case for one file: a later entry replaces
    // the earlier file, which keeps its first spelling.
    const std::string& FirstSpelling(const char* name) {
        for (const std::string& written : spellings_) {
            if (SameWindowsName(written, name)) return written;
        }
        spellings_.push_back(name);
        return spellings_.back();
    }

    // Name and data as the installer reads them; an entry that fails gets no file.
    void ExtractEntry(int index, const ArchiveEntry& entry) {
        std::string what = "entry " + std::to_string(index) + " " + DisplayName(entry) + ": ";
        char name[kEntryNameCapacity];
        entry.CopyName(name, sizeof name);
        if (!EntryNameAccepted(entry, name)) {
            Fault(what + "not a plain file name of at most 63 bytes; not written");
            return;
        }
        EntryData data(entry, limit_);
        if (!data.Sound()) {
            Fault(what + DescribeFault(entry, data.result, limit_) + "; not written");
            return;
        }
        char info[kEntryInfoCapacity];
        entry.CopyInfo(info, sizeof info);
        const std::string& spelling = FirstSpelling(name);
        FileTime time;
        bool timed = InfoWriteTime(info, 0, &time.low, &time.high) != 0;
        std::string error;
        std::string path = (std::filesystem::path(folder_) / NameOnDisk(spelling.c_str())).string();
        if (!WriteFileAtomically(path, data.Bytes(), static_cast<size_t>(entry.DecodedSize()),
                                 timed ? &time : nullptr, &error)) {
            Fault(what + error);
            return;
        }
        ++written_;
        bytes_ += uint64_t(entry.DecodedSize());
        Report(command_, verbosity_, kVerbose, "wrote " + path);
    }

    const char* command_;
    std::string folder_;
    uint64_t limit_;
    Verbosity verbosity_;
    int written_ = 0;
    uint64_t bytes_ = 0;
    std::vector<std::string> spellings_; // the names written so far
    bool faulty_ = false;
};

} // namespace

int CmdExtract(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {"-C", "--max-entry-size"}, kVerbosityFlags, &args, &error))
        return UsageError(argv[0], error);
    if (args.positional.size() != 1) return UsageError(argv[0], "expects exactly one FILE");
    const std::string* folder = args.Value("-C");
    if (!folder) return UsageError(argv[0], "missing -C DIR");
    uint64_t limit = 0;
    if (!MaxEntrySize(args.Value("--max-entry-size"), &limit, &error))
        return UsageError(argv[0], error);
    std::error_code ec;
    if (!std::filesystem::is_directory(*folder, ec))
        return UsageError(argv[0], "no folder " + *folder);
    LoadedArchive loaded;
    if (!LoadArchive(args.positional[0], &loaded, &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    return Extraction(argv[0], *folder, limit, ReadVerbosity(args)).Run(loaded.archive);
}
