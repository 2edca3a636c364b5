// sfxpack exe: an installer, the stub with a payload archive as its resource "EXE_DATA" id 1.
#include "tools/sfxpack/CommandLine.h"
#include "tools/sfxpack/FileIo.h"
#include "tools/sfxpack/FolderPacking.h"

#include <stdio.h>

#include "tools/pack/Installer.h"
#include "tools/pack/PackFolder.h"
#include "tools/pe/PeImage.h"
#include "tools/sfxpack/ArchiveInput.h"

namespace {

// The archive of a file (an archive, or an installer whose payload is taken), read through as
// the installer reads it, so that an archive it would fail on is refused before it is built
// into an installer.
bool LoadPayload(const std::string& path, std::vector<uint8_t>* payload, std::string* error) {
    LoadedArchive loaded;
    if (!LoadArchive(path, &loaded, error)) return false;
    if (uint64_t(loaded.archive.length) > kMaxPayloadBytes) {
        *error = path + ": payload larger than an installer can hold (1 GiB)";
        return false;
    }
    int entries = 0;
    std::string first;
    bool sound = CheckEntries(
        loaded.archive, kMaxEntryBytes,
        [&](const std::string& fault) {
            if (first.empty()) first = path + ": " + fault;
        },
        &entries);
    if (!sound) {
        *error = first;
        return false;
    }
    if (entries == 0) {
        *error = path + ": no entries";
        return false;
    }
    payload->assign(loaded.archive.start, loaded.archive.start + loaded.archive.length);
    return true;
}

int Exe(int argc, char** argv) {
    Arguments args;
    std::string error;
    std::vector<std::string> flags = PackFlags();
    flags.insert(flags.end(), {"--drop-signature", "--wait", "--cleanup"});
    if (!ParseArguments(argc, argv,
                        {"-o", "--output", "--payload", "--stub", "--method", "--order", "--jobs",
                         "--elevation", "--icon", "--version-info", kLevelOption},
                        flags, &args, &error))
        return UsageError(argv[0], error);
    const std::string* payloadPath = args.Value("--payload");
    if (args.positional.size() + (payloadPath ? 1 : 0) != 1)
        return UsageError(argv[0], "expects either DIR or --payload ARCHIVE");
    const std::string* output = OutputPath(args);
    if (!output) return UsageError(argv[0], "needs -o OUT.exe");

    InstallerOptions options;
    int status = ReadInstallerOptions(argv[0], args, &options);
    std::string stubPath;
    std::vector<uint8_t> stub;
    if (status == kExitOk) status = LoadStub(argv[0], args, &stub, &stubPath);
    if (status != kExitOk) return status;

    std::vector<uint8_t> payload;
    if (payloadPath) {
        if (!LoadPayload(*payloadPath, &payload, &error)) {
            PrintError(argv[0], error);
            return kExitUsage;
        }
    } else {
        status = PackFolderForCommand(argv[0], args.positional[0], args, &payload);
        if (status != kExitOk) return status;
    }

    std::vector<uint8_t> installer;
    if (!BuildInstaller(stub, payload, options, &installer, &error)) {
        PrintError(argv[0], "stub " + stubPath + ": " + error);
        return kExitUsage;
    }
    // Read it back as the installer will before anything is written.
    size_t offset, length;
    if (!FindPayloadInPe(installer, &offset, &length, &error) || length != payload.size() ||
        !std::equal(payload.begin(), payload.end(), installer.begin() + offset)) {
        PrintError(argv[0], "internal fault: the payload does not read back from the installer");
        return kExitFault;
    }
    if (!WriteFileAtomically(*output, installer.data(), installer.size(), nullptr, &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    return kExitOk;
}

} // namespace

int CmdExe(int argc, char** argv) {
    return RunCatchingFailures(Exe, argc, argv);
}
