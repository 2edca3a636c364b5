// The PE resource writer, checked by independent readers: the linker's checksum, objdump,
// wrestool and the Windows loader itself (the probes under Wine).
#include "tests/pack/PeTestSupport.h"
#include "tools/pe/ByteReader.h"
#include "tools/pe/PeImage.h"
#include "tools/pe/PeLayout.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <functional>
#include <random>
#include <sstream>

namespace {

// reloc: .reloc and debug sections follow .rsrc, so a new section is appended; tail: only
// .reloc follows .rsrc and moves behind the rebuilt tree; last: .rsrc is the last section and is
// rewritten in place; old: already has an EXE_DATA; bare: no resources.
const char* const kProbes[] = {"probe_reloc.exe", "probe_tail.exe", "probe_last.exe",
                               "probe_old.exe", "probe_bare.exe"};

uint32_t ChecksumField(const std::vector<uint8_t>& file) {
    size_t at;
    std::string error;
    if (!PeChecksumOffset(file, &at, &error)) return 0;
    return ByteReader(file.data(), file.size()).U32(at);
}

std::vector<uint8_t> Insert(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(InsertPayloadIntoPe(stub, payload, &out, &error)) << error;
    return out;
}

void Put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    PutU32(&f[at], v);
}

std::vector<uint8_t> FoundPayload(const std::vector<uint8_t>& file) {
    size_t offset = 0, length = 0;
    std::string error;
    if (!FindPayloadInPe(file, &offset, &length, &error)) return {};
    return std::vector<uint8_t>(file.begin() + offset, file.begin() + offset + length);
}

// wrestool -l, without the file offsets (they move) and without the payload.
std::string OtherResources(const std::string& path) {
    std::istringstream lines(RunCommand(std::string(SFX_WRESTOOL) + " -l '" + path + "'").out);
    std::string line, kept;
    while (std::getline(lines, line)) {
        if (line.find("EXE_DATA") != std::string::npos) continue;
        size_t offset = line.find("offset=");
        if (offset != std::string::npos) line.erase(offset, line.find(' ', offset) + 1 - offset);
        kept += line + "\n";
    }
    return kept;
}

TEST(PeChecksum, AgreesWithTheLinker) {
    for (const char* probe : kProbes) {
        std::vector<uint8_t> file = LoadFile(ProbePath(probe));
        size_t at;
        std::string error;
        ASSERT_TRUE(PeChecksumOffset(file, &at, &error)) << probe << ": " << error;
        ASSERT_NE(ChecksumField(file), 0u) << probe;
        EXPECT_EQ(PeChecksum(file, at), ChecksumField(file)) << probe;
    }
}

TEST(InsertPayload, IndependentReadersSeeThePayloadAndTheOtherResources) {
    std::vector<uint8_t> payload = RandomBytes(40001, 1);
    for (const char* probe : kProbes) {
        SCOPED_TRACE(probe);
        std::vector<uint8_t> stub = LoadFile(ProbePath(probe));
        std::vector<uint8_t> out = Insert(stub, payload);
        std::string path = ScratchPath(std::string("with_payload_") + probe);
        SaveFile(path, out);
        EXPECT_EQ(FoundPayload(out), payload);
        size_t at;
        std::string error;
        ASSERT_TRUE(PeChecksumOffset(out, &at, &error));
        EXPECT_EQ(ChecksumField(out), PeChecksum(out, at));

        std::string dump = RunCommand(std::string(SFX_OBJDUMP) + " -p -h '" + path + "'").out;
        PeLayout pe;
        ASSERT_TRUE(ParsePe(out, &pe, &error));
        char entry[80];
        snprintf(entry, sizeof entry, "Entry 2 %08x %08x Resource Directory [.rsrc]",
                 pe.DirRva(kPeDirResource), pe.DirSize(kPeDirResource));
        EXPECT_NE(dump.find(entry), std::string::npos) << entry;
        EXPECT_NE(dump.find("Entry: name: [val: "), std::string::npos);
        EXPECT_NE(dump.find("len 8]: EXE_DATA"), std::string::npos);

        std::string extracted = ScratchPath("extracted.bin");
        RunCommand(std::string(SFX_WRESTOOL) + " -x --raw -t EXE_DATA -n 1 -o '" + extracted +
                   "' '" + path + "'");
        EXPECT_EQ(LoadFile(extracted), payload);
        EXPECT_EQ(OtherResources(path), OtherResources(ProbePath(probe)));
    }
}

