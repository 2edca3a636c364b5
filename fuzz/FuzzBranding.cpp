// Any bytes as an icon file and as a stub to brand. The icon reader keeps within the bytes and
// its images do not overlap; when the writer accepts the stub, the installer's first group icon
// is the one added, its images read back, so do the payload, the level the manifest was given
// and the version strings. Seeds: small programs with a manifest and a group icon (also with
// look-alike levels in the manifest), icon files (also with images sharing bytes).
#include "FuzzCheck.h"

#include "tools/pack/InstallerResources.h"
#include "tools/pe/PeImage.h"

#include <string.h>

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    std::vector<IconImage> images;
    std::string error;
    if (ParseIconFile(bytes, &images, &error)) {
        FUZZ_CHECK(!images.empty());
        size_t total = 0;
        for (const IconImage& image : images) {
            FUZZ_CHECK(!image.data.empty());
            total += image.data.size();
        }
        // The images do not overlap, so no file gives more image bytes than it holds.
        FUZZ_CHECK(total <= size);
    }
    // What info reads of a stub's own resources stays within them.
    PeLayout stubPe;
    std::vector<ResourceLeaf> stubLeaves;
    if (ParsePe(bytes, &stubPe, &error) && ReadResources(bytes, stubPe, &stubLeaves, &error)) {
        ShownIconSizes(stubLeaves);
        for (const ResourceLeaf& leaf : stubLeaves) {
            std::string level;
            std::vector<VersionField> strings;
            if (IsApplicationManifest(leaf)) ReadExecutionLevel(leaf, &level, &error);
            if (leaf.type.id == kRtVersion) ReadVersionStrings(leaf, &strings);
        }
    }

    IconImage image;
    image.width = image.height = 16;
    image.data.assign(data, data + std::min<size_t>(size, 40));
    image.data.push_back(0xA5);
    const std::vector<IconImage> icon{image}; // the installer's leaves point into it
    std::vector<VersionField> fields;
    FUZZ_CHECK(AddVersionField("FileVersion=1.2", &fields, &error));
    std::vector<uint8_t> payload(data, data + std::min<size_t>(size, 16));
    ResourceStore store;
    bool leveled = false;
    auto edit = [&](std::vector<ResourceLeaf>* leaves, std::string* reason) {
        // A stub without a manifest still gets its icon here.
        std::string ignored;
        leveled = SetExecutionLevel(leaves, "requireAdministrator", &store, &ignored);
        if (!SetInstallerIcon(leaves, icon, &store, reason)) return false;
        if (!SetVersionInfo(leaves, fields, &store, reason)) return false;
        ReplaceResource(leaves, PayloadLeaf(payload));
        return true;
    };
    std::vector<uint8_t> out;
    if (!RebuildPeResources(bytes, edit, &out, &error)) return 0;

    PeLayout pe;
    std::vector<ResourceLeaf> leaves;
    FUZZ_CHECK(ParsePe(out, &pe, &error) && ReadResources(out, pe, &leaves, &error));
    // Every manifest that took the level says it, as a reader sees it; its version strings read.
    for (const ResourceLeaf& leaf : leaves) {
        std::string level;
        if (IsApplicationManifest(leaf) && leveled)
            FUZZ_CHECK(ReadExecutionLevel(leaf, &level, &error) && level == "requireAdministrator");
        std::vector<VersionField> strings;
        if (!leaf.type.named && leaf.type.id == kRtVersion) {
            FUZZ_CHECK(ReadVersionStrings(leaf, &strings));
            FUZZ_CHECK(std::any_of(strings.begin(), strings.end(), [](const VersionField& f) {
                return f.name == "FileVersion" && f.value == "1.2";
            }));
        }
    }
    auto group = std::find_if(leaves.begin(), leaves.end(), [](const ResourceLeaf& leaf) {
        return !leaf.type.named && leaf.type.id == kRtGroupIcon;
    });
    FUZZ_CHECK(group != leaves.end() && group->name.named && group->size == 6 + 14);
    uint32_t id = uint32_t(group->data[6 + 12] | group->data[6 + 13] << 8);
    auto shown = std::find_if(leaves.begin(), leaves.end(), [&](const ResourceLeaf& leaf) {
        return !leaf.type.named && leaf.type.id == kRtIcon && leaf.name.id == id;
    });
    FUZZ_CHECK(shown != leaves.end() && shown->size == image.data.size() &&
               memcmp(shown->data, image.data.data(), shown->size) == 0);
    size_t offset, length;
    FUZZ_CHECK(FindPayloadInPe(out, &offset, &length, &error) && length == payload.size());
    FUZZ_CHECK(length == 0 || memcmp(out.data() + offset, payload.data(), length) == 0);
    return 0;
}
