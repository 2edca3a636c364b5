// sfxpack decompress: one raw stream decoded, as the installer decodes an entry's data.
#include "archive/CtMem.h"
#include "archive/Decompressor.h"
#include "tools/sfxpack/CommandLine.h"
#include "tools/sfxpack/FileIo.h"

int CmdDecompress(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {"--size"}, kVerbosityFlags, &args, &error))
        return UsageError(argv[0], error);
    if (args.positional.size() != 2) return UsageError(argv[0], "expects IN and OUT");
    const std::string* sizeText = args.Value("--size");
    if (!sizeText) return UsageError(argv[0], "missing --size N");
    uint32_t size = 0;
    if (!ParseCount(*sizeText, static_cast<uint32_t>(kMaxEntryBytes), &size))
        return UsageError(argv[0],
                          "--size takes a count from 0 to " + std::to_string(kMaxEntryBytes));
    std::vector<uint8_t> stream;
    if (!ReadWholeFile(args.positional[0], &stream, &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    if (stream.size() > INT32_MAX) {
        PrintError(argv[0], args.positional[0] + ": stream too large");
        return kExitFault;
    }
    // Room as the installer gives it: decoded size + kEntrySlack.
    int decoded = static_cast<int>(size);
    CtMem block(decoded + kEntrySlack);
    if (!block.data) {
        PrintError(argv[0], "no memory for " + std::to_string(size) + " bytes");
        return kExitFault;
    }
    int written = 0, code = 0;
    if (!DecompressDetailed(stream.data(), static_cast<int>(stream.size()), block.data, decoded,
                            &written, &code)) {
        PrintError(argv[0], args.positional[0] + ": decoding error code " + std::to_string(code));
        return kExitFault;
    }
    if (!WriteOutput(args.positional[1], block.data, static_cast<size_t>(written), &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    Report(argv[0], ReadVerbosity(args), kNormal,
           std::to_string(written) + " bytes decoded from " + std::to_string(stream.size()) +
               ", written to " + args.positional[1]);
    return kExitOk;
}
