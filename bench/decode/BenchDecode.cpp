// Decode throughput on a folder of files: Decompress against zlib's inflate (level 9), memcpy and
// the streaming decoding (DecompressStream),
// each on the same bytes in the same run. Medians of several timed batches per file. Streams come
// from the product's compressor at its default level.
#include "archive/Decompressor.h"
#include "tools/compress/Compressor.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include <zlib.h>

using ByteVector = std::vector<unsigned char>;

namespace {

// The streaming decoding's output, copied into a buffer as a file write would take it.
struct CopySink : DecodeSink {
    unsigned char* to;
    int Take(const unsigned char* bytes, int length) override {
        memcpy(to, bytes, size_t(length));
        to += length;
        return 1;
    }
};

const int kBatches = 7;
const double kBatchSeconds = 0.02;

double Now() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

// Seconds per call of each function: medians over batches of at least kBatchSeconds each. The
// functions take turns batch by batch, so a change in the machine's load touches them alike.
std::vector<double> TimePerCall(const std::vector<std::function<void()>>& calls) {
    std::vector<std::vector<double>> perCall(calls.size());
    for (int batch = 0; batch < kBatches; ++batch) {
        for (size_t f = 0; f < calls.size(); ++f) {
            int count = 0;
            double begin = Now(), elapsed = 0;
            do {
                calls[f]();
                ++count;
                elapsed = Now() - begin;
            } while (elapsed < kBatchSeconds);
            perCall[f].push_back(elapsed / count);
        }
    }
    std::vector<double> medians;
    for (std::vector<double>& times : perCall) {
        std::nth_element(times.begin(), times.begin() + kBatches / 2, times.end());
        medians.push_back(times[kBatches / 2]);
    }
    return medians;
}

double MBps(double bytes, double seconds) {
    return seconds > 0 ? bytes / seconds / 1e6 : 0;
}

// Totals of one class of files: the aggregate is weighted by time, so large files would hide
// what small ones pay per call (working blocks, tables).
struct ClassTotals {
    const char* name;
    double bytes = 0, decode = 0, inflate = 0;
    void Add(double b, double d, double z) { bytes += b, decode += d, inflate += z; }
    void Print() const {
        printf("%s: decode_MBps=%.1f inflate_MBps=%.1f decode_vs_inflate=%.3f\n", name,
               MBps(bytes, decode), MBps(bytes, inflate), decode > 0 ? inflate / decode : 0);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: bench_decode CORPUS_DIR\n");
        return 2;
    }
    std::string folder = argv[argc - 1];
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* e = readdir(dir))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    if (names.empty()) {
        fprintf(stderr, "bench_decode: no files in %s\n", folder.c_str());
        return 1;
    }

    printf("%-22s %9s %9s %9s %6s %9s %9s %9s\n", "file", "bytes", "stream", "zlib9", "flags",
           "decode", "inflate", "memcpy");
    const size_t kSmallFile = 64 * 1024;
    ClassTotals small{"files under 64 KiB"}, large{"files of 64 KiB and more"};
    double totalBytes = 0, decodeTime = 0, inflateTime = 0, copyTime = 0, streamTime = 0;
    size_t totalStream = 0, totalZlib = 0;
    for (const std::string& name : names) {
        std::ifstream in(folder + "/" + name, std::ios::binary);
        ByteVector data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (data.empty()) continue;
        ByteVector stream = CompressBest(data.data(), data.size(), kStagesAuto, kLevelDefault);
        uLongf zlibSize = compressBound(data.size());
        ByteVector zlib(zlibSize);
        if (compress2(zlib.data(), &zlibSize, data.data(), data.size(), 9) != Z_OK) return 1;
        zlib.resize(zlibSize);

        ByteVector out(data.size() + 10);
        int written = Decompress(stream.data(), int(stream.size()), out.data(), int(data.size()));
        if (written != int(data.size()) || memcmp(out.data(), data.data(), data.size()) != 0) {
            fprintf(stderr, "bench_decode: %s does not decode back\n", name.c_str());
            return 1;
        }
        std::vector<double> times = TimePerCall({
            [&] { Decompress(stream.data(), int(stream.size()), out.data(), int(data.size())); },
            [&] {
                uLongf size = out.size();
                uncompress(out.data(), &size, zlib.data(), zlib.size());
            },
            [&] { memcpy(out.data(), data.data(), data.size()); },
            [&] {
                CopySink sink;
                sink.to = out.data();
                DecompressStream(stream.data(), int(stream.size()), int(data.size()), sink, nullptr,
                                 nullptr);
            },
        });
        double d = times[0], z = times[1], c = times[2];
        streamTime += times[3];

        printf("%-22s %9zu %9zu %9zu %6.2X %9.1f %9.1f %9.1f\n", name.c_str(), data.size(),
               stream.size(), zlib.size(), stream[0], MBps(data.size(), d), MBps(data.size(), z),
               MBps(data.size(), c));
        (data.size() < kSmallFile ? small : large).Add(double(data.size()), d, z);
        totalBytes += data.size();
        totalStream += stream.size();
        totalZlib += zlib.size();
        decodeTime += d;
        inflateTime += z;
        copyTime += c;
    }
    printf("%-22s %9.0f %9zu %9zu %6s %9.1f %9.1f %9.1f\n", "total", totalBytes, totalStream,
           totalZlib, "", MBps(totalBytes, decodeTime), MBps(totalBytes, inflateTime),
           MBps(totalBytes, copyTime));
    small.Print();
    large.Print();
    printf("decode_MBps=%.1f inflate_MBps=%.1f memcpy_MBps=%.1f decode_vs_inflate=%.3f\n",
           MBps(totalBytes, decodeTime), MBps(totalBytes, inflateTime), MBps(totalBytes, copyTime),
           inflateTime / decodeTime);
    // The streaming decoding against the one pass, on the same streams.
    printf("stream_MBps=%.1f stream_vs_block=%.3f\n", MBps(totalBytes, streamTime),
           decodeTime / streamTime);
    return 0;
}
