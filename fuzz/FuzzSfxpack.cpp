// sfxpack's reading commands end to end on any bytes: list, verify, then extract into a fresh
// folder. Whatever the archive says, nothing is written outside that folder, and nothing there
// but plain files.
#include "FuzzCheck.h"

#include "tools/sfxpack/CommandLine.h"

#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

char g_root[] = "/tmp/fuzz_sfxpack.XXXXXX";

void RemoveRoot() {
    std::error_code ec;
    fs::remove_all(g_root, ec);
}

// Holds the one folder "work" that each run makes afresh; removed at exit.
fs::path Root() {
    static bool made = false;
    if (!made) {
        FUZZ_CHECK(mkdtemp(g_root));
        atexit(RemoveRoot);
        made = true;
    }
    return fs::path(g_root);
}

// Runs a command with its messages thrown away: they are not the fuzzer's.
int Run(int (*command)(int, char**), std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    fflush(stdout);
    fflush(stderr);
    int savedOut = dup(1), savedErr = dup(2);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    int exit = command(int(args.size()), argv.data());
    fflush(stdout);
    fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(null);
    close(savedOut);
    close(savedErr);
    return exit;
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const fs::path work = Root() / "work";
    const fs::path out = work / "out";
    const std::string archive = (work / "input.arc").string();
    fs::remove_all(work);
    fs::create_directories(out);
    {
        std::ofstream file(archive, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes), std::streamsize(size));
    }
    // A small limit keeps each run's memory and output small; larger sizes are refused.
    const std::string limit = "--max-entry-size=1048576";
    int list = Run(CmdList, {"list", archive});
    int verify = Run(CmdVerify, {"verify", archive, limit});
    int extract = Run(CmdExtract, {"extract", archive, "-C", out.string(), limit});
    FUZZ_CHECK(list == kExitOk || list == kExitFault);
    FUZZ_CHECK(verify == kExitOk || verify == kExitFault);
    FUZZ_CHECK(extract == kExitOk || extract == kExitFault);
    // Every entry written means every entry sound; every entry sound means a whole walk.
    if (extract == kExitOk) FUZZ_CHECK(verify == kExitOk);
    if (verify == kExitOk) FUZZ_CHECK(list == kExitOk);

    FUZZ_CHECK(Names(Root()) == std::vector<std::string>{"work"});
    for (const std::string& name : Names(work))
        FUZZ_CHECK(name == "input.arc" || name == "out");
    for (const fs::directory_entry& e : fs::directory_iterator(out))
        FUZZ_CHECK(e.is_regular_file() && !e.is_symlink());
    return 0;
}
