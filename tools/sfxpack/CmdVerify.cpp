// sfxpack verify: every entry read and decoded, each fault named.
#include <stdio.h>

#include "tools/sfxpack/ArchiveInput.h"
#include "tools/sfxpack/CommandLine.h"

int CmdVerify(int argc, char** argv) {
    LoadedArchive loaded;
    uint64_t limit = 0;
    Verbosity verbosity;
    if (int exit = LoadArchiveArgument(argc, argv, &loaded, &verbosity, &limit)) return exit;
    int entries = 0;
    bool sound = CheckEntries(
        loaded.archive, limit, [&](const std::string& fault) { PrintError(argv[0], fault); },
        &entries);
    if (!sound) return kExitFault;
    ReportEntries(argv[0], verbosity, loaded.archive);
    Report(argv[0], verbosity, kNormal, "all sound: " + ArchiveSummary(loaded.archive));
    return kExitOk;
}
