// Any bytes as an icon file and as a stub to brand. The icon reader keeps within the bytes; when
// the writer accepts the stub, the installer's first group icon is the one added, its images
// read back, and so does the payload. Seeds: small programs with a manifest and a group icon,
// and an icon file.
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
        for (const IconImage& image : images)
            FUZZ_CHECK(!image.data.empty() && image.data.size() <= size);
    }

    IconImage image;
    image.width = image.height = 16;
    image.data.assign(data, data + std::min<size_t>(size, 40));
    image.data.push_back(0xA5);
    std::vector<VersionField> fields;
    FUZZ_CHECK(AddVersionField("FileVersion=1.2", &fields, &error));
    std::vector<uint8_t> payload(data, data + std::min<size_t>(size, 16));
    ResourceStore store;
    auto edit = [&](std::vector<ResourceLeaf>* leaves, std::string* reason) {
        // A stub without a manifest still gets its icon here.
        std::string ignored;
        SetExecutionLevel(leaves, "requireAdministrator", &store, &ignored);
        if (!SetInstallerIcon(leaves, {image}, &store, reason)) return false;
        if (!SetVersionInfo(leaves, fields, &store, reason)) return false;
        ReplaceResource(leaves, PayloadLeaf(payload));
        return true;
    };
    std::vector<uint8_t> out;
    if (!RebuildPeResources(bytes, edit, &out, &error)) return 0;

    PeLayout pe;
    std::vector<ResourceLeaf> leaves;
    FUZZ_CHECK(ParsePe(out, &pe, &error) && ReadResources(out, pe, &leaves, &error));
    auto group = std::find_if(leaves.begin(), leaves.end(), [](const ResourceLeaf& leaf) {
        return !leaf.type.named && leaf.type.id == kRtGroupIcon;
    });
    FUZZ_CHECK(group != leaves.end() && group->name.named && group->size == 6 + 14);
    uint32_t id = uint32_t(group->data[6 + 12] | group->data[6 + 13] << 8);
    auto icon = std::find_if(leaves.begin(), leaves.end(), [&](const ResourceLeaf& leaf) {
        return !leaf.type.named && leaf.type.id == kRtIcon && leaf.name.id == id;
    });
    FUZZ_CHECK(icon != leaves.end() && icon->size == image.data.size() &&
               memcmp(icon->data, image.data.data(), icon->size) == 0);
    size_t offset, length;
    FUZZ_CHECK(FindPayloadInPe(out, &offset, &length, &error) && length == payload.size());
    FUZZ_CHECK(length == 0 || memcmp(out.data() + offset, payload.data(), length) == 0);
    return 0;
}
