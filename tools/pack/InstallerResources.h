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
// attribute of the one requestedExecutionLevel element it replaces. False for leaves without an
// application manifest, or one without exactly one such element.
bool SetExecutionLevel(std::vector<ResourceLeaf>* leaves, const std::string& level,
                       ResourceStore* store, std::string* error);

// --- Icon ---

struct IconImage {
    uint8_t width = 0, height = 0, colorCount = 0;
    uint16_t planes = 0, bitCount = 0;
    std::vector<uint8_t> data; // a DIB or a PNG image, as the .ico holds it
};

// The images of an .ico file, every one kept; false for anything that is not one.
bool ParseIconFile(const std::vector<uint8_t>& file, std::vector<IconImage>* images,
                   std::string* error);

// Makes the images the installer's icon: a group icon that sorts before every other, so it is
// the one Explorer shows, with its images under new icon ids. The icon of an earlier run is
// replaced; every other icon (the dialogs' own) stays. False when the ids run out or a stub's
// group would still sort first.
bool SetInstallerIcon(std::vector<ResourceLeaf>* leaves, const std::vector<IconImage>& images,
                      ResourceStore* store, std::string* error);

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

// The version resource (type 16, id 1) of the fields, replacing any other.
void SetVersionInfo(std::vector<ResourceLeaf>* leaves, const std::vector<VersionField>& fields,
                    ResourceStore* store);
