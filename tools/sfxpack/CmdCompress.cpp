// sfxpack compress: one raw stream, the smallest of the allowed stage combinations that the
// level finds.
#include "tools/compress/Compressor.h"
#include "archive/ArchiveFormat.h"
#include "tools/sfxpack/CommandLine.h"
#include "tools/sfxpack/FileIo.h"

int CmdCompress(int argc, char** argv) {
    Arguments args;
    std::string error;
    std::vector<std::string> flags = kLevelFlags;
    flags.insert(flags.end(), kVerbosityFlags.begin(), kVerbosityFlags.end());
    if (!ParseArguments(argc, argv, {"--stages", kLevelOption}, flags, &args, &error))
        return UsageError(argv[0], error);
    if (args.positional.size() != 2) return UsageError(argv[0], "expects IN and OUT");
    StageSet stages = kStagesAuto;
    const std::string* stagesText = args.Value("--stages");
    if (stagesText && !ParseStageSet(stagesText->c_str(), &stages))
        return UsageError(argv[0], "--stages takes auto, none, or p, b and r together "
                                   "(prefix-class, back-references, runs)");
    int level = kLevelDefault;
    if (!ParseLevel(args, &level, &error)) return UsageError(argv[0], error);
    std::vector<uint8_t> data;
    if (!ReadWholeFile(args.positional[0], &data, &error)) {
        PrintError(argv[0], error);
        return kExitUsage;
    }
    // The same bound as an archive entry: the installer must hold it and its working blocks.
    if (data.size() > kMaxEntryBytes) {
        PrintError(argv[0], args.positional[0] + " is larger than an installer can hold (256 MiB)");
        return kExitUsage;
    }
    CompressStats stats;
    const std::vector<uint8_t> stream =
        CompressBest(data.data(), data.size(), stages, level, &stats);
    if (stream.empty()) {
        PrintError(argv[0], "out of memory compressing " + args.positional[0]);
        return kExitFault;
    }
    // A single combination asked for that cannot hold the data (the prefix-class stage may not
    // yield more symbols than the data has bytes) leaves the plain copy.
    if (stages.mask != kStagesAuto.mask && !StageSetHas(stages, stats.flags))
        PrintError(argv[0], "warning: these stages cannot hold " + args.positional[0] +
                                "; stored uncompressed");
    if (stats.fallback)
        PrintError(argv[0], "warning: the stream with flags " + std::to_string(stats.failedFlags) +
                                " did not decode back (error " + std::to_string(stats.checkError) +
                                "); stored uncompressed");
    if (!WriteOutput(args.positional[1], stream.data(), stream.size(), &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    Report(argv[0], ReadVerbosity(args), kNormal,
           SizeRatio(data.size(), stream.size()) + ", stages flags " + std::to_string(stats.flags) +
               ", written to " + args.positional[1]);
    return kExitOk;
}
