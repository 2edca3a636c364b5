// sfxpack pack: a payload archive from the files of a folder.
#include "tools/sfxpack/ArchiveInput.h"
#include "tools/sfxpack/CommandLine.h"
#include "tools/sfxpack/FileIo.h"
#include "tools/sfxpack/FolderPacking.h"

#include <string>
#include <vector>

namespace {

int Pack(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv,
                        {"-o", "--output", "--method", "--order", "--jobs", kLevelOption},
                        PackFlags(), &args, &error))
        return UsageError(argv[0], error);
    if (args.positional.size() != 1) return UsageError(argv[0], "expects exactly one DIR");
    const std::string* output = OutputPath(args);
    if (!output) return UsageError(argv[0], "needs -o OUT");
    std::vector<uint8_t> archive;
    int status = PackFolderForCommand(argv[0], args.positional[0], args, &archive);
    if (status != kExitOk) return status;
    if (!WriteOutput(*output, archive.data(), archive.size(), &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    PayloadArchive written;
    written.start = archive.data();
    written.length = static_cast<int32_t>(archive.size());
    Verbosity verbosity = ReadVerbosity(args);
    ReportEntries(argv[0], verbosity, written);
    Report(argv[0], verbosity, kNormal, ArchiveSummary(written) + ", written to " + *output);
    return kExitOk;
}

} // namespace

int CmdPack(int argc, char** argv) {
    return RunCatchingFailures(Pack, argc, argv);
}
