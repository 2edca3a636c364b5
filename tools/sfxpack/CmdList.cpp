// sfxpack list: one tab-separated line per readable entry.
#include <stdio.h>

#include "tools/sfxpack/ArchiveInput.h"
#include "tools/sfxpack/Commands.h"

int CmdList(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {}, {}, &args, &error)) return UsageError(argv[0], error);
    if (args.positional.size() != 1) return UsageError(argv[0], "expects exactly one FILE");
    LoadedArchive loaded;
    if (!LoadArchive(args.positional[0], &loaded, &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    for (int index = 0;; ++index) {
        const unsigned char* at = nullptr;
        EntryStatus status = loaded.archive.Locate(index, &at);
        if (status == kEntryEnd) return kExitOk;
        if (status != kEntryFound) {
            PrintError(argv[0], "entry " + std::to_string(index) + ": " + DescribeStatus(status));
            return kExitFault;
        }
        ArchiveEntry entry(at);
        printf("%d\t%u\t%d\t%d\t%s\n", index, static_cast<unsigned>(entry.Method()),
               static_cast<int>(entry.StoredDataLength()), static_cast<int>(entry.DecodedSize()),
               DisplayName(entry).c_str());
    }
}
