// sfxpack extract: the files that the installer's extraction writes, read the way it reads them.
#include <string.h>

#include <filesystem>
#include <system_error>

#include "archive/CtMem.h"
#include "support/FileName.h"
#include "support/FileTimeInfo.h"
#include "tools/pack/PackFolder.h"
#include "tools/sfxpack/ArchiveInput.h"
#include "tools/sfxpack/Commands.h"

namespace {

class Extraction {
  public:
    Extraction(const char* command, const std::string& folder, const PayloadArchive& archive)
        : command_(command), folder_(folder), archive_(archive) {}

    // Returns kExitFault when an entry had a checkword, decoding or write error.
    int Run() {
        std::string stop;
        bool whole = WalkEntries(
            archive_,
            [this](int index, const ArchiveEntry& entry) { ExtractEntry(index, entry.Method()); },
            &stop);
        if (!whole) PrintError(command_, stop + "; extraction stops here");
        return faulty_ || !whole ? kExitFault : kExitOk;
    }

  private:
    void Fault(int index, const std::string& message) {
        PrintError(command_, "entry " + std::to_string(index) + ": " + message);
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

    // The installer's two reads: name and size, then name, info text and data into a
    // zero-filled block of size + 10 bytes. Data that fails to decode stays zeros.
    void ExtractEntry(int index, uint32_t method) {
        char name[64];
        char info[128];
        int size = 0;
        archive_.ReadEntry(index, name, sizeof name, nullptr, 0, nullptr, &size);
        CtMem block(size + 10);
        if (!block.data) {
            Fault(index, "no memory for " + std::to_string(size) + " bytes; not written");
            return;
        }
        LogRecorder reports(kLogPayload);
        archive_.ReadEntry(index, name, sizeof name, info, sizeof info, block.data, &size);
        if (!reports.texts.empty()) Fault(index, reports.Joined() + "; written as zeros");
        if (method > 3)
            Fault(index,
                  "method word " + std::to_string(method) + " delivers no data; written as zeros");
        if (!IsPlainFileName(name)) {
            PrintError(command_,
                       "entry " + std::to_string(index) + ": " +
                           EscapeBytes(reinterpret_cast<unsigned char*>(name), strlen(name)) +
                           " is not a plain file name; not written");
            return;
        }
        const std::string& spelling = FirstSpelling(name);
        FileTime time;
        bool timed = InfoWriteTime(info, 0, &time.low, &time.high) != 0;
        std::string error;
        if (!WriteFileAtomically((std::filesystem::path(folder_) / spelling).string(), block.data,
                                 static_cast<size_t>(size), timed ? &time : nullptr, &error))
            Fault(index, error);
    }

    const char* command_;
    std::string folder_;
    const PayloadArchive& archive_;
    std::vector<std::string> spellings_; // the names written so far
    bool faulty_ = false;
};

} // namespace

int CmdExtract(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {"-C"}, {}, &args, &error)) return UsageError(argv[0], error);
    if (args.positional.size() != 1) return UsageError(argv[0], "expects exactly one FILE");
    const std::string* folder = args.Value("-C");
    if (!folder) return UsageError(argv[0], "missing -C DIR");
    std::error_code ec;
    if (!std::filesystem::is_directory(*folder, ec))
        return UsageError(argv[0], "no folder " + *folder);
    LoadedArchive loaded;
    if (!LoadArchive(args.positional[0], &loaded, &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    return Extraction(argv[0], *folder, loaded.archive).Run();
}
