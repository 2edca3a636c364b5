// Where exe finds the stub without --stub: only beside sfxpack itself, never relative to the
// current folder, where anyone could leave a stub.exe.
#include "tools/sfxpack/CommandLine.h"
#include "tools/sfxpack/FileIo.h"

#include "tools/pack/NativeFile.h"
#include "tools/pe/PeHeaderEdits.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

fs::path OwnFolder() {
    std::string self = OwnProgramPath();
    return self.empty() ? fs::path() : fs::path(self).parent_path();
}

} // namespace

std::vector<std::string> DefaultStubCandidates() {
    std::vector<std::string> candidates;
    fs::path own = OwnFolder();
    if (own.empty()) return candidates;
    candidates.push_back((own / "stub.exe").string());
    candidates.push_back((own / SFX_STUB_INSTALL_DIR / "stub.exe").lexically_normal().string());
    candidates.push_back(
        (own / ".." / ".." / "win32" / "bin" / "stub.exe").lexically_normal().string());
    return candidates;
}

bool FindDefaultStub(std::string* path, std::string* error) {
    std::string looked;
    for (const std::string& candidate : DefaultStubCandidates()) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) {
            *path = candidate;
            return true;
        }
        looked += (looked.empty() ? "" : ", ") + candidate;
    }
    *error = "no stub found (looked for " + looked + "); give one with --stub";
    return false;
}

int LoadStub(const char* command, const Arguments& args, std::vector<uint8_t>* stub,
             std::string* path) {
    std::string error;
    if (const std::string* given = args.Value("--stub")) {
        *path = *given;
    } else if (!FindDefaultStub(path, &error)) {
        PrintError(command, error);
        return kExitUsage;
    }
    if (!ReadWholeFile(*path, stub, &error)) {
        PrintError(command, error);
        return kExitUsage;
    }
    if (!IsSignedPe(*stub)) return kExitOk;
    if (!args.Has("--drop-signature")) {
        PrintError(command, *path + " is signed, and a new payload breaks its signature: give "
                                    "--drop-signature, then sign the new installer");
        return kExitUsage;
    }
    if (!DropPeSignature(stub, &error)) {
        PrintError(command, *path + ": " + error);
        return kExitUsage;
    }
    return kExitOk;
}
