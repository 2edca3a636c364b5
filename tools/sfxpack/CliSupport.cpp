// Helpers shared by sfxpack's commands: argument splitting, messages and whole-file I/O.
#include "tools/sfxpack/CommandLine.h"
#include "tools/sfxpack/FileIo.h"

#include "tools/pack/NativeFile.h"
#include "tools/compress/Compressor.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <exception>
#include <filesystem>
#include <new>
#include <random>
#include <system_error>

bool Arguments::Has(const std::string& name) const {
    return Value(name) != nullptr;
}

const std::string* Arguments::Value(const std::string& name) const {
    const std::string* found = nullptr;
    for (const auto& option : options) {
        if (option.first == name) found = &option.second;
    }
    return found;
}

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names) {
        if (n == name) return true;
    }
    return false;
}

} // namespace

bool ParseArguments(int argc, char** argv, const std::vector<std::string>& valueOptions,
                    const std::vector<std::string>& flagOptions, Arguments* out,
                    std::string* error) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            out->positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        size_t equals = arg.find('=');
        bool inlineValue = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
        if (inlineValue) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        if (Contains(flagOptions, name) && !inlineValue) {
            out->options.emplace_back(name, "");
        } else if (Contains(valueOptions, name)) {
            if (!inlineValue) {
                if (i + 1 >= argc) {
                    *error = "option " + name + " needs a value";
                    return false;
                }
                value = argv[++i];
            }
            out->options.emplace_back(name, value);
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

const char* const kLevelOption = "--level";
const std::vector<std::string> kLevelFlags = {"-1", "-2", "-3", "-4", "-5", "-6", "-7", "-8", "-9"};

bool ParseLevel(const Arguments& args, int* level, std::string* error) {
    *level = kLevelDefault;
    for (const auto& option : args.options) {
        uint32_t value = 0;
        if (option.first == kLevelOption) {
            if (!ParseCount(option.second, kLevelBest, &value) || value < kLevelFastest) {
                *error = "--level takes 1 (fastest) to 9 (smallest)";
                return false;
            }
        } else if (Contains(kLevelFlags, option.first)) {
            value = static_cast<uint32_t>(option.first[1] - '0');
        } else {
            continue;
        }
        *level = static_cast<int>(value);
    }
    return true;
}

bool ParseCount(const std::string& text, uint32_t limit, uint32_t* value) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > limit) return false;
    *value = static_cast<uint32_t>(v);
    return true;
}

const std::vector<std::string> kVerbosityFlags = {"-q", "--quiet", "-v", "--verbose"};

Verbosity ReadVerbosity(const Arguments& args) {
    Verbosity verbosity = kNormal;
    for (const auto& option : args.options) {
        if (option.first == "-q" || option.first == "--quiet") verbosity = kQuiet;
        if (option.first == "-v" || option.first == "--verbose") verbosity = kVerbose;
    }
    return verbosity;
}

void Report(const char* command, Verbosity verbosity, Verbosity least, const std::string& line) {
    if (verbosity >= least) PrintError(command, line);
}

std::string SizeRatio(uint64_t from, uint64_t to) {
    char ratio[32];
    snprintf(ratio, sizeof ratio, "%.1f%%", from ? 100.0 * double(to) / double(from) : 100.0);
    return std::to_string(from) + " bytes in " + std::to_string(to) + " (" + ratio + ")";
}

int UsageError(const char* command, const std::string& reason) {
    fprintf(stderr, "sfxpack %s: %s (try 'sfxpack %s --help')\n", command, reason.c_str(), command);
    return kExitUsage;
}

void PrintError(const char* command, const std::string& message) {
    fprintf(stderr, "sfxpack %s: %s\n", command, message.c_str());
}

std::string EscapeBytes(const unsigned char* bytes, size_t length) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        unsigned char b = bytes[i];
        // The backslash is escaped too, so that every \x in the output is an escape.
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out += static_cast<char>(b);
        } else {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
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

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        *error = "cannot open " + path + ": " + strerror(errno);
        return false;
    }
    bytes->clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + got);
    bool failed = ferror(f) != 0;
    fclose(f);
    if (failed) *error = "cannot read " + path;
    return !failed;
}

bool ReadStandardInput(uint64_t limit, std::vector<uint8_t>* bytes, std::string* error) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    bytes->clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, stdin)) > 0) {
        if (got > limit - bytes->size()) {
            *error = "standard input holds more than " + std::to_string(limit) + " bytes";
            return false;
        }
        bytes->insert(bytes->end(), chunk, chunk + got);
    }
    if (ferror(stdin)) *error = "cannot read standard input";
    return !ferror(stdin);
}

