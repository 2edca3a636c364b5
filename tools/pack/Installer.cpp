#include "tools/pack/Installer.h"

#include "tools/pe/PeHeaderEdits.h"
#include "tools/pe/PeImage.h"

bool BuildInstaller(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& payload,
                    const InstallerOptions& options, std::vector<uint8_t>* out,
                    std::string* error) {
    ResourceStore store;
    auto edit = [&](std::vector<ResourceLeaf>* leaves, std::string* reason) {
        if (!SetExecutionLevel(leaves, options.executionLevel, &store, reason)) return false;
        if (!options.icon.empty() && !SetInstallerIcon(leaves, options.icon, &store, reason))
            return false;
        if (!options.version.empty() && !SetVersionInfo(leaves, options.version, &store, reason))
            return false;
        ReplaceResource(leaves, PayloadLeaf(payload));
        return true;
    };
    if (!RebuildPeResources(stub, edit, out, error)) return false;
    return !options.fixedTime || SetPeTimeStamps(out, options.timeStamp, error);
}
