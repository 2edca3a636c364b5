// Writes the seed corpora of the fuzz targets: raw samples, valid streams of every stage
// combination, small archives of every method, build stamps. Run as: fuzz_seeds <fuzz
// folder>/corpus
#include "archive/Decompressor.h"
#include "tests/archive/ArchiveBuilder.h"
#include "tools/compress/Compressor.h"

#include <stdio.h>
#include <string.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::string g_root;

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
    std::string folder = g_root + "/" + target;
    mkdir(folder.c_str(), 0755);
    std::string path = folder + "/" + name;
    FILE* file = fopen(path.c_str(), "wb");
    if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        fprintf(stderr, "fuzz_seeds: cannot write %s\n", path.c_str());
        exit(1);
    }
    fclose(file);
}

Bytes SizeWord(int32_t size) {
    Bytes word(4);
    PutWord(word, 0, uint32_t(size));
    return word;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// Small samples that give every stage something to do.
std::vector<Bytes> Samples() {
    std::string prose;
    for (int k = 0; k < 12; ++k)
        prose += "Install=Mon logiciel\r\nVersion=" + std::to_string(k) + "\r\nDWCL=12345\r\n";
    Bytes runs;
    for (int k = 0; k < 40; ++k)
        runs.insert(runs.end(), 3 + k % 9, static_cast<unsigned char>(k));
    Bytes binary;
    for (int k = 0; k < 600; ++k)
        binary.push_back(static_cast<unsigned char>((k * k) >> 3 ^ k));
    Bytes zeros(300, 0);
    zeros.insert(zeros.end(), binary.begin(), binary.begin() + 40);
    Bytes large;
    for (int k = 0; k < 3000; ++k)
        large.push_back(static_cast<unsigned char>(k % 7 ? "etaoin shrdlu"[k * k % 13] : k >> 4));
    // Skewed bytes whose prefix-class bit stream is long enough for the table and the lanes,
    // yet whose seeds stay within the fuzzers' length limit.
    Bytes skewed;
    uint32_t state = 12345;
    for (int k = 0; k < 14000; ++k) {
        state = state * 1103515245u + 12345u;
        unsigned r = state >> 16;
        skewed.push_back(static_cast<unsigned char>(r & 3 ? r % 23 : r >> 8));
    }
    return {Text(prose), runs, binary, zeros, Text("ABC"), Bytes(), large, skewed};
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: fuzz_seeds CORPUS_FOLDER\n");
        return 2;
    }
    g_root = argv[1];
    mkdir(g_root.c_str(), 0755);

    // Streams: each sample through every stage combination, and the hand-made edge cases.
    std::vector<Bytes> streams;
    std::vector<Bytes> samples = Samples();
    for (size_t s = 0; s < samples.size(); ++s) {
        Bytes raw{0xFF, kLevelBest - 1}; // every stage combination allowed, the best level
        raw.insert(raw.end(), samples[s].begin(), samples[s].end());
        Write("fuzz_roundtrip", "sample" + std::to_string(s), raw);
        for (int combination = 0; combination < 8; ++combination) {
            StageSet only{static_cast<uint8_t>(1u << combination)};
            Bytes stream = CompressBest(samples[s].data(), samples[s].size(), only, kLevelBest);
            if (stream.empty() || stream[0] != (combination << 4)) continue; // not expressible
            Bytes seed = SizeWord(int32_t(samples[s].size()));
            seed.insert(seed.end(), stream.begin(), stream.end());
            Write("fuzz_decompress",
                  "s" + std::to_string(s) + "_flags" + std::to_string(combination << 4), seed);
            if (s < 3) streams.push_back(stream);
        }
    }
    const char* edges[][2] = {
        {"03000000", "10 11 01 03 41 42 43 B4"}, {"03000000", "10 11 01 03 41 42 43 A8 00"},
        {"07000000", "10 00 00 03 41 42 43 FF"}, {"05000000", "60 FE FF 62 FF 01 02 FE 02"},
        {"05000000", "40 FF 61 FF 00 03 62"},    {"04000000", "20 FE FE 03 61"},
    };
    for (size_t k = 0; k < sizeof edges / sizeof edges[0]; ++k) {
        Bytes seed = Hex(edges[k][0]);
        Bytes stream = Hex(edges[k][1]);
        seed.insert(seed.end(), stream.begin(), stream.end());
        Write("fuzz_decompress", "edge" + std::to_string(k), seed);
    }

    // Archives: every method, inverted names, an info text with file times, compressed data.
    Bytes text = Text("Install=Produit\r\n");
    Bytes inverted;
    for (unsigned char c : text)
        inverted.push_back(static_cast<unsigned char>(~c));
    const std::string info = "\r\nDWCL=3567587328\r\nDWCH=30000000";
    std::vector<Bytes> entries = {
        MakeEntry(0, "readme.txt", info, int32_t(text.size()), text),
        MakeEntry(1, "product.kvr", info, int32_t(text.size()), inverted),
        MakeEntry(4, "future.bin", "", 3, Hex("01 02 03")),
        MakeEntry(0, "", "", 0, Bytes()),
    };
    for (size_t s = 0; s < streams.size(); ++s)
        entries.push_back(MakeEntry(2 + s % 2, "AutoInst_" + std::to_string(s) + ".exe", info,
                                    int32_t(samples[s < 3 ? s : 0].size()), streams[s]));
    Write("fuzz_archive", "all_methods", MakeArchive(entries, 16));
    for (size_t k = 0; k < entries.size(); ++k)
        Write("fuzz_archive", "entry" + std::to_string(k), MakeArchive({entries[k]}, 8));
    Write("fuzz_archive", "payload_offset", MakeArchive({entries[0], entries[1]}));
    Write("fuzz_archive", "empty", MakeArchive({}, 4));

    // The survey (a 0 byte, then an archive; a 1 byte, then a descriptor's data) and sfxpack's
    // reading commands, on archives with descriptors, pre-install programs and unsafe names.
    std::vector<Bytes> named = {
        MakeEntry(3, "AutoInst_setup.exe", info, int32_t(text.size()),
                  CompressBest(text.data(), text.size(), kStagesAuto, kLevelBest)),
        MakeEntry(1, "produit.kvr", "", int32_t(text.size()), inverted),
        MakeEntry(0, "AutoInst_..\\x.exe", "", 1, Hex("4D")),
        MakeEntry(0, "CON", "", 1, Hex("4D")),
        MakeEntry(0, "Read.txt", info, 1, Hex("4D")),
        MakeEntry(0, "READ.TXT", "", 2, Hex("4D 5A")),
    };
    const std::vector<std::pair<std::string, Bytes>> archives = {
        {"all_methods", MakeArchive(entries, 16)},
        {"named", MakeArchive(named)},
        {"empty", MakeArchive({}, 4)},
    };
    for (const auto& a : archives) {
        Bytes survey{0};
        survey.insert(survey.end(), a.second.begin(), a.second.end());
        Write("fuzz_survey", a.first, survey);
        Write("fuzz_sfxpack", a.first, a.second);
    }
    for (const char* data :
         {"Install=Mon logiciel\r\nVersion=2", "x\r\ninstall=Produit", "Install=", "abcInstall"}) {
        Bytes survey{1};
        survey.insert(survey.end(), data, data + strlen(data));
        Write("fuzz_survey", "descriptor" + std::to_string(survey.size()), survey);
    }

    // File names and info texts.
    const char* names[] = {"readme.txt", "..",  "a.txt:s", "CON.txt",     "com9", "lpt1.log ",
                           "sub\\x",     "nul", "CONOUT$", "Caf\xE9.txt", "x.",   "AUX .txt"};
    for (size_t k = 0; k < sizeof names / sizeof names[0]; ++k)
        Write("fuzz_filename", "name" + std::to_string(k), Text(names[k]));
    const char* infos[] = {"\r\nDWCL=3567587328\r\nDWCH=30000000", "\r\ndwch=-1",
                           "\r\nDWCL=  +12345678901234567890", "DWCL=1\r\nDWCH=", ""};
    for (size_t k = 0; k < sizeof infos / sizeof infos[0]; ++k)
        Write("fuzz_infotext", "info" + std::to_string(k), Text(infos[k]));

    // Build stamps: the installer's own, one after other bytes, one cut short.
    Bytes stamp = Hex("01 FF");
    Bytes stampText = Text("*X_MED*!0000009200999900!Z000QOR0AKVR001.0aVC000000");
    stamp.insert(stamp.end(), stampText.begin(), stampText.end());
    stamp.push_back(0);
    Write("fuzz_stamp", "own", stamp);
    Bytes later = Hex("01 41 42 FF 2A FF");
    later.insert(later.end(), stamp.begin() + 1, stamp.end());
    Write("fuzz_stamp", "after_bytes", later);
    Bytes windowed = stamp;
    windowed[0] = 0x40; // a window that ends inside the stamp
    Write("fuzz_stamp", "windowed", windowed);
    Bytes cut(stamp.begin(), stamp.begin() + 20);
    cut[0] = 0x28;
    Write("fuzz_stamp", "cut", cut);
    return 0;
}
