// sfxpack exe: an installer, the stub with a payload archive as its resource "EXE_DATA" id 1.
#include "tools/sfxpack/CommandLine.h"
#include "tools/sfxpack/FileIo.h"
#include "tools/sfxpack/FolderPacking.h"

#include <stdio.h>

#include "driver/ArchiveSurvey.h"
#include "driver/PayloadCheck.h"
#include "driver/PayloadEntry.h"
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

// Why an installer of this payload could not install, and what to do; empty when it can.
std::string InstallableFault(const std::string& source, const PayloadArchive& archive) {
    char descriptor[kEntryNameCapacity];
    int gap = CheckInstallable(archive, descriptor);
    std::string named = descriptor;
    switch (gap) {
    case kGapNoInstallProgram:
        return source + " has no " + kInstallProgramName +
               ": the installer would unpack the product and start nothing; add the product's "
               "install program";
    case kGapNoDescriptor:
        return source + " has no install descriptor (a .kvr file with a line Install=<product " +
               "name>): the installer would unpack and start nothing; add one";
    case kGapTwoDescriptors:
        return source + " has more than one install descriptor (" + named +
               " is the second .kvr): keep only one";
    case kGapDescriptorDamaged:
        return source + ": the descriptor " + named + " does not read back";
    case kGapNoInstallLine:
        return named + " has no line Install=<product name>: the installer would start nothing; "
                       "add the line";
    case kGapDescriptorNot1252:
        return named + " is not Windows-1252 text (a control character or a byte 1252 leaves "
                       "unassigned); save it as Windows-1252";
    case kGapDescriptorUtf8:
        return named + " is saved as UTF-8 (the dialog would show its accents garbled); save it "
                       "as Windows-1252, e.g. iconv -f UTF-8 -t WINDOWS-1252";
    }
    return "";
}

int Exe(int argc, char** argv) {
    Arguments args;
    std::string error;
    std::vector<std::string> flags = PackFlags();
    flags.insert(flags.end(), {"--drop-signature", "--allow-incomplete", "--wait", "--cleanup"});
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
    PayloadArchive archive;
    archive.start = payload.data();
    archive.length = static_cast<int32_t>(payload.size());
    if (!args.Has("--allow-incomplete")) {
        std::string fault =
            InstallableFault(payloadPath ? *payloadPath : args.positional[0], archive);
        if (!fault.empty()) {
            PrintError(argv[0], fault + " (--allow-incomplete builds it anyway)");
            return kExitUsage;
        }
    }

    // Read it back as the installer will before anything is written.
    size_t offset, length;
    if (!FindPayloadInPe(installer, &offset, &length, &error) || length != payload.size() ||
        !std::equal(payload.begin(), payload.end(), installer.begin() + offset)) {
        PrintError(argv[0], "internal fault: the payload does not read back from the installer");
        return kExitFault;
    }
    if (!WriteOutput(*output, installer.data(), installer.size(), &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    Verbosity verbosity = ReadVerbosity(args);
    ReportEntries(argv[0], verbosity, archive);
    Report(argv[0], verbosity, kNormal,
           ArchiveSummary(archive) + ", installer " + *output + " of " +
               std::to_string(installer.size()) + " bytes");
    return kExitOk;
}

} // namespace

int CmdExe(int argc, char** argv) {
    return RunCatchingFailures(Exe, argc, argv);
}
