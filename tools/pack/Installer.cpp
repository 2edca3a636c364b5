#include "tools/pack/Installer.h"

#include "tools/pe/PeHeaderEdits.h"
#include "tools/pe/PeImage.h"

#include <algorithm>

#include "support/RunOptions.h"

namespace {

// "EXE_OPTS" as the resource tree spells names: little-endian UTF-16.
const uint8_t kOptionsTypeText[] = {'E', 0, 'X', 0, 'E', 0, '_', 0, 'O', 0, 'P', 0, 'T', 0, 'S', 0};
const ResourceKey kOptionsType{true, 0, kOptionsTypeText, sizeof kOptionsTypeText / 2};

// The options resource of options, or none: a stub that is an earlier installer loses its own,
// so an option left out is never carried over unseen.
void SetRunOptions(std::vector<ResourceLeaf>* leaves, uint32_t options, ResourceStore* store) {
    leaves->erase(std::remove_if(leaves->begin(), leaves->end(),
                                 [](const ResourceLeaf& leaf) {
                                     return SameResourceKey(leaf.type, kOptionsType);
                                 }),
                  leaves->end());
    if (!options) return;
    store->push_back(
        {uint8_t(options), uint8_t(options >> 8), uint8_t(options >> 16), uint8_t(options >> 24)});
    ResourceLeaf leaf;
    leaf.type = kOptionsType;
    leaf.name.id = kRunOptionsId;
    leaf.data = store->back().data();
    leaf.size = store->back().size();
    leaves->push_back(leaf);
}

} // namespace

uint32_t InstallerRunOptions(const std::vector<uint8_t>& file) {
    PeLayout pe;
    std::string error;
    size_t offset = 0, length = 0;
    if (!ParsePe(file, &pe, &error) ||
        !FindResourceData(file, pe, kOptionsType, kRunOptionsId, &offset, &length, &error))
        return 0;
    return RunOptionsOf(file.data() + offset, uint32_t(std::min<size_t>(length, kRunOptionsSize)));
}

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
        SetRunOptions(leaves, options.runOptions, &store);
        ReplaceResource(leaves, PayloadLeaf(payload));
        return true;
    };
    if (!RebuildPeResources(stub, edit, out, error)) return false;
    return !options.fixedTime || SetPeTimeStamps(out, options.timeStamp, error);
}
