#include "tools/sfxpack/FolderPacking.h"

#include <stdio.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <system_error>
#include <string>

#include "tools/pack/PackFolder.h"

namespace {

const uint32_t kMaxJobs = 64;

// "12.3 MB": bytes in units of 1000, as rates are given.
std::string ShowBytes(double bytes) {
    const char* units[] = {"B", "KB", "MB", "GB"};
    int unit = 0;
    while (bytes >= 1000 && unit < 3) {
        bytes /= 1000;
        ++unit;
    }
    char text[32];
    snprintf(text, sizeof text, unit ? "%.1f %s" : "%.0f %s", bytes, units[unit]);
    return text;
}

// Files done, bytes and rate on one line that redraws itself, at most ten times a second, and
// only for a person watching: stderr is a terminal and -q was not given. Scripts see no
// change.
class Progress {
  public:
    Progress(const char* command, bool quiet)
        : command_(command), start_(std::chrono::steady_clock::now()),
          enabled_(!quiet && isatty(fileno(stderr)) != 0) {}
    ~Progress() {
        if (shown_) fputc('\n', stderr);
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Show(const PackProgress& p) {
        if (!enabled_) return;
        auto now = std::chrono::steady_clock::now();
        bool last = p.filesDone == p.fileCount;
        if (shown_ && !last && now - drawn_ < std::chrono::milliseconds(100)) return;
        drawn_ = now;
        double seconds = std::chrono::duration<double>(now - start_).count();
        std::string rate = seconds > 0 ? ShowBytes(double(p.bytesDone) / seconds) + "/s" : "";
        std::string line = std::to_string(p.filesDone) + "/" + std::to_string(p.fileCount) +
                           " files, " + ShowBytes(double(p.bytesDone)) + " of " +
                           ShowBytes(double(p.bytesTotal)) + ", " + rate;
        fprintf(stderr, "\rsfxpack %s: %-56s", command_, line.c_str());
        fflush(stderr);
        shown_ = true;
    }

  private:
    const char* command_;
    std::chrono::steady_clock::time_point start_, drawn_;
    bool enabled_;
    bool shown_ = false;
};

} // namespace

int PackFolderForCommand(const char* command, const std::string& folder, const Arguments& args,
                         std::vector<uint8_t>* archive) {
    // An output among the folder's files would either overwrite one of the product's files or,
    // on the next run, be packed into itself; leaving it out silently could drop a product file
    // of that name, so it is refused.
    const std::string* output = OutputPath(args);
    std::error_code ec;
    if (output && *output != "-" &&
        std::filesystem::equivalent(std::filesystem::absolute(*output, ec).parent_path(), folder,
                                    ec))
        return UsageError(command, "the output " + *output + " is inside the folder " + folder +
                                       " it packs: write it elsewhere");
    PackOptions options;
    if (const std::string* method = args.Value("--method")) {
        if (!ParseCount(*method, 3, &options.method))
            return UsageError(command, "--method takes 0, 1, 2 or 3");
    }
    if (const std::string* order = args.Value("--order")) options.orderFile = *order;
    std::string levelError;
    if (!ParseLevel(args, &options.level, &levelError)) return UsageError(command, levelError);
    if (const std::string* jobs = args.Value("--jobs")) {
        if (!ParseCount(*jobs, kMaxJobs, &options.jobs) || options.jobs == 0)
            return UsageError(command, "--jobs takes a number of threads from 1 to 64");
    }
    options.followSymlinks = args.Has("--follow-symlinks");
    options.skipSubfolders = args.Has("--skip-subfolders");
    std::vector<std::string> warnings;
    std::string error;
    if (!SourceDateEpoch(&options.fixedTime, &options.time, &error))
        return UsageError(command, error);
    bool packed;
    {
        Progress progress(command, ReadVerbosity(args) == kQuiet);
        options.progress = [&](const PackProgress& p) { progress.Show(p); };
        packed = PackFolder(folder, options, archive, &warnings, &error);
    }
    for (const std::string& warning : warnings)
        PrintError(command, "warning: " + warning);
    if (!packed) {
        PrintError(command, error);
        return kExitUsage;
    }
    return kExitOk;
}

std::vector<std::string> PackFlags() {
    std::vector<std::string> flags = kLevelFlags;
    flags.insert(flags.end(), kVerbosityFlags.begin(), kVerbosityFlags.end());
    flags.insert(flags.end(), {"--follow-symlinks", "--skip-subfolders"});
    return flags;
}
