// sfxpack's reading commands on generated archives, run as a user runs them:
// - list on 160,000 small entries, and on twice as many (the walk is one pass: the ratio of the
//   two times stays near 2);
// - verify on one entry of 256 MiB made of runs: peak memory against the decoded size (the
//   decoder holds the entry's block and two working blocks).
// Prints median wall times over 5 runs and the peak resident size; writes into a temp folder.
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "tools/pack/ArchiveWriter.h"

namespace {

void Save(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Small entries as pack makes them: compressed, names inverted, a time in the info text.
std::vector<uint8_t> ManySmallEntries(int count) {
    ArchiveWriter w;
    const std::vector<uint8_t> stream = {0x10, 0x11, 0x01, 0x03, 0x41, 0x42, 0x43, 0xB4};
    for (int i = 0; i < count; ++i)
        w.AddStored("f" + std::to_string(i) + ".txt", "\r\nDWCL=1\r\nDWCH=2", stream, 3,
                    kMethodCompressedInverted);
    return w.TakeBytes();
}

// One entry of size bytes: a literal, then runs of 253 more copies (escape byte 0xFE).
std::vector<uint8_t> OneLargeEntry(int32_t size) {
    std::vector<uint8_t> stream = {0x20, 0xFE, 'a'};
    int32_t left = size - 1;
    while (left > 0) {
        int32_t run = std::min<int32_t>(left, 253);
        stream.push_back(0xFE);
        stream.push_back(uint8_t(run));
        left -= run;
    }
    ArchiveWriter w;
    w.AddStored("large.bin", "", stream, size, kMethodCompressed);
    return w.TakeBytes();
}

struct Run {
    double seconds;
    long maxRssKb;
    int exit;
};

// Runs sfxpack with args, output thrown away.
Run Sfxpack(const std::vector<std::string>& args) {
    fflush(stdout); // or the child would print what is still buffered
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        FILE* null = freopen("/dev/null", "w", stdout);
        (void)null;
        std::vector<char*> argv = {const_cast<char*>(SFXPACK_PATH)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(SFXPACK_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    wait4(pid, &status, 0, &usage);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {seconds, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

double MedianSeconds(const std::vector<std::string>& args, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        Run r = Sfxpack(args);
        if (r.exit != 0) {
            fprintf(stderr, "bench_read: sfxpack exited %d\n", r.exit);
            exit(1);
        }
        times.push_back(r.seconds);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main() {
    char folder[] = "/tmp/bench_read.XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string base = folder;

    const std::string many = base + "/many.arc", twice = base + "/twice.arc";
    std::vector<uint8_t> archive = ManySmallEntries(160000);
    Save(many, archive);
    printf("entries=160000 archive_bytes=%zu\n", archive.size());
    Save(twice, ManySmallEntries(320000));
    double one = MedianSeconds({"list", many}, 5);
    double two = MedianSeconds({"list", twice}, 5);
    printf("list_160k_s=%.3f list_320k_s=%.3f twice_vs_once=%.2f\n", one, two, two / one);

    const int32_t size = 256 << 20;
    const std::string large = base + "/large.arc";
    Save(large, OneLargeEntry(size));
    Run verify = Sfxpack({"verify", large});
    Run listLarge = Sfxpack({"list", large}); // the same process without decoding: a baseline
    double decodedMb = size / 1048576.0;
    double peakMb = verify.maxRssKb / 1024.0, baseMb = listLarge.maxRssKb / 1024.0;
    printf("verify_exit=%d decoded_MB=%.0f verify_peak_MB=%.1f list_peak_MB=%.1f "
           "peak_vs_decoded=%.2f\n",
           verify.exit, decodedMb, peakMb, baseMb, (peakMb - baseMb) / decodedMb);

    // KEEP_ARCHIVES=1 leaves them for a look with /usr/bin/time -v.
    if (getenv("KEEP_ARCHIVES")) {
        printf("archives in %s\n", folder);
    } else {
        for (const std::string& f : {many, twice, large})
            unlink(f.c_str());
        rmdir(folder);
    }
    return verify.exit == 0 ? 0 : 1;
}