TEST(InsertPayload, TheWindowsLoaderFindsThePayloadAndKeepsTheRest) {
    std::vector<uint8_t> payload = RandomBytes(100003, 2);
    for (const char* probe : kProbes) {
        SCOPED_TRACE(probe);
        std::string path = ScratchPath(std::string("run_") + probe);
        SaveFile(path, Insert(LoadFile(ProbePath(probe)), payload));
        ProbeReport before = RunProbe(ProbePath(probe));
        ProbeReport after = RunProbe(path);
        ASSERT_FALSE(before.checksum.empty()) << "the probe did not run under Wine";
        EXPECT_EQ(after.payload, "payload " + PayloadLine(payload));
        std::vector<std::string> expected;
        for (const std::string& line : before.resources)
            if (line.find("type=EXE_DATA") == std::string::npos) expected.push_back(line);
        expected.push_back("resource type=EXE_DATA name=#1 lang=0 " + PayloadLine(payload));
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(after.resources, expected);
        // The system's own checksum routine agrees with the header.
        unsigned header = 1, computed = 2;
        ASSERT_EQ(
            sscanf(after.checksum.c_str(), "checksum header=%x computed=%x", &header, &computed),
            2);
        EXPECT_EQ(header, computed);
    }
}

TEST(InsertPayload, ReplacingAgainRewritesInPlaceAndIsDeterministic) {
    std::vector<uint8_t> stub = LoadFile(ProbePath("probe_reloc.exe"));
    std::vector<uint8_t> big = RandomBytes(300000, 3), small = RandomBytes(1000, 4);
    std::vector<uint8_t> first = Insert(stub, big);
    std::vector<uint8_t> second = Insert(first, small);
    EXPECT_EQ(FoundPayload(second), small);
    EXPECT_LT(second.size(), first.size() - 290000); // the old payload is gone, not left behind
    EXPECT_EQ(Insert(second, small), second);
    EXPECT_EQ(Insert(stub, small), second);
    // The stub's own time stamp and the sections before the resources are untouched.
    PeLayout a, b;
    std::string error;
    ASSERT_TRUE(ParsePe(stub, &a, &error) && ParsePe(second, &b, &error));
    ASSERT_EQ(b.sections.size(), a.sections.size() + 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.sections.back().name)), ".rsrc");
    size_t stamp = a.optionalHeader - 16;
    EXPECT_TRUE(std::equal(stub.begin() + stamp, stub.begin() + stamp + 4, second.begin() + stamp));
    EXPECT_TRUE(std::equal(stub.begin() + b.sections[0].rawPointer, stub.end(),
                           second.begin() + b.sections[0].rawPointer));
}

std::string SectionName(const PeSection& s) {
    return std::string(reinterpret_cast<const char*>(s.name),
                       strnlen(reinterpret_cast<const char*>(s.name), 8));
}

std::vector<std::string> SectionNames(const std::vector<uint8_t>& file) {
    PeLayout pe;
    std::string error;
    std::vector<std::string> names;
    if (ParsePe(file, &pe, &error))
        for (const PeSection& s : pe.sections)
            names.push_back(SectionName(s));
    return names;
}