namespace {

// A new file under an unpredictable name beside the output, created exclusively so that nothing
// planted there (a link above all) is ever opened. Removed again unless Keep() is called.
class TemporaryFile {
  public:
    ~TemporaryFile() {
        file_.Close();
        if (!kept_ && !path_.empty()) {
            std::error_code ec;
            std::filesystem::remove(path_, ec);
        }
    }

    // A failure names target, the user's path, not the temporary name.
    bool Create(const std::string& target, std::string* error) {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            char suffix[32];
            snprintf(suffix, sizeof suffix, ".sfxpack-%08x%08x.tmp", unsigned(random()),
                     unsigned(random()));
            std::string name = target + suffix;
            bool taken = false;
            file_.Reset(CreateNewFile(name, &taken, error));
            if (file_.Get() != kNoFile) {
                path_ = name;
                return true;
            }
            if (!taken) {
                *error = "cannot write " + target + ": " + CreateFailure(target, *error);
                return false;
            }
        }
        *error = "cannot create a temporary file beside " + target;
        return false;
    }

    bool Write(const uint8_t* bytes, size_t length) { return WriteAll(file_.Get(), bytes, length); }
    bool SetLastWriteTime(const FileTime& time) {
        return SetWriteTime(file_.Get(), uint64_t(time.high) << 32 | time.low);
    }
    bool Close() { return file_.Close(); }
    const std::string& Path() const { return path_; }
    void Keep() { kept_ = true; }

  private:
    std::string path_;
    bool kept_ = false;
    ScopedFile file_;
};

} // namespace

std::string CreateFailure(const std::string& target, const std::string& systemError) {
    std::error_code ec;
    std::filesystem::path parent = std::filesystem::path(target).parent_path();
    if (parent.empty()) parent = ".";
    if (!std::filesystem::exists(parent, ec)) return "no folder " + parent.string();
    if (!std::filesystem::is_directory(parent, ec)) return parent.string() + " is not a folder";
    // The system's words come last in the creation's message, after the temporary name.
    size_t reason = systemError.rfind(": ");
    return "cannot create a file in " + parent.string() +
           (reason == std::string::npos ? "" : " (" + systemError.substr(reason + 2) + ")");
}

bool WriteFileAtomically(const std::string& path, const uint8_t* bytes, size_t length,
                         const FileTime* time, std::string* error) {
    TemporaryFile temporary;
    if (!temporary.Create(path, error)) return false;
    if (!temporary.Write(bytes, length)) {
        *error = "cannot write " + path;
        return false;
    }
    if (time && !temporary.SetLastWriteTime(*time)) {
        *error = "cannot set the time of " + path;
        return false;
    }
    if (!temporary.Close()) {
        *error = "cannot write " + path;
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary.Path(), path, ec);
    if (ec) {
        *error = "cannot write " + path + ": " + ec.message();
        return false;
    }
    temporary.Keep();
    return true;
}

namespace {

// Through stdio: standard output, or an existing special file or link, which is written as it
// is instead of being replaced.
bool WriteThrough(FILE* out, const std::string& shown, const uint8_t* bytes, size_t length,
                  std::string* error) {
    bool written = fwrite(bytes, 1, length, out) == length && fflush(out) == 0;
    if (!written) *error = "cannot write " + shown + ": " + strerror(errno);
    return written;
}

} // namespace

bool WriteOutput(const std::string& path, const uint8_t* bytes, size_t length, std::string* error) {
    namespace fs = std::filesystem;
    if (path == "-") {
        if (isatty(fileno(stdout))) {
            *error = "standard output is a terminal: give -o a file, or redirect it";
            return false;
        }
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        return WriteThrough(stdout, "standard output", bytes, length, error);
    }
    std::error_code ec;
    fs::file_status own = fs::symlink_status(path, ec);
    if (ec || own.type() == fs::file_type::not_found || fs::is_regular_file(own))
        return WriteFileAtomically(path, bytes, length, nullptr, error);
    fs::file_status target = fs::status(path, ec);
    // A link, FIFO or character device (/dev/stdout, /dev/null) is the user's way to send the
    // output somewhere: renaming over it would replace it for everyone.
    bool through = fs::is_symlink(own) ? fs::is_regular_file(target) || fs::is_fifo(target) ||
                                             fs::is_character_file(target)
                                       : fs::is_fifo(own) || fs::is_character_file(own);
    if (!through) {
        *error = path + (fs::is_directory(target) ? " is a folder"
                         : target.type() == fs::file_type::not_found
                             ? " is a link to nothing"
                             : " is not a file sfxpack writes (a "
                               "regular file, FIFO, character "
                               "device or a link to one)");
        return false;
    }
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) {
        *error = "cannot open " + path + ": " + strerror(errno);
        return false;
    }
    bool written = WriteThrough(out, path, bytes, length, error);
    if (fclose(out) != 0 && written) {
        *error = "cannot write " + path + ": " + strerror(errno);
        written = false;
    }
    return written;
}
