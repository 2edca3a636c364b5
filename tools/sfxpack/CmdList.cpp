// sfxpack list: one tab-separated line per readable entry.
#include <stdio.h>

#include "tools/sfxpack/ArchiveInput.h"
#include "tools/sfxpack/CommandLine.h"

int CmdList(int argc, char** argv) {
    LoadedArchive loaded;
    Verbosity verbosity;
    if (int exit = LoadArchiveArgument(argc, argv, &loaded, &verbosity)) return exit;
    std::string fault;
    bool whole = WalkEntries(
        loaded.archive,
        [](int index, const ArchiveEntry& entry) {
            printf("%d\t%u\t%d\t%d\t%s\n", index, static_cast<unsigned>(entry.Method()),
                   static_cast<int>(entry.StoredDataLength()),
                   static_cast<int>(entry.DecodedSize()), DisplayName(entry).c_str());
        },
        &fault);
    if (whole) {
        Report(argv[0], verbosity, kNormal, ArchiveSummary(loaded.archive));
        return kExitOk;
    }
    PrintError(argv[0], fault);
    return kExitFault;
}