// The bytes the base-relocation directory names.
std::vector<uint8_t> RelocationBlocks(const std::vector<uint8_t>& file) {
    PeLayout pe;
    std::string error;
    size_t at;
    if (!ParsePe(file, &pe, &error) ||
        !pe.RvaToOffset(pe.DirRva(kPeDirBaseReloc), pe.DirSize(kPeDirBaseReloc), file.size(), &at))
        return {};
    return std::vector<uint8_t>(file.begin() + at, file.begin() + at + pe.DirSize(kPeDirBaseReloc));
}

TEST(InsertPayload, MovesATrailingRelocationSectionBehindTheRebuiltResources) {
    const std::vector<uint8_t> stub = LoadFile(ProbePath("probe_tail.exe"));
    PeLayout pe;
    std::string error;
    ASSERT_TRUE(ParsePe(stub, &pe, &error));
    std::vector<std::string> names = SectionNames(stub);
    ASSERT_GE(names.size(), 2u);
    ASSERT_EQ(names[names.size() - 2], ".rsrc");
    ASSERT_EQ(names.back(), ".reloc");
    const std::vector<uint8_t> blocks = RelocationBlocks(stub);
    ASSERT_FALSE(blocks.empty());

    for (size_t size : {size_t(1), size_t(5000), size_t(300001)}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> payload = RandomBytes(size, 6);
        std::vector<uint8_t> out = Insert(stub, payload);
        // No second resource section, no old tree left behind.
        EXPECT_EQ(SectionNames(out), names);
        EXPECT_LE(out.size(), stub.size() + payload.size() + pe.fileAlignment);
        EXPECT_EQ(FoundPayload(out), payload);
        EXPECT_EQ(RelocationBlocks(out), blocks);
        PeLayout after;
        ASSERT_TRUE(ParsePe(out, &after, &error));
        const PeSection& rsrc = after.sections[after.sections.size() - 2];
        const PeSection& reloc = after.sections.back();
        EXPECT_EQ(rsrc.virtualAddress, pe.DirRva(kPeDirResource));
        EXPECT_GE(reloc.virtualAddress, rsrc.virtualAddress + rsrc.virtualSize);
        EXPECT_EQ(reloc.virtualAddress % pe.sectionAlignment, 0u);
        EXPECT_EQ(uint64_t(reloc.rawPointer) + reloc.rawSize, out.size());
        // Replacing the payload again gives what the stub itself gives.
        EXPECT_EQ(Insert(Insert(stub, RandomBytes(70000, 7)), payload), out);
    }
}

// The loader must move the DLL (its base is the program's): it still finds every resource, and
// code that reads through an absolute address gets the right value, so the relocation blocks
// at their new place were applied.
TEST(InsertPayload, ARelocatedDllStillWorksAfterItsRelocationsMoved) {
    const std::string dll = ProbePath("probe_dll.dll"), program = ProbePath("probe_last.exe");
    std::vector<uint8_t> stub = LoadFile(dll), payload = RandomBytes(20000, 8);
    std::vector<uint8_t> out = Insert(stub, payload);
    EXPECT_EQ(SectionNames(out), SectionNames(stub));
    EXPECT_LE(out.size(), stub.size() + payload.size() + 0x200);
    std::string path = ScratchPath("with_payload_probe_dll.dll");
    SaveFile(path, out);

    ProbeReport before = RunProbe(program, dll), after = RunProbe(program, path);
    ASSERT_EQ(before.module.find("module base=00400000"), std::string::npos) << before.module;
    EXPECT_NE(before.module.find(" value=22"), std::string::npos) << before.module;
    EXPECT_EQ(after.module.find("module base=00400000"), std::string::npos) << after.module;
    EXPECT_NE(after.module.find(" value=22"), std::string::npos) << after.module;
    EXPECT_EQ(after.payload, "payload " + PayloadLine(payload));
    std::vector<std::string> expected = before.resources;
    expected.push_back("resource type=EXE_DATA name=#1 lang=0 " + PayloadLine(payload));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(after.resources, expected);
    unsigned header = 1, computed = 2;
    ASSERT_EQ(sscanf(after.checksum.c_str(), "checksum header=%x computed=%x", &header, &computed),
              2);
    EXPECT_EQ(header, computed);
}

