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
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {}, {}, &args, &error)) return UsageError(argv[0], error);
    if (args.positional.size() != 1) return UsageError(argv[0], "expects exactly one FILE");
    LoadedArchive loaded;
    if (!LoadArchive(args.positional[0], &loaded, &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    int faults = 0;
    int index = 0;
    for (;; ++index) {
        const unsigned char* at = nullptr;
        EntryStatus status = loaded.archive.Locate(index, &at);
        if (status == kEntryEnd) break;
        if (status != kEntryFound) {
            PrintError(argv[0], "entry " + std::to_string(index) + ": " + DescribeStatus(status) +
                                    "; the installer stops here");
            ++faults;
            break;
        }
        ArchiveEntry entry(at);
        std::string fault = CheckData(entry);
        if (!fault.empty()) {
            PrintError(argv[0],
                       "entry " + std::to_string(index) + " " + DisplayName(entry) + ": " + fault);
            ++faults;
        }
    }
    if (faults) return kExitFault;
    printf("%d entries, all sound\n", index);
    return kExitOk;
}
