// sfxpack info: what an installer carries besides its files: the payload's size and the
// branding exe wrote (execution level, icon, version strings).
#include <stdio.h>

#include "support/RunOptions.h"
#include "tools/pack/Installer.h"
#include "tools/pack/InstallerResources.h"
#include "tools/pe/PeLayout.h"
#include "tools/pe/PeResources.h"
#include "tools/sfxpack/ArchiveInput.h"
#include "tools/sfxpack/CommandLine.h"

namespace {

// UTF-8 text as is, control characters escaped so that a stub cannot write to the terminal.
std::string Printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            out += EscapeBytes(&c, 1);
        else
            out += char(c);
    }
    return out;
}

// One line per fact, "key: value"; false with the reason when a resource does not read.
bool PrintBranding(const std::vector<ResourceLeaf>& leaves, std::string* fault) {
    for (const ResourceLeaf& leaf : leaves) {
        std::string level;
        if (!IsApplicationManifest(leaf)) continue;
        if (!ReadExecutionLevel(leaf, &level, fault)) return false;
        printf("level: %s\n", Printable(level).c_str());
    }
    std::string icon;
    for (const IconSize& size : ShownIconSizes(leaves))
        icon += (icon.empty() ? "" : ", ") + std::to_string(size.width) + "x" +
                std::to_string(size.height) + " " + std::to_string(size.bitCount) + "-bit";
    printf("icon: %s\n", icon.empty() ? "none" : icon.c_str());
    for (const ResourceLeaf& leaf : leaves) {
        if (leaf.type.named || leaf.type.id != kRtVersion || leaf.name.named || leaf.name.id != 1)
            continue;
        std::vector<VersionField> fields;
        if (!ReadVersionStrings(leaf, &fields)) {
            *fault = "the version information does not read";
            return false;
        }
        for (const VersionField& f : fields)
            printf("version: %s=%s\n", Printable(f.name).c_str(), Printable(f.value).c_str());
        break;
    }
    return true;
}

} // namespace

void PrintRunOptions(const std::vector<uint8_t>& file) {
    uint32_t options = InstallerRunOptions(file);
    printf("options: %s\n", options & kRunCleanup ? "wait, cleanup"
                            : options & kRunWait  ? "wait"
                                                  : "none");
}

int CmdInfo(int argc, char** argv) {
    LoadedArchive loaded;
    Verbosity verbosity;
    if (int exit = LoadArchiveArgument(argc, argv, &loaded, &verbosity)) return exit;
    printf("payload: %d bytes\n", static_cast<int>(loaded.archive.length));
    if (loaded.archive.start == loaded.file.data()) {
        printf("installer: no, an archive\n");
        Report(argv[0], verbosity, kNormal, ArchiveSummary(loaded.archive));
        return kExitOk;
    }
    PeLayout pe;
    std::vector<ResourceLeaf> leaves;
    std::string fault;
    if (!ParsePe(loaded.file, &pe, &fault) || !ReadResources(loaded.file, pe, &leaves, &fault) ||
        !PrintBranding(leaves, &fault)) {
        PrintError(argv[0], fault);
        return kExitFault;
    }
    PrintRunOptions(loaded.file);
    Report(argv[0], verbosity, kNormal, ArchiveSummary(loaded.archive));
    return kExitOk;
}
