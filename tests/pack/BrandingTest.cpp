// The branding resources on their own: the manifest's level as an XML reader sees it, icon
// files whose images share bytes, and version strings kept across a new payload.
#include "tools/pack/InstallerResources.h"
#include "tools/pe/ByteReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

ResourceLeaf Leaf(uint32_t type, const std::vector<uint8_t>& bytes) {
    ResourceLeaf leaf;
    leaf.type.id = type;
    leaf.name.id = 1;
    leaf.data = bytes.data();
    leaf.size = bytes.size();
    return leaf;
}

std::string Element(const std::string& attributes) {
    return "<?xml version=\"1.0\"?>\n<assembly><trustInfo><security><requestedPrivileges>\n"
           "<requestedExecutionLevel " +
           attributes + "/>\n</requestedPrivileges></security></trustInfo></assembly>\n";
}

TEST(ManifestLevel, OnlyTheLevelAttributeAnXmlReaderSeesChanges) {
    const std::string kDecoy = "x=\" level='q'\" ";
    struct Row {
        std::string manifest, level; // level empty: the stub's own is kept
        std::string expected;        // the manifest written, or the error's words
        bool refused;
    } rows[] = {
        {Element("level=\"asInvoker\" uiAccess=\"false\""), "requireAdministrator",
         Element("level=\"requireAdministrator\" uiAccess=\"false\""), false},
        // A decoy in another attribute's value, both ways: it must neither take the new level
        // nor hide the real one.
        {Element(kDecoy + "level=\"asInvoker\""), "requireAdministrator",
         Element(kDecoy + "level=\"requireAdministrator\""), false},
        {Element("x=\" level='asInvoker'\" level='requireAdministrator'"), "asInvoker",
         Element("x=\" level='asInvoker'\" level='asInvoker'"), false},
        {Element("uiAccess='false' alevel='x' level = 'asInvoker'"), "highestAvailable",
         Element("uiAccess='false' alevel='x' level = 'highestAvailable'"), false},
        {"<!-- <requestedExecutionLevel level=\"q\"/> -->" + Element("level=\"asInvoker\""),
         "highestAvailable",
         "<!-- <requestedExecutionLevel level=\"q\"/> -->" + Element("level=\"highestAvailable\""),
         false},
        {"<a><asmv3:requestedExecutionLevel level='asInvoker'/></a>", "requireAdministrator",
         "<a><asmv3:requestedExecutionLevel level='requireAdministrator'/></a>", false},
        {Element("level=\"requireAdministrator\""), "", Element("level=\"requireAdministrator\""),
         false},
        {Element(kDecoy + "level=\"q\""), "", "unknown level 'q'", true},
        {"<a><!-- <requestedExecutionLevel level='asInvoker'/> --></a>", "asInvoker", "exactly one",
         true},
        {"<a b=\"<requestedExecutionLevel level='asInvoker'/>\"/>", "asInvoker", "not well-formed",
         true},
        {Element("x='y level=\"asInvoker\""), "asInvoker", "not well-formed", true},
        {Element("level=asInvoker"), "asInvoker", "not well-formed", true},
        {Element("uiAccess='false'"), "asInvoker", "no single level", true},
        {Element("level='asInvoker' level='asInvoker'"), "asInvoker", "no single level", true},
        {"<!DOCTYPE a [<!ENTITY e 'x'>]>" + Element("level='asInvoker'"), "asInvoker",
         "document type", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.manifest + " / " + row.level);
        std::vector<uint8_t> bytes(row.manifest.begin(), row.manifest.end());
        std::vector<ResourceLeaf> leaves{Leaf(kRtManifest, bytes)};
        ResourceStore store;
        std::string error;
        bool set = SetExecutionLevel(&leaves, row.level, &store, &error);
        EXPECT_EQ(!row.refused, set) << error;
        if (row.refused) {
            EXPECT_NE(std::string::npos, error.find(row.expected)) << error;
            continue;
        }
        EXPECT_EQ(row.expected, std::string(leaves[0].data, leaves[0].data + leaves[0].size));
    }
}

