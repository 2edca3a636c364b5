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
    // Every entry may point at the same bytes: copied for each, one small file would take
    // gigabytes. Images must not overlap, so that together they are no larger than the file.
    struct Span {
        uint32_t offset, size, entry;
        bool operator<(const Span& o) const {
            return offset != o.offset ? offset < o.offset : entry < o.entry;
        }
    };
    std::vector<Span> spans;
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = kIconDirSize + i * kIconEntrySize;
        Span span{r.U32(entry + 12), r.U32(entry + 8), i};
        if (span.size == 0 || !r.Has(span.offset, span.size)) {
            *error = "icon file: image " + std::to_string(i + 1) + " lies outside the file";
            return false;
        }
        spans.push_back(span);
    }
    std::vector<Span> sorted = spans;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 1; i < sorted.size(); ++i) {
        if (sorted[i].offset - sorted[i - 1].offset < sorted[i - 1].size) {
            *error = "icon file: images " + std::to_string(sorted[i - 1].entry + 1) + " and " +
                     std::to_string(sorted[i].entry + 1) + " overlap";
            return false;
        }
    }
    images->clear();
    for (const Span& span : spans) {
        size_t entry = kIconDirSize + span.entry * kIconEntrySize;
        IconImage image;
        image.width = r.U8(entry);
        image.height = r.U8(entry + 1);
        image.colorCount = r.U8(entry + 2);
        image.planes = r.U16(entry + 4);
        image.bitCount = r.U16(entry + 6);
        image.data.assign(file.begin() + span.offset, file.begin() + span.offset + span.size);
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
        leaf.data = image.data.data();
        leaf.size = image.data.size();
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

std::vector<IconSize> ShownIconSizes(const std::vector<ResourceLeaf>& leaves) {
    const ResourceLeaf* shown = nullptr;
    for (const ResourceLeaf& leaf : leaves)
        if (IsGroup(leaf) && (!shown || ResourceKeyLess(leaf.name, shown->name))) shown = &leaf;
    std::vector<IconSize> sizes;
    if (!shown) return sizes;
    ByteReader r(shown->data, shown->size);
    uint32_t count = r.U16(4);
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = kIconDirSize + i * kGroupEntrySize;
        IconSize size{r.U8(entry), r.U8(entry + 1), r.U16(entry + 6)};
        if (!r.Ok()) break;
        sizes.push_back(
            {size.width ? size.width : 256, size.height ? size.height : 256, size.bitCount});
    }
    return sizes;
}
