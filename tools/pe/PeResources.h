// The resource tree of a 32-bit PE image: reading its leaves, finding one, and laying out a new
// resource section.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

#include "tools/pe/PeLayout.h"

// One resource of the three-level tree (type, name, language). An entry without a name text is
// named by its id. The text stays where it lies (in the image read, or a constant of the
// caller's): little-endian UTF-16 code units, never copied, so that many entries sharing one long
// name cost nothing more.
struct ResourceKey {
    bool named = false;
    uint32_t id = 0;
    const uint8_t* text = nullptr;
    uint32_t length = 0; // code units

    char16_t Unit(uint32_t i) const { return char16_t(text[2 * i] | text[2 * i + 1] << 8); }
};

struct ResourceLeaf {
    ResourceKey type;
    ResourceKey name;
    uint32_t language = 0;
    uint32_t codePage = 0;
    // The bytes stay where they are (in the image read, or the caller's payload).
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// Reads every resource of the image (none when it has no resource directory); the leaves point
// into file. Shared subtables and names cannot multiply the work: everything the tree costs to
// walk and to write again (tables, names and data counted per leaf) must stay within twice the
// file's size, and there are at most 65536 leaves.
bool ReadResources(const std::vector<uint8_t>& file, const PeLayout& pe,
                   std::vector<ResourceLeaf>* leaves, std::string* error);

// Finds the data of the first leaf of type/name (named type, integer name) without reading the
// whole tree.
bool FindResourceData(const std::vector<uint8_t>& file, const PeLayout& pe, const ResourceKey& type,
                      uint32_t id, size_t* offset, size_t* length, std::string* error);

// Puts leaf in place of every leaf with its type and name, in any language.
void ReplaceResource(std::vector<ResourceLeaf>* leaves, ResourceLeaf leaf);

// Whether two keys name the same resource: named ones compare as the loader does, ignoring ASCII
// letter case.
bool SameResourceKey(const ResourceKey& a, const ResourceKey& b);

// The tree's order: named keys first, by their code units, then ids in ascending order.
bool ResourceKeyLess(const ResourceKey& a, const ResourceKey& b);

// Sorts the leaves into the order the loader's binary search expects and lays out a resource
// section for the given rva. False for two leaves with the same type, name and language.
bool BuildResourceSection(std::vector<ResourceLeaf>* leaves, uint32_t sectionRva,
                          std::vector<uint8_t>* section, std::string* error);
