// The resources sfxpack writes into an installer besides its payload: the manifest's execution
// level, the icon Explorer shows and the version information. Every input here comes from the
// user's files and command line and is checked before the stub is touched.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

#include "tools/pe/PeResources.h"

enum : uint32_t {
    kRtIcon = 3,
    kRtGroupIcon = 14,
    kRtVersion = 16,
    kRtManifest = 24,
};

// Bytes of resources made here; the leaves point into them, so the store outlives the leaves.
using ResourceStore = std::vector<std::vector<uint8_t>>;

// --- Manifest ---

// asInvoker, highestAvailable or requireAdministrator, written exactly so.
bool IsExecutionLevel(const std::string& level);

// Writes level into every application manifest (type 24, id 1) of the leaves, whose level
// attribute of the one requestedExecutionLevel element it replaces, and reads it back. An empty
// level keeps each manifest's own, which must be one of the three. False for leaves without an
// application manifest, or one without exactly one such element and attribute.
bool SetExecutionLevel(std::vector<ResourceLeaf>* leaves, const std::string& level,
                       ResourceStore* store, std::string* error);

bool IsApplicationManifest(const ResourceLeaf& leaf);
// The level attribute's value, as written, of a manifest's one requestedExecutionLevel.
bool ReadExecutionLevel(const ResourceLeaf& manifest, std::string* level, std::string* error);

// --- Icon ---

struct IconImage {
    uint8_t width = 0, height = 0, colorCount = 0;
    uint16_t planes = 0, bitCount = 0;
    std::vector<uint8_t> data; // a DIB or a PNG image, as the .ico holds it
};

// The images of an .ico file, every one kept; false for anything that is not one, or one whose
// images overlap.
bool ParseIconFile(const std::vector<uint8_t>& file, std::vector<IconImage>* images,
                   std::string* error);

// Makes the images the installer's icon: a group icon that sorts before every other, so it is
// the one Explorer shows, with its images under new icon ids. The icon of an earlier run is
// replaced; every other icon (the dialogs' own) stays. The image leaves point into images, which
// must outlive them. False when the ids run out or a stub's group would still sort first.
bool SetInstallerIcon(std::vector<ResourceLeaf>* leaves, const std::vector<IconImage>& images,
                      ResourceStore* store, std::string* error);

// The images of the group icon Explorer shows, the first in resource order, as its directory
// gives them; empty without one.
struct IconSize {
    uint32_t width, height, bitCount; // a width or height of 0 in the directory reads 256
};
std::vector<IconSize> ShownIconSizes(const std::vector<ResourceLeaf>& leaves);

// --- Version information ---

struct VersionField {
    std::string name;  // one of the names VersionFieldNames() lists
    std::string value; // UTF-8
};

// Reads "NAME=VALUE" into fields; false for an unknown or repeated name, a value that is not
// UTF-8, or a FileVersion or ProductVersion that does not begin with 1 to 4 numbers
// (0..65535) separated by dots.
bool AddVersionField(const std::string& assignment, std::vector<VersionField>* fields,
                     std::string* error);
const char* VersionFieldNames();

// The version resource (type 16, id 1) with the fields, replacing any other: the strings of the
// stub's own first string table stay, in their order, unless a field names them; its fixed block
// stays but for the numbers the versions give. False for a stub's version resource that does not
// read, or strings too long for the resource.
bool SetVersionInfo(std::vector<ResourceLeaf>* leaves, const std::vector<VersionField>& fields,
                    ResourceStore* store, std::string* error);
// The strings of a version resource's first string table; false when it does not read.
bool ReadVersionStrings(const ResourceLeaf& leaf, std::vector<VersionField>* fields);
