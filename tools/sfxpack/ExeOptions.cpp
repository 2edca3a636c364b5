// exe's options that shape the installer besides its payload, and the fixed time of
// reproducible builds.
#include "tools/sfxpack/CommandLine.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

#include "tools/pack/Installer.h"
#include "tools/pack/RegularFile.h"
#include "support/RunOptions.h"

namespace {

const uint64_t kMaxIconFileBytes = 16u << 20;

} // namespace

bool SourceDateEpoch(bool* set, int64_t* seconds, std::string* error) {
    const char* text = getenv("SOURCE_DATE_EPOCH");
    *set = text && *text;
    uint32_t value = 0;
    // A PE time stamp holds 32 bits.
    if (*set && !ParseCount(text, 0xFFFFFFFFu, &value)) {
        *error =
            std::string("SOURCE_DATE_EPOCH is not a number of seconds from 0 to 4294967295: ") +
            text;
        return false;
    }
    *seconds = value;
    return true;
}

int ReadInstallerOptions(const char* command, const Arguments& args, InstallerOptions* options) {
    std::string error;
    if (const std::string* level = args.Value("--elevation")) {
        if (!IsExecutionLevel(*level))
            return UsageError(
                command, "--elevation takes asInvoker, highestAvailable or requireAdministrator");
        options->executionLevel = *level;
    }
    if (const std::string* icon = args.Value("--icon")) {
        // A device or a huge file is no icon: it is never read whole, nor waited on.
        RegularFile file;
        std::error_code ec;
        if (!ReadRegularFile(*icon, true, kMaxIconFileBytes, &file, &error))
            // The reader's reason names a missing, unreadable or special file; only the size
            // is said in its own words here.
            error = std::filesystem::exists(*icon, ec) &&
                            std::filesystem::file_size(*icon, ec) > kMaxIconFileBytes && !ec
                        ? *icon + ": larger than an icon file may be (16 MiB)"
                        : "--icon " + error;
        else if (!ParseIconFile(file.bytes, &options->icon, &error))
            error = *icon + ": " + error;
        if (options->icon.empty()) {
            PrintError(command, error);
            return kExitUsage;
        }
    }
    for (const auto& option : args.options)
        if (option.first == "--version-info" &&
            !AddVersionField(option.second, &options->version, &error))
            return UsageError(command, error);
    if (args.Has("--wait")) options->runOptions = kRunWait;
    if (args.Has("--cleanup")) options->runOptions = kRunWait | kRunCleanup;
    int64_t seconds;
    if (!SourceDateEpoch(&options->fixedTime, &seconds, &error)) return UsageError(command, error);
    options->timeStamp = uint32_t(seconds);
    return kExitOk;
}