// An .ico file: a directory of (offset, size) entries over data bytes.
std::vector<uint8_t> IconFile(const std::vector<std::pair<uint32_t, uint32_t>>& entries,
                              size_t dataBytes) {
    std::vector<uint8_t> file(6 + 16 * entries.size() + dataBytes, 0x5A);
    PutU16(&file[0], 0);
    PutU16(&file[2], 1);
    PutU16(&file[4], uint32_t(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        uint8_t* entry = &file[6 + 16 * i];
        std::fill(entry, entry + 8, 0);
        entry[0] = entry[1] = 16;
        PutU32(entry + 8, entries[i].second);
        PutU32(entry + 12, entries[i].first);
    }
    return file;
}

TEST(IconFile, ImagesThatShareBytesAreRefused) {
    const uint32_t kData = 6 + 16 * 2;
    std::vector<std::pair<uint32_t, uint32_t>> same(1024, {6 + 16 * 1024, 4096});
    struct Row {
        std::vector<uint8_t> file;
        const char* error; // nullptr: taken
    } rows[] = {
        {IconFile({{kData + 100, 50}, {kData, 100}}, 150), nullptr},
        {IconFile({{kData, 100}, {kData + 99, 51}}, 150), "images 1 and 2 overlap"},
        {IconFile({{kData, 150}, {kData + 10, 20}}, 150), "images 1 and 2 overlap"},
        {IconFile(same, 4096), "overlap"},
        {IconFile({{kData, 100}, {kData + 100, 51}}, 150), "image 2 lies outside"},
    };
    for (const Row& row : rows) {
        std::vector<IconImage> images;
        std::string error;
        bool parsed = ParseIconFile(row.file, &images, &error);
        EXPECT_EQ(row.error == nullptr, parsed) << error;
        if (row.error) {
            EXPECT_NE(std::string::npos, error.find(row.error)) << error;
            continue;
        }
        ASSERT_EQ(2u, images.size());
        EXPECT_EQ(50u, images[0].data.size());
        EXPECT_EQ(100u, images[1].data.size());
    }
}

std::vector<VersionField> Fields(const std::vector<std::string>& assignments) {
    std::vector<VersionField> fields;
    std::string error;
    for (const std::string& a : assignments)
        EXPECT_TRUE(AddVersionField(a, &fields, &error)) << error;
    return fields;
}

// The strings and the fixed block's file and product versions of the leaves' version resource.
std::string Describe(const std::vector<ResourceLeaf>& leaves) {
    std::string text;
    for (const ResourceLeaf& leaf : leaves) {
        if (leaf.type.id != kRtVersion) continue;
        std::vector<VersionField> fields;
        EXPECT_TRUE(ReadVersionStrings(leaf, &fields));
        for (const VersionField& f : fields)
            text += f.name + "=" + f.value + ";";
        ByteReader r(leaf.data, leaf.size);
        const size_t fixed = 40; // after the header and the key VS_VERSION_INFO
        for (size_t at = fixed + 8; at < fixed + 24; at += 4)
            text += std::to_string(r.U32(at) >> 16) + "." + std::to_string(r.U32(at) & 0xFFFF) +
                    (at == fixed + 12  ? " "
                     : at < fixed + 20 ? "."
                                       : "");
    }
    return text;
}

TEST(VersionInfo, ANewFieldChangesOnlyTheStringItNames) {
    ResourceStore store;
    std::vector<ResourceLeaf> leaves;
    std::string error;
    ASSERT_TRUE(SetVersionInfo(
        &leaves, Fields({"ProductName=Démo ™", "FileVersion=2.5.17.301", "CompanyName=Quorel"}),
        &store, &error));
    EXPECT_EQ("ProductName=Démo ™;FileVersion=2.5.17.301;CompanyName=Quorel;2.5.17.301 2.5.17.301",
              Describe(leaves));
    ASSERT_TRUE(
        SetVersionInfo(&leaves, Fields({"FileVersion=3.0", "Comments=nouveau"}), &store, &error));
    EXPECT_EQ("ProductName=Démo ™;FileVersion=3.0;CompanyName=Quorel;Comments=nouveau;"
              "3.0.0.0 2.5.17.301",
              Describe(leaves));
    ASSERT_TRUE(SetVersionInfo(&leaves, Fields({"ProductVersion=4.1 bêta"}), &store, &error));
    EXPECT_EQ(
        "ProductName=Démo ™;FileVersion=3.0;CompanyName=Quorel;Comments=nouveau;ProductVersion=4.1 "
        "bêta;3.0.0.0 4.1.0.0",
        Describe(leaves));
}

TEST(VersionInfo, AnUnreadableOrOverfullResourceIsRefused) {
    std::vector<uint8_t> damaged = {0xFF, 0xFF, 0, 0, 0, 0, 'V', 0};
    std::vector<ResourceLeaf> leaves{Leaf(kRtVersion, damaged)};
    ResourceStore store;
    std::string error;
    EXPECT_FALSE(SetVersionInfo(&leaves, Fields({"FileVersion=1"}), &store, &error));
    EXPECT_NE(std::string::npos, error.find("cannot be read")) << error;

    // Each node's length is 16 bits: strings past that are refused, not wrapped.
    std::vector<VersionField> many(40, VersionField{"", std::string(1000, 'x')});
    for (size_t i = 0; i < many.size(); ++i)
        many[i].name = "Name" + std::to_string(i);
    leaves.clear();
    EXPECT_FALSE(SetVersionInfo(&leaves, many, &store, &error));
    EXPECT_NE(std::string::npos, error.find("64 KiB")) << error;
    many.resize(20);
    EXPECT_TRUE(SetVersionInfo(&leaves, many, &store, &error)) << error;
}

} // namespace