// A relocation section that anything but the base-relocation directory refers to stays where
// it is: the resources go to a new section instead.
TEST(InsertPayload, KeepsARelocationSectionOthersPointInto) {
    const std::vector<uint8_t> stub = LoadFile(ProbePath("probe_tail.exe"));
    PeLayout pe;
    std::string error;
    ASSERT_TRUE(ParsePe(stub, &pe, &error));
    const PeSection reloc = pe.sections.back();
    const size_t opt = pe.optionalHeader,
                 relocHeader = pe.sectionTable + (pe.sections.size() - 1) * kPeSectionHeaderSize;
    auto directory = [&](uint32_t index) { return opt + kOptDirectories + 8 * index; };
    struct Row {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> change;
        bool moves;
    } rows[] = {
        {"the control", [](auto&) {}, true},
        {"debug directory inside it",
         [&](auto& f) {
             Put32(f, directory(kPeDirDebug), reloc.virtualAddress + 8),
                 Put32(f, directory(kPeDirDebug) + 4, 28);
         },
         false},
        {"entry point inside it",
         [&](auto& f) { Put32(f, opt + kOptEntryPoint, reloc.virtualAddress + 4); }, false},
        {"relocation directory in another section",
         [&](auto& f) { Put32(f, directory(kPeDirBaseReloc), pe.sections[0].virtualAddress); },
         false},
        {"another name", [&](auto& f) { f[relocHeader + 1] = 'X'; }, false},
        {"a relocation patching its own bytes",
         [&](auto& f) {
             size_t at;
             ASSERT_TRUE(pe.RvaToOffset(pe.DirRva(kPeDirBaseReloc), 8, f.size(), &at));
             Put32(f, at, reloc.virtualAddress);
         },
         false},
        {"data after it in the file", [](auto& f) { f.push_back(0); }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<uint8_t> f = stub;
        row.change(f);
        std::vector<uint8_t> out;
        ASSERT_TRUE(InsertPayloadIntoPe(f, {1, 2, 3}, &out, &error)) << error;
        EXPECT_EQ(FoundPayload(out), std::vector<uint8_t>({1, 2, 3}));
        std::vector<std::string> names = SectionNames(out);
        EXPECT_EQ(names.size(), pe.sections.size() + (row.moves ? 0 : 1));
        if (!row.moves) {
            EXPECT_EQ(names[pe.sections.size() - 2], ".rsrcold");
        }
    }
}

TEST(InsertPayload, AnEmptyPayloadReadsBackEmpty) {
    for (const char* probe : kProbes) {
        std::vector<uint8_t> out = Insert(LoadFile(ProbePath(probe)), {});
        size_t offset = 1, length = 1;
        std::string error;
        EXPECT_TRUE(FindPayloadInPe(out, &offset, &length, &error)) << probe << ": " << error;
        EXPECT_EQ(length, 0u) << probe;
    }
}

// A probe with one change, and the reason the reader or writer gives for it.
struct Damage {
    const char* what;
    std::function<void(std::vector<uint8_t>&, const PeLayout&, size_t rsrc)> change;
    const char* error;
};

// File offsets of the data entries, in the order of the type, name and language tables.
std::vector<size_t> DataEntries(const std::vector<uint8_t>& f, size_t rsrc) {
    ByteReader r(f.data(), f.size());
    std::vector<size_t> tables{rsrc}, next;
    for (int level = 0; level < 3; ++level, tables.swap(next)) {
        next.clear();
        for (size_t table : tables) {
            uint32_t count = uint32_t(r.U16(table + 12)) + r.U16(table + 14);
            for (uint32_t i = 0; i < count; ++i)
                next.push_back(rsrc + (r.U32(table + 20 + 8 * i) & 0x7FFFFFFF));
        }
    }
    return tables;
}

TEST(PeReader, DamagedImagesAreRefusedWithAReason) {
    const std::vector<uint8_t> stub = LoadFile(ProbePath("probe_last.exe"));
    PeLayout pe;
    std::string error;
    ASSERT_TRUE(ParsePe(stub, &pe, &error));
    size_t rsrc;
    ASSERT_TRUE(pe.RvaToOffset(pe.DirRva(kPeDirResource), 16, stub.size(), &rsrc));
    size_t fileHeader = pe.optionalHeader - 20;
    Damage rows[] = {
        {"the control", [](auto&, auto&, size_t) {}, nullptr},
        {"no MZ", [](auto& f, auto&, size_t) { f[0] = 'X'; }, "no MZ header"},
        {"PE header offset past the end",
         [](auto& f, auto&, size_t) { Put32(f, 0x3C, 0xFFFFFFFE); }, "no PE signature"},
        {"64-bit machine",
         [&](auto& f, auto&, size_t) { f[fileHeader] = 0x64, f[fileHeader + 1] = 0x86; },
         "not a 32-bit x86"},
        {"64-bit optional header",
         [&](auto& f, auto& p, size_t) {
             f[p.optionalHeader] = 0x0B, f[p.optionalHeader + 1] = 0x02;
         },
         "optional header"},
        {"no sections",
         [&](auto& f, auto&, size_t) { f[fileHeader + 2] = 0, f[fileHeader + 3] = 0; },
         "number of sections"},
        {"section table cut off", [](auto& f, auto& p, size_t) { f.resize(p.sectionTable + 50); },
         "truncated section table"},
        {"zero file alignment",
         [](auto& f, auto& p, size_t) { Put32(f, p.optionalHeader + kOptFileAlignment, 0); },
         "alignment"},
        {"file alignment of 1 GiB",
         [](auto& f, auto& p, size_t) {
             Put32(f, p.optionalHeader + kOptSectionAlignment, 0x40000000);
             Put32(f, p.optionalHeader + kOptFileAlignment, 0x40000000);
         },
         "alignment"},
        {"headers larger than the file",
         [](auto& f, auto& p, size_t) {
             Put32(f, p.optionalHeader + kOptSizeOfHeaders, 0x1C000000);
         },
         "claim more bytes"},
        {"file cut inside the last section", [](auto& f, auto&, size_t) { f.resize(f.size() - 1); },
         "runs past the end of the file"},
        {"signed",
         [](auto& f, auto& p, size_t) {
             Put32(f, p.optionalHeader + kOptDirectories + 8 * kPeDirSecurity + 4, 8);
         },
         "signed"},
        {"root table with 65535 entries",
         [](auto& f, auto&, size_t r) { f[r + 14] = 0xFF, f[r + 15] = 0xFF; },
         "runs past its section"},
        {"type name past the section",
         [](auto& f, auto&, size_t r) { Put32(f, r + 16, 0xFFFFFFF0); }, "runs past its section"},
        {"type name whose 4 units end 2 bytes past the section",
         [](auto& f, auto& p, size_t r) {
             const PeSection& s = p.sections.back(); // the resources
             size_t at = s.rawPointer + s.rawSize - 8;
             f[at] = 4, f[at + 1] = 0;
             Put32(f, r + 16, 0x80000000u | uint32_t(at - r));
         },
         "runs past its section"},
        {"data outside the file",
         [&](auto& f, auto&, size_t r) { Put32(f, DataEntries(f, r)[0], 0x7FFFFFF0); },
         "outside the file"},
        {"data larger than its section",
         [&](auto& f, auto&, size_t r) { Put32(f, DataEntries(f, r)[0] + 4, 0x10000000); },
         "outside the file"},
        {"every resource sharing one block that together outweighs the file",
         [&](auto& f, auto& p, size_t r) {
             for (size_t entry : DataEntries(f, r)) {
                 Put32(f, entry, p.sections[0].virtualAddress);
                 Put32(f, entry + 4, p.sections[0].rawSize);
             }
         },
         "costs more than the file"},
        {"a section that reaches exactly the next one",
         [](auto& f, auto& p, size_t) {
             size_t last = p.sections.size() - 1; // the resources
             Put32(f, p.sectionTable + (last - 1) * kPeSectionHeaderSize + 8,
                   p.sections[last].virtualAddress - p.sections[last - 1].virtualAddress);
         },
         nullptr},
        {"a language entry pointing at a table",
         [](auto& f, auto& p, size_t r) {
             size_t language = r;
             ByteReader reader(f.data(), f.size());
             for (int level = 0; level < 2; ++level)
                 language = r + (reader.U32(language + 20) & 0x7FFFFFFF);
             f[language + 23] |= 0x80;
             (void)p;
         },
         "three levels"},
    };
    for (const Damage& row : rows) {
        std::vector<uint8_t> f = stub;
        row.change(f, pe, rsrc);
        std::vector<uint8_t> out;
        error.clear();
        bool ok = InsertPayloadIntoPe(f, {1, 2, 3}, &out, &error);
        if (!row.error) {
            EXPECT_TRUE(ok) << row.what << ": " << error;
            continue;
        }
        EXPECT_FALSE(ok) << row.what;
        EXPECT_NE(error.find(row.error), std::string::npos) << row.what << ": " << error;
    }
    for (size_t length : {0, 1, 0x40, 0x90}) {
        std::vector<uint8_t> f(stub.begin(), stub.begin() + length), out;
        EXPECT_FALSE(InsertPayloadIntoPe(f, {1}, &out, &error)) << length;
    }
}

// Leaves that no section can hold are refused before anything is copied: their data lies
// nowhere.
TEST(BuildResourceSection, RefusesTwoGibibytesOfData) {
    const uint8_t nothing[1] = {0};
    std::vector<ResourceLeaf> leaves(2);
    for (size_t i = 0; i < leaves.size(); ++i) {
        leaves[i].type.id = 10;
        leaves[i].name.id = uint32_t(i + 1);
        leaves[i].data = nothing;
        leaves[i].size = 0x40000000;
    }
    std::vector<uint8_t> section;
    std::string error;
    EXPECT_FALSE(BuildResourceSection(&leaves, 0x1000, &section, &error));
    EXPECT_EQ(error, "resources too large");
}

// Random damage to the headers and the resource tree: every image is either refused or gives
// an installer whose payload reads back.
TEST(PeReader, SurvivesRandomDamage) {
    std::mt19937 gen(5);
    const std::vector<uint8_t> payload = {1, 2, 3, 4, 5};
    for (const char* probe : kProbes) {
        const std::vector<uint8_t> stub = LoadFile(ProbePath(probe));
        PeLayout pe;
        std::string error;
        ASSERT_TRUE(ParsePe(stub, &pe, &error));
        size_t rsrc = 0;
        pe.RvaToOffset(pe.DirRva(kPeDirResource), 1, stub.size(), &rsrc);
        for (int round = 0; round < 1000; ++round) {
            std::vector<uint8_t> f = stub;
            for (int k = 1 + gen() % 6; k > 0; --k) {
                size_t at = gen() % 2 ? gen() % 0x400 : rsrc + gen() % 0x200;
                f[at % f.size()] = uint8_t(gen() % 3 ? gen() : 0xFF);
            }
            if (gen() % 8 == 0) f.resize(gen() % f.size());
            std::vector<uint8_t> out;
            if (InsertPayloadIntoPe(f, payload, &out, &error)) {
                ASSERT_EQ(FoundPayload(out), payload) << probe << " round " << round;
            }
            size_t offset, length;
            FindPayloadInPe(f, &offset, &length, &error);
        }
    }
}

TEST(PeReader, FindsOnlyAnExeDataResourceWithIdOne) {
    size_t offset, length;
    std::string error;
    EXPECT_FALSE(FindPayloadInPe(LoadFile(ProbePath("probe_bare.exe")), &offset, &length, &error));
    EXPECT_NE(error.find("no resources"), std::string::npos) << error;
    EXPECT_FALSE(FindPayloadInPe(LoadFile(ProbePath("probe_last.exe")), &offset, &length, &error));
    EXPECT_NE(error.find("no EXE_DATA"), std::string::npos) << error;
    std::vector<uint8_t> old = LoadFile(ProbePath("probe_old.exe"));
    ASSERT_TRUE(FindPayloadInPe(old, &offset, &length, &error)) << error;
    EXPECT_EQ(std::string(old.begin() + offset, old.begin() + offset + length),
              std::string("old payload", 12));
}

TEST(InsertPayload, NeedsRoomForAnotherSectionHeader) {
    std::vector<uint8_t> stub = LoadFile(ProbePath("probe_reloc.exe"));
    PeLayout pe;
    std::string error;
    ASSERT_TRUE(ParsePe(stub, &pe, &error));
    stub[pe.sectionTable + pe.sections.size() * kPeSectionHeaderSize + 3] = 1;
    std::vector<uint8_t> out;
    EXPECT_FALSE(InsertPayloadIntoPe(stub, {1}, &out, &error));
    EXPECT_NE(error.find("no room"), std::string::npos) << error;
}

} // namespace

