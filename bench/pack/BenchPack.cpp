// bench_pack CORPUS_DIR: every file packed as one stream (all stage combinations tried, the
// smallest kept), side by side with the system's `gzip -9` and `xz -9` of the same file.
// Prints a table per file, one per kind of file, then the summary line.
#include "tools/compress/Compressor.h"

#include <dirent.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

struct Result {
    std::string name;
    const char* kind;
    size_t size = 0;
    size_t packed = 0;
    size_t gzip = 0;
    size_t xz = 0;
    double seconds = 0;
    unsigned flags = 0;
};

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + got);
    const bool ok = !ferror(f);
    fclose(f);
    return ok;
}

std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Bytes written by a compressor command run on the file; 0 when it failed.
size_t CompressedBy(const char* command, const std::string& path) {
    const std::string line = std::string(command) + " " + ShellQuoted(path);
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return 0;
    char chunk[65536];
    size_t total = 0, got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        total += got;
    return pclose(pipe) == 0 ? total : 0;
}

const char* KindOf(const std::string& name) {
    const size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    for (const char* e : {"exe", "dll", "ocx", "sys", "cpl"})
        if (ext == e) return "executables";
    for (const char* e : {"txt", "md", "ini", "inf", "html", "htm", "csv", "kvr", "xml"})
        if (ext == e) return "text";
    for (const char* e : {"bmp", "png", "ico", "jpg", "gif"})
        if (ext == e) return "images";
    return "other";
}

void PrintRow(const char* label, size_t size, size_t packed, size_t gzip, size_t xz, double seconds,
              const char* extra) {
    printf("%-24s %10zu %10zu %10zu %10zu %7.3f %6.3f %7.2f %s\n", label, size, packed, gzip, xz,
           gzip ? static_cast<double>(packed) / gzip : 0.0,
           xz ? static_cast<double>(packed) / xz : 0.0, seconds > 0 ? size / 1e6 / seconds : 0.0,
           extra);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: bench_pack CORPUS_DIR\n");
        return 2;
    }
    const std::string folder = argv[1];
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        fprintf(stderr, "bench_pack: cannot open %s\n", folder.c_str());
        return 2;
    }
    std::vector<std::string> names;
    while (const dirent* e = readdir(dir)) {
        struct stat st;
        if (stat((folder + "/" + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            names.push_back(e->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());

    printf(
        "# pack: one stream per file, every stage combination, smallest kept and checked by\n"
        "# the installer's decoder; gzip and xz: the system tools, `gzip -9 -c` and `xz -9 -c`\n");
    printf("%-24s %10s %10s %10s %10s %7s %6s %7s %s\n", "file", "bytes", "pack", "gzip-9", "xz-9",
           "/gzip", "/xz", "MB/s", "flags");
    std::vector<Result> results;
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        std::vector<uint8_t> data;
        if (!ReadFile(path, &data)) {
            fprintf(stderr, "bench_pack: cannot read %s\n", path.c_str());
            return 1;
        }
        Result r;
        r.name = name;
        r.kind = KindOf(name);
        r.size = data.size();
        CompressStats stats;
        const auto start = std::chrono::steady_clock::now();
        r.packed = CompressBest(data.data(), data.size(), kStagesAuto, &stats).size();
        r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        r.flags = stats.flags;
        if (stats.fallback)
            fprintf(stderr, "bench_pack: %s fell back to a plain copy\n", name.c_str());
        r.gzip = CompressedBy("gzip -9 -c", path);
        r.xz = CompressedBy("xz -9 -c", path);
        char flags[16];
        snprintf(flags, sizeof flags, "0x%02X", r.flags);
        PrintRow(name.c_str(), r.size, r.packed, r.gzip, r.xz, r.seconds, flags);
        fflush(stdout);
        results.push_back(r);
    }

    printf("\n");
    Result total;
    for (const char* kind : {"executables", "text", "images", "other"}) {
        Result sum;
        int files = 0;
        for (const Result& r : results) {
            if (r.kind != std::string(kind)) continue;
            ++files;
            sum.size += r.size;
            sum.packed += r.packed;
            sum.gzip += r.gzip;
            sum.xz += r.xz;
            sum.seconds += r.seconds;
        }
        char label[48];
        snprintf(label, sizeof label, "[%s]", kind);
        char count[24];
        snprintf(count, sizeof count, "%d files", files);
        if (files > 0) PrintRow(label, sum.size, sum.packed, sum.gzip, sum.xz, sum.seconds, count);
        total.size += sum.size;
        total.packed += sum.packed;
        total.gzip += sum.gzip;
        total.xz += sum.xz;
        total.seconds += sum.seconds;
    }
    PrintRow("[all]", total.size, total.packed, total.gzip, total.xz, total.seconds, "");
    printf("pack_bytes=%zu gzip9_bytes=%zu xz9_bytes=%zu pack_vs_gzip9=%.3f pack_MBps=%.2f\n",
           total.packed, total.gzip, total.xz,
           total.gzip ? static_cast<double>(total.packed) / total.gzip : 0.0,
           total.seconds > 0 ? total.size / 1e6 / total.seconds : 0.0);
    return 0;
}
