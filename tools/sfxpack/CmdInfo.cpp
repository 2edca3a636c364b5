// sfxpack info: what an installer carries besides its payload, one "key: value" line each.
#include <stdio.h>

#include "support/RunOptions.h"
#include "tools/pack/Installer.h"
#include "tools/pe/PeImage.h"
#include "tools/sfxpack/CommandLine.h"
#include "tools/sfxpack/FileIo.h"

void PrintRunOptions(const std::vector<uint8_t>& file) {
    uint32_t options = InstallerRunOptions(file);
    printf("options: %s\n", options & kRunCleanup ? "wait, cleanup"
                            : options & kRunWait  ? "wait"
                                                  : "none");
}

int CmdInfo(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {}, {}, &args, &error)) return UsageError(argv[0], error);
    if (args.positional.size() != 1) return UsageError(argv[0], "expects one INSTALLER.exe");
    std::vector<uint8_t> file;
    size_t offset, length;
    if (!ReadWholeFile(args.positional[0], &file, &error) ||
        !FindPayloadInPe(file, &offset, &length, &error)) {
        PrintError(argv[0], args.positional[0] + ": " + error);
        return kExitFault;
    }
    PrintRunOptions(file);
    return kExitOk;
}
