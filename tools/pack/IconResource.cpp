// The installer's icon. Explorer shows a program's first group icon in resource order, where
// named groups come before numbered ones, sorted by name; the stub's own group (G_ICON, which
// the dialogs load by name) must keep its images, so the installer's icon is a group of its own
// whose name sorts first.
#include "tools/pack/InstallerResources.h"

#include "tools/pe/ByteReader.h"

#include <algorithm>

namespace {

enum : uint32_t {
    kIconDirSize = 6,
    kIconEntrySize = 16,  // in the .ico file
    kGroupEntrySize = 14, // in the group icon resource
    kMaxImages = 1024,
    kMaxIconId = 0xFFFF,
};

// "APPICON" as the resource tree spells names: little-endian UTF-16.
const uint8_t kGroupNameText[] = {'A', 0, 'P', 0, 'P', 0, 'I', 0, 'C', 0, 'O', 0, 'N', 0};
const ResourceKey kGroupName{true, 0, kGroupNameText, sizeof kGroupNameText / 2};

bool IsGroup(const ResourceLeaf& leaf) {
    return !leaf.type.named && leaf.type.id == kRtGroupIcon;
}

bool IsOurGroup(const ResourceLeaf& leaf) {
    return IsGroup(leaf) && SameResourceKey(leaf.name, kGroupName);
}

bool IsIconImage(const ResourceLeaf& leaf) {
    return !leaf.type.named && leaf.type.id == kRtIcon && !leaf.name.named;
}

// The icon ids a group icon resource names.
std::vector<uint32_t> GroupIds(const ResourceLeaf& group) {
    ByteReader r(group.data, group.size);
    uint32_t count = r.U16(4);
    std::vector<uint32_t> ids;
    for (uint32_t i = 0; i < count && r.Ok(); ++i) {
        uint32_t id = r.U16(kIconDirSize + i * kGroupEntrySize + 12);
        if (r.Ok()) ids.push_back(id);
    }
    return ids;
}

} // namespace

bool ParseIconFile(const std::vector<uint8_t>& file, std::vector<IconImage>* images,
                   std::string* error) {
    ByteReader r(file.data(), file.size());
    uint32_t count = r.U16(4);
    if (r.U16(0) != 0 || r.U16(2) != 1 || !r.Ok()) {
        *error = "not an icon file (.ico)";
        return false;
    }
    if (count == 0 || count > kMaxImages || !r.Has(kIconDirSize, count * kIconEntrySize)) {
        *error = "icon file with no images, too many, or its directory cut short";
        return false;
    }
    images->clear();
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = kIconDirSize + i * kIconEntrySize;
        IconImage image;
        image.width = r.U8(entry);
        image.height = r.U8(entry + 1);
        image.colorCount = r.U8(entry + 2);
        image.planes = r.U16(entry + 4);
        image.bitCount = r.U16(entry + 6);
        uint32_t size = r.U32(entry + 8);
        uint32_t offset = r.U32(entry + 12);
        if (size == 0 || !r.Has(offset, size)) {
            *error = "icon file: image " + std::to_string(i + 1) + " lies outside the file";
            return false;
        }
        image.data.assign(file.begin() + offset, file.begin() + offset + size);
        images->push_back(std::move(image));
    }
    return true;
}

bool SetInstallerIcon(std::vector<ResourceLeaf>* leaves, const std::vector<IconImage>& images,
                      ResourceStore* store, std::string* error) {
    // An earlier run's group goes, with the images no other group names.
    std::vector<uint32_t> earlier, used;
    for (const ResourceLeaf& leaf : *leaves) {
        std::vector<uint32_t> ids = IsOurGroup(leaf) ? GroupIds(leaf) : std::vector<uint32_t>();
        earlier.insert(earlier.end(), ids.begin(), ids.end());
    }
    leaves->erase(std::remove_if(leaves->begin(), leaves->end(), IsOurGroup), leaves->end());
    for (const ResourceLeaf& leaf : *leaves) {
        if (!IsGroup(leaf)) continue;
        std::vector<uint32_t> ids = GroupIds(leaf);
        used.insert(used.end(), ids.begin(), ids.end());
        if (leaf.name.named && ResourceKeyLess(leaf.name, kGroupName)) {
            std::string name;
            for (uint32_t i = 0; i < leaf.name.length; ++i)
                name += char(leaf.name.Unit(i));
            *error = "the stub's group icon " + name + " would stay the one Explorer shows";
            return false;
        }
    }
    leaves->erase(std::remove_if(leaves->begin(), leaves->end(),
                                 [&](const ResourceLeaf& leaf) {
                                     auto named = [&](const std::vector<uint32_t>& ids) {
                                         return std::find(ids.begin(), ids.end(), leaf.name.id) !=
                                                ids.end();
                                     };
                                     return IsIconImage(leaf) && named(earlier) && !named(used);
                                 }),
                  leaves->end());
    uint32_t last = 0;
    for (const ResourceLeaf& leaf : *leaves)
        if (IsIconImage(leaf)) last = std::max(last, leaf.name.id);
    if (images.size() > kMaxIconId - std::min<uint32_t>(last, kMaxIconId)) {
        *error = "no icon ids left in the stub for the icon's images";
        return false;
    }

    std::vector<uint8_t> group(kIconDirSize + images.size() * kGroupEntrySize, 0);
    PutU16(&group[2], 1);
    PutU16(&group[4], uint32_t(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        uint8_t* entry = &group[kIconDirSize + i * kGroupEntrySize];
        entry[0] = image.width;
        entry[1] = image.height;
        entry[2] = image.colorCount;
        PutU16(entry + 4, image.planes);
        PutU16(entry + 6, image.bitCount);
        PutU32(entry + 8, uint32_t(image.data.size()));
        PutU16(entry + 12, last + 1 + uint32_t(i));

        ResourceLeaf leaf;
        leaf.type.id = kRtIcon;
        leaf.name.id = last + 1 + uint32_t(i);
        store->push_back(image.data);
        leaf.data = store->back().data();
        leaf.size = store->back().size();
        leaves->push_back(std::move(leaf));
    }
    store->push_back(std::move(group));
    ResourceLeaf leaf;
    leaf.type.id = kRtGroupIcon;
    leaf.name = kGroupName;
    leaf.data = store->back().data();
    leaf.size = store->back().size();
    leaves->push_back(std::move(leaf));
    return true;
}
