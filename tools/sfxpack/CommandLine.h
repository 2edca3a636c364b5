// sfxpack's command line: the commands, their options and how they report. A command is one
// function `int CmdXxx(int argc, char** argv)` (argv[0] is the command's own name) plus one row in
// the table of main.cpp; main answers --help for every command from that row.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

enum ExitCode : int {
    kExitOk = 0,
    kExitFault = 1, // the input is damaged or an output could not be written
    kExitUsage = 2, // bad command line or bad input for a writing command
};

// Reading side.
int CmdList(int argc, char** argv);
int CmdInfo(int argc, char** argv);
int CmdVerify(int argc, char** argv);
int CmdExtract(int argc, char** argv);
int CmdDecompress(int argc, char** argv);
int CmdCompress(int argc, char** argv);

// Writing side.
int CmdPack(int argc, char** argv);
int CmdExe(int argc, char** argv);

// A command line split into positionals and the options a command declares. An option is
// written "--name VALUE" or "--name=VALUE" (value options) or "--name" (flags); "--" ends the
// options. Short aliases such as "-o" are declared like any other name.
struct Arguments {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options; // in order given

    bool Has(const std::string& name) const;
    // The last value given for name, or nullptr.
    const std::string* Value(const std::string& name) const;
};

// Returns false with a one-line reason for an unknown option or a value option without value.
bool ParseArguments(int argc, char** argv, const std::vector<std::string>& valueOptions,
                    const std::vector<std::string>& flagOptions, Arguments* out,
                    std::string* error);

// The compression level options: "--level N" and its short forms "-1" to "-9".
extern const char* const kLevelOption;
extern const std::vector<std::string> kLevelFlags;
// The level the last of those options gives, or the default without one; false with a reason
// for a level outside 1 to 9.
bool ParseLevel(const Arguments& args, int* level, std::string* error);

// A non-negative decimal count that fits in `limit`; false for anything else.
bool ParseCount(const std::string& text, uint32_t limit, uint32_t* value);

// -q/--quiet and -v/--verbose, which every command takes: quiet prints nothing but faults and
// warnings; normal adds one summary line on success; verbose adds a line per entry. All of it
// goes to stderr, so that stdout holds only what a command is for.
enum Verbosity { kQuiet, kNormal, kVerbose };
extern const std::vector<std::string> kVerbosityFlags;
// The last of those flags given, or kNormal.
Verbosity ReadVerbosity(const Arguments& args);
// "sfxpack COMMAND: line" on stderr when verbosity is at least least.
void Report(const char* command, Verbosity verbosity, Verbosity least, const std::string& line);
// "N bytes in M (R%)": a size and what it became, for summaries.
std::string SizeRatio(uint64_t from, uint64_t to);
// The run options an installer carries, as "options: wait, cleanup" ("options: none").
void PrintRunOptions(const std::vector<uint8_t>& file);

// Prints "sfxpack COMMAND: reason" and a pointer to --help on stderr; returns kExitUsage.
int UsageError(const char* command, const std::string& reason);
// Prints "sfxpack COMMAND: message" on stderr.
void PrintError(const char* command, const std::string& message);

// Bytes as a readable line: printable ASCII as is, anything else as \xNN.
std::string EscapeBytes(const unsigned char* bytes, size_t length);

// Runs a writing command; memory running out (a large payload in a 32-bit process) or a file
// system error is reported as a fault instead of ending the program.
int RunCatchingFailures(int (*run)(int, char**), int argc, char** argv);
// -o or --output, or nullptr.
const std::string* OutputPath(const Arguments& args);
// SOURCE_DATE_EPOCH, when set and not empty: the time every time stamp written takes, so that
// the same inputs give the same bytes. False for a value that is not a 32-bit count of seconds.
bool SourceDateEpoch(bool* set, int64_t* seconds, std::string* error);

// exe's --elevation, --icon, --version-info, --wait and --cleanup, and SOURCE_DATE_EPOCH; prints
// the reason and returns kExitUsage for a bad one.
struct InstallerOptions;
int ReadInstallerOptions(const char* command, const Arguments& args, InstallerOptions* options);

// The stub exe builds on: --stub or the default one. A signed stub (an installer being given a
// new payload) is refused unless --drop-signature removes its signature. Prints the reason and
// returns kExitUsage when there is none to use.
int LoadStub(const char* command, const Arguments& args, std::vector<uint8_t>* stub,
             std::string* path);

// Where exe looks for the stub when --stub is not given, in this order: beside sfxpack, where
// `cmake --install` puts it, in the win32 build beside sfxpack's host build.
std::vector<std::string> DefaultStubCandidates();
// The first candidate that exists, or false with the places looked at.
bool FindDefaultStub(std::string* path, std::string* error);
