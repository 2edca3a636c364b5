// sfxpack verify: every entry read and decoded, each fault named.
#include <stdio.h>

#include "archive/CtMem.h"
#include "archive/Decompressor.h"
#include "tools/sfxpack/ArchiveInput.h"
#include "tools/sfxpack/Commands.h"

namespace {

// Empty when the entry's data comes out as exactly its decoded size, else what is wrong.
std::string CheckData(const ArchiveEntry& entry) {
    int32_t decoded = entry.DecodedSize();
    uint32_t method = entry.Method();
    if (method > 3) return "method word " + std::to_string(method) + " delivers no data";
    if (method < 2) {
        if (entry.StoredDataLength() == decoded) return "";
        return "stores " + std::to_string(entry.StoredDataLength()) +
               " bytes for a decoded size of " + std::to_string(decoded);
    }
    CtMem block(decoded + 10);
    if (!block.data) return "no memory for " + std::to_string(decoded) + " bytes";
    int written = 0;
    int code = 0;
    if (!DecompressDetailed(entry.StoredData(), entry.StoredDataLength(), block.data, decoded,
                            &written, &code))
        return "decoding error code " + std::to_string(code);
    if (written != decoded)
        return "decodes to " + std::to_string(written) + " bytes, not " + std::to_string(decoded);
    return "";
}

} // namespace

int CmdVerify(int argc, char** argv) {
    LoadedArchive loaded;
    if (int exit = LoadArchiveArgument(argc, argv, &loaded)) return exit;
    int entries = 0;
    int faults = 0;
    std::string stop;
    bool whole = WalkEntries(
        loaded.archive,
        [&](int index, const ArchiveEntry& entry) {
            ++entries;
            std::string fault = CheckData(entry);
            if (fault.empty()) return;
            PrintError(argv[0],
                       "entry " + std::to_string(index) + " " + DisplayName(entry) + ": " + fault);
            ++faults;
        },
        &stop);
    if (!whole) PrintError(argv[0], stop + "; the installer stops here");
    if (faults || !whole) return kExitFault;
    printf("%d entries, all sound\n", entries);
    return kExitOk;
}
