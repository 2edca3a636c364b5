// sfxpack pack: a payload archive from the files of a folder.
#include "tools/sfxpack/Commands.h"

#include <stdio.h>
#include <unistd.h>

#include <chrono>
#include <exception>
#include <new>

#include "tools/pack/PackFolder.h"

namespace {

const uint32_t kMaxJobs = 64;

// Shows which entry is being encoded once packing has taken more than a second, and only to a
// person watching a terminal.
class Progress {
  public:
    explicit Progress(const char* command)
        : command_(command), start_(std::chrono::steady_clock::now()),
          enabled_(isatty(fileno(stderr)) != 0) {}
    ~Progress() {
        if (shown_) fputc('\n', stderr);
    }

    void Show(size_t index, size_t count, const std::string& name) {
        if (!enabled_ || std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1))
            return;
        fprintf(stderr, "\rsfxpack %s: %zu/%zu %-63s", command_, index + 1, count, name.c_str());
        shown_ = true;
    }

  private:
    const char* command_;
    std::chrono::steady_clock::time_point start_;
    bool enabled_;
    bool shown_ = false;
};

} // namespace

int PackFolderForCommand(const char* command, const std::string& folder, const Arguments& args,
                         std::vector<uint8_t>* archive) {
    PackOptions options;
    if (const std::string* method = args.Value("--method")) {
        if (!ParseCount(*method, 3, &options.method))
            return UsageError(command, "--method takes 0, 1, 2 or 3");
    }
    if (const std::string* order = args.Value("--order")) options.orderFile = *order;
    if (const std::string* jobs = args.Value("--jobs")) {
        if (!ParseCount(*jobs, kMaxJobs, &options.jobs) || options.jobs == 0)
            return UsageError(command, "--jobs takes a number of threads from 1 to 64");
    }
    std::vector<std::string> warnings;
    std::string error;
    if (!SourceDateEpoch(&options.fixedTime, &options.time, &error))
        return UsageError(command, error);
    bool packed;
    {
        Progress progress(command);
        options.progress = [&](size_t i, size_t n, const std::string& name) {
            progress.Show(i, n, name);
        };
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

const std::string* OutputPath(const Arguments& args) {
    const std::string* output = args.Value("-o");
    return output ? output : args.Value("--output");
}

int RunCatchingFailures(int (*run)(int, char**), int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        PrintError(argv[0], "out of memory");
    } catch (const std::exception& e) {
        PrintError(argv[0], e.what());
    }
    return kExitFault;
}

namespace {

int Pack(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {"-o", "--output", "--method", "--order", "--jobs"}, {}, &args,
                        &error))
        return UsageError(argv[0], error);
    if (args.positional.size() != 1) return UsageError(argv[0], "expects exactly one DIR");
    const std::string* output = OutputPath(args);
    if (!output) return UsageError(argv[0], "needs -o OUT");
    std::vector<uint8_t> archive;
    int status = PackFolderForCommand(argv[0], args.positional[0], args, &archive);
    if (status != kExitOk) return status;
    if (!WriteFileAtomically(*output, archive.data(), archive.size(), nullptr, &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    return kExitOk;
}

} // namespace

int CmdPack(int argc, char** argv) {
    return RunCatchingFailures(Pack, argc, argv);
}