namespace {

enum NameKind { kIds, kOneLongName, kDistinctLongNames };

// A resource tree whose tables are shared: every type entry leads to the same name table, every
// name entry to the same language table, every language to one data entry. Long names share one
// run of code units that fills the section up to fileSize.
struct TreeShape {
    const char* what;
    uint32_t types;
    NameKind typeNames;
    uint32_t names;
    NameKind nameNames;
    uint32_t languages;
    bool payloadLast; // an EXE_DATA type after the others
    size_t fileSize;
    const char* error; // from InsertPayloadIntoPe; nullptr: accepted
};

// probe_last.exe with its last section, the resources, replaced by the shape's tree.
std::vector<uint8_t> StubWithTree(const TreeShape& shape) {
    std::vector<uint8_t> f = LoadFile(ProbePath("probe_last.exe"));
    PeLayout pe;
    std::string error;
    EXPECT_TRUE(ParsePe(f, &pe, &error));
    int index = pe.SectionOf(pe.DirRva(kPeDirResource));
    const PeSection& s = pe.sections[index];
    const uint32_t high = 0x80000000u;
    uint32_t root = 0, nameTable = 16 + 8 * (shape.types + shape.payloadLast);
    uint32_t languageTable = nameTable + 16 + 8 * shape.names;
    uint32_t dataEntry = languageTable + 16 + 8 * shape.languages;
    uint32_t payloadType = dataEntry + 16, text = payloadType + 18;
    uint64_t room = shape.fileSize > s.rawPointer + text + 2 ? shape.fileSize - s.rawPointer : 0;
    uint32_t units = uint32_t(std::min<uint64_t>(0xFFFF, room ? (room - text - 2) / 2 : 8));
    std::vector<uint8_t> tree(text + 2 + 2 * size_t(units), 0);
    auto put16 = [&](uint32_t at, uint32_t v) { PutU16(&tree[at], v); };
    auto put32 = [&](uint32_t at, uint32_t v) { PutU32(&tree[at], v); };
    auto key = [&](NameKind kind, uint32_t i) {
        return kind == kIds ? i + 1 : kind == kOneLongName ? text | high : (text + 2 * i) | high;
    };
    auto table = [&](uint32_t at, uint32_t count, NameKind kind, uint32_t target) {
        put16(at + (kind == kIds ? 14 : 12), count);
        for (uint32_t i = 0; i < count; ++i) {
            put32(at + 16 + 8 * i, key(kind, i));
            put32(at + 20 + 8 * i, target);
        }
    };
    table(root, shape.types, shape.typeNames, nameTable | high);
    if (shape.payloadLast) {
        put16(12, shape.typeNames == kIds ? 1 : shape.types + 1);
        put32(16 + 8 * shape.types, payloadType | high);
        put32(20 + 8 * shape.types, nameTable | high);
        const char16_t name[] = u"EXE_DATA";
        put16(payloadType, 8);
        for (uint32_t i = 0; i < 8; ++i)
            put16(payloadType + 2 + 2 * i, name[i]);
    }
    table(nameTable, shape.names, shape.nameNames, languageTable | high);
    put16(languageTable + 14, shape.languages);
    for (uint32_t i = 0; i < shape.languages; ++i) {
        put32(languageTable + 16 + 8 * i, 1033 + i);
        put32(languageTable + 20 + 8 * i, dataEntry);
    }
    put32(dataEntry, s.virtualAddress);
    put32(dataEntry + 4, 4);
    // Distinct names: the name at unit i is as long as the units after it.
    put16(text, units);
    for (uint32_t i = 1; i <= units; ++i)
        put16(text + 2 * i, shape.nameNames == kDistinctLongNames ? units - i : 'Q');
    tree.resize((tree.size() + pe.fileAlignment - 1) & ~size_t(pe.fileAlignment - 1), 0);

    f.resize(s.rawPointer);
    f.insert(f.end(), tree.begin(), tree.end());
    size_t header = pe.sectionTable + size_t(index) * kPeSectionHeaderSize;
    Put32(f, header + 8, uint32_t(tree.size()));
    Put32(f, header + 16, uint32_t(tree.size()));
    Put32(f, pe.optionalHeader + kOptDirectories + 8 * kPeDirResource + 4, uint32_t(tree.size()));
    return f;
}

// Trees that share tables and names so that each leaf would cost far more than the file holds:
// refused at a cost bounded by the file, next to controls of the same kinds that are accepted.
// The stubs are left in the scratch folder (hostile_*.exe) for measuring sfxpack on them.
TEST(PeReader, SharedTablesAndNamesCostNoMoreThanTheFile) {
    const size_t k136 = 136 << 10;
    const char* costly = "costs more than the file";
    TreeShape rows[] = {
        {"control: one long type name", 1, kOneLongName, 1, kIds, 1, false, k136, nullptr},
        {"control: two long names", 1, kIds, 2, kDistinctLongNames, 1, false, k136, nullptr},
        {"control: a few shared tables", 2, kIds, 2, kIds, 2, false, 0, nullptr},
        {"65536 leaves under one long type name", 128, kOneLongName, 512, kIds, 1, false, k136,
         costly},
        {"4000 distinct long names", 1, kIds, 4000, kDistinctLongNames, 1, false, k136, costly},
        {"25 million empty language tables", 5000, kIds, 5000, kIds, 0, false, k136, costly},
        {"6000 long type names before EXE_DATA", 6000, kOneLongName, 1, kIds, 1, true, k136,
         costly},
        {"40000 long type names before EXE_DATA", 40000, kOneLongName, 1, kIds, 1, true, 656 << 10,
         costly},
    };
    int n = 0;
    for (const TreeShape& row : rows) {
        std::vector<uint8_t> stub = StubWithTree(row);
        SaveFile(ScratchPath("hostile_" + std::to_string(n++) + ".exe"), stub);
        std::vector<uint8_t> out;
        std::string error;
        bool ok = InsertPayloadIntoPe(stub, {1, 2, 3}, &out, &error);
        if (!row.error) {
            EXPECT_TRUE(ok) << row.what << ": " << error;
            EXPECT_LT(out.size(), 2 * stub.size() + 0x1000) << row.what;
        } else {
            EXPECT_FALSE(ok) << row.what;
            EXPECT_NE(error.find(row.error), std::string::npos) << row.what << ": " << error;
        }
        size_t offset, length;
        EXPECT_EQ(FindPayloadInPe(stub, &offset, &length, &error), row.payloadLast) << row.what;
    }
}

} // namespace
