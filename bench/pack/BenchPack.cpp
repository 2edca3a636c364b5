// bench_pack CORPUS_DIR [LEVEL...]: every file packed as one stream at each level (all of them
// unless some are named), side by side with the system's `gzip -9` and `xz -9` of the same file.
// Prints a table per file and per kind of file for the default level, one line per level, then
// the summary line of the default level. Speeds are bytes per second of the packing thread's
// own processor time, so other work on the machine does not lower them.
#include "tools/compress/Compressor.h"

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
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

double ThreadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
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

// Packs every file at one level into results (sizes and the compressors' figures already set).
void PackAll(const std::vector<std::vector<uint8_t>>& files, int level,
             std::vector<Result>* results) {
    for (size_t i = 0; i < files.size(); ++i) {
        Result& r = (*results)[i];
        CompressStats stats;
        const double start = ThreadSeconds();
        r.packed =
            CompressBest(files[i].data(), files[i].size(), kStagesAuto, level, &stats).size();
        r.seconds = ThreadSeconds() - start;
        r.flags = stats.flags;
        if (stats.fallback)
            fprintf(stderr, "bench_pack: %s fell back to a plain copy at level %d\n",
                    r.name.c_str(), level);
    }
}

Result Total(const std::vector<Result>& results) {
    Result total;
    for (const Result& r : results) {
        total.size += r.size;
        total.packed += r.packed;
        total.gzip += r.gzip;
        total.xz += r.xz;
        total.seconds += r.seconds;
    }
    return total;
}

double Ratio(size_t a, size_t b) {
    return b ? static_cast<double>(a) / static_cast<double>(b) : 0.0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> levels;
    for (int i = 2; i < argc; ++i) {
        const int level = atoi(argv[i]);
        if (level < kLevelFastest || level > kLevelBest) argc = 0;
        levels.push_back(level);
    }
    if (argc < 2) {
        fprintf(stderr, "usage: bench_pack CORPUS_DIR [LEVEL...]  (levels %d to %d)\n",
                kLevelFastest, kLevelBest);
        return 2;
    }
    if (levels.empty())
        for (int level = kLevelFastest; level <= kLevelBest; ++level)
            levels.push_back(level);
    // The default level comes last, so that its tables and summary close the output.
    levels.erase(std::remove(levels.begin(), levels.end(), kLevelDefault), levels.end());
    levels.push_back(kLevelDefault);

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

    std::vector<std::vector<uint8_t>> files(names.size());
    std::vector<Result> results(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string path = folder + "/" + names[i];
        if (!ReadFile(path, &files[i])) {
            fprintf(stderr, "bench_pack: cannot read %s\n", path.c_str());
            return 1;
        }
        Result& r = results[i];
        r.name = names[i];
        r.kind = KindOf(names[i]);
        r.size = files[i].size();
        r.gzip = CompressedBy("gzip -9 -c", path);
        r.xz = CompressedBy("xz -9 -c", path);
    }

    printf("# pack: one stream per file, the stage combinations the level tries, smallest kept\n"
           "# and checked by the installer's decoder; gzip and xz: the system tools, `gzip -9 -c`\n"
           "# and `xz -9 -c`; MB/s: per second of the packing thread's processor time\n");
    for (int level : levels) {
        PackAll(files, level, &results);
        const Result total = Total(results);
        printf("level=%d pack_bytes=%zu pack_vs_gzip9=%.3f pack_MBps=%.2f\n", level, total.packed,
               Ratio(total.packed, total.gzip),
               total.seconds > 0 ? total.size / 1e6 / total.seconds : 0.0);
        fflush(stdout);
    }

    printf("\n# level %d (the default)\n", kLevelDefault);
    printf("%-24s %10s %10s %10s %10s %7s %6s %7s %s\n", "file", "bytes", "pack", "gzip-9", "xz-9",
           "/gzip", "/xz", "MB/s", "flags");
    for (const Result& r : results) {
        char flags[16];
        snprintf(flags, sizeof flags, "0x%02X", r.flags);
        PrintRow(r.name.c_str(), r.size, r.packed, r.gzip, r.xz, r.seconds, flags);
    }
    printf("\n");
    for (const char* kind : {"executables", "text", "images", "other"}) {
        std::vector<Result> ofKind;
        for (const Result& r : results)
            if (r.kind == std::string(kind)) ofKind.push_back(r);
        if (ofKind.empty()) continue;
        const Result sum = Total(ofKind);
        char label[48];
        snprintf(label, sizeof label, "[%s]", kind);
        char count[24];
        snprintf(count, sizeof count, "%zu files", ofKind.size());
        PrintRow(label, sum.size, sum.packed, sum.gzip, sum.xz, sum.seconds, count);
    }
    const Result total = Total(results);
    PrintRow("[all]", total.size, total.packed, total.gzip, total.xz, total.seconds, "");
    printf("pack_bytes=%zu gzip9_bytes=%zu xz9_bytes=%zu pack_vs_gzip9=%.3f pack_MBps=%.2f\n",
           total.packed, total.gzip, total.xz, Ratio(total.packed, total.gzip),
           total.seconds > 0 ? total.size / 1e6 / total.seconds : 0.0);
    return 0;
}
