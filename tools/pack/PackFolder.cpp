#include "tools/pack/PackFolder.h"

#include "support/FileName.h"
#include "tools/pack/ArchiveWriter.h"

#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const int64_t kSecondsFrom1601To1970 = 11644473600LL;

bool Fail(std::string* error, const std::string& reason) {
    *error = reason;
    return false;
}

uint8_t FoldCp1252(uint8_t c) {
    if (c >= 'a' && c <= 'z') return uint8_t(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return uint8_t(c - 32);
    switch (c) {
    case 0x9A: // s caron
    case 0x9C: // oe
    case 0x9E: // z caron
        return uint8_t(c - 16);
    case 0xFF: // y diaeresis
        return 0x9F;
    }
    return c;
}

bool LastWriteTime(const std::string& path, uint64_t* fileTime) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
#ifdef _WIN32
    uint32_t nanoseconds = 0; // the C runtime gives whole seconds only
#else
    uint32_t nanoseconds = uint32_t(st.st_mtim.tv_nsec);
#endif
    *fileTime = UnixToFileTime(int64_t(st.st_mtime), nanoseconds);
    return true;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The names of the order file, each once, each a file of the folder, all files listed.
bool ApplyOrder(const std::string& orderFile, std::vector<std::string>* names, std::string* error) {
    std::vector<uint8_t> text;
    if (!ReadFile(orderFile, &text)) return Fail(error, "cannot read order file " + orderFile);
    std::vector<std::string> ordered;
    std::string line;
    text.push_back('\n');
    for (uint8_t c : text) {
        if (c != '\n') {
            line += char(c);
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (std::find(names->begin(), names->end(), line) == names->end())
            return Fail(error,
                        "order file names '" + line + "', which is not a file of the folder");
        if (std::find(ordered.begin(), ordered.end(), line) != ordered.end())
            return Fail(error, "order file names '" + line + "' twice");
        ordered.push_back(line);
        line.clear();
    }
    for (const std::string& name : *names)
        if (std::find(ordered.begin(), ordered.end(), name) == ordered.end())
            return Fail(error, "'" + name + "' is missing from the order file");
    *names = ordered;
    return true;
}

bool ListFolder(const std::string& folder, std::vector<std::string>* names, std::string* error) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return Fail(error, "no folder " + folder);
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        std::string name = it->path().filename().string();
        if (name.size() > kMaxEntryName) return Fail(error, "name longer than 63 bytes: " + name);
        if (!IsPlainFileName(name.c_str()))
            return Fail(error, "not a plain file name for Windows: " + name);
        names->push_back(name);
    }
    if (ec) return Fail(error, "cannot list " + folder + ": " + ec.message());
    if (names->empty()) return Fail(error, "no files in " + folder);
    std::sort(names->begin(), names->end());
    for (size_t i = 0; i < names->size(); ++i)
        for (size_t k = i + 1; k < names->size(); ++k)
            if (SameWindowsName((*names)[i], (*names)[k]))
                return Fail(error,
                            "names equal for Windows: " + (*names)[i] + " and " + (*names)[k]);
    return true;
}

} // namespace

uint64_t UnixToFileTime(int64_t seconds, uint32_t nanoseconds) {
    if (seconds < -kSecondsFrom1601To1970) return 0;
    return uint64_t(seconds + kSecondsFrom1601To1970) * 10000000u + nanoseconds / 100;
}

std::string WriteTimeInfo(uint64_t fileTime) {
    char text[64];
    snprintf(text, sizeof text, "\r\nDWCL=%lu\r\nDWCH=%lu", (unsigned long)(uint32_t)fileTime,
             (unsigned long)(uint32_t)(fileTime >> 32));
    return text;
}

bool SameWindowsName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCp1252(uint8_t(a[i])) != FoldCp1252(uint8_t(b[i]))) return false;
    return true;
}

bool PackFolder(const std::string& folder, const PackOptions& options,
                std::vector<uint8_t>* archive, std::vector<std::string>* warnings,
                std::string* error) {
    if (options.method > kMethodCompressedInverted) return Fail(error, "method must be 0 to 3");
    std::vector<std::string> names;
    if (!ListFolder(folder, &names, error)) return false;
    if (!options.orderFile.empty() && !ApplyOrder(options.orderFile, &names, error)) return false;

    ArchiveWriter writer;
    std::vector<uint8_t> data;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string path = (fs::path(folder) / names[i]).string();
        std::error_code ec;
        uintmax_t size = fs::file_size(path, ec);
        if (ec) return Fail(error, "cannot read " + path + ": " + ec.message());
        if (size > kMaxEntryBytes)
            return Fail(error, names[i] + " is larger than an installer can hold (256 MiB)");
        uint64_t fileTime;
        if (!LastWriteTime(path, &fileTime) || !ReadFile(path, &data))
            return Fail(error, "cannot read " + path);
        if (data.size() > kMaxEntryBytes)
            return Fail(error, names[i] + " is larger than an installer can hold (256 MiB)");
        if (options.progress) options.progress(i, names.size(), names[i]);
        CompressStats stats;
        writer.Add(names[i], WriteTimeInfo(fileTime), data, options.method, &stats);
        if (stats.fallback)
            warnings->push_back(names[i] + ": compressed stream did not decode back (flags " +
                                std::to_string(stats.failedFlags) + ", error " +
                                std::to_string(stats.checkError) + "); stored uncompressed");
        if (writer.Bytes().size() > kMaxPayloadBytes)
            return Fail(error, "payload larger than an installer can hold (1 GiB)");
    }
    *archive = writer.Bytes();
    return true;
}
