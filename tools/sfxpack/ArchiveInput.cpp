// The archive inside a file, and catching the archive reader's log reports.
#include "tools/sfxpack/ArchiveInput.h"

#include <stdint.h>

#include "tools/pack/PeImage.h"
#include "tools/sfxpack/Commands.h"

bool LoadArchive(const std::string& path, LoadedArchive* out, std::string* error) {
    if (!ReadWholeFile(path, &out->file, error)) return false;
    size_t offset = 0;
    size_t length = out->file.size();
    if (length >= 2 && out->file[0] == 'M' && out->file[1] == 'Z') {
        std::string reason;
        if (!FindPayloadInPe(out->file, &offset, &length, &reason)) {
            *error = path + ": " + reason;
            return false;
        }
    }
    // The reader counts in signed 32 bits, as the installer does.
    if (length > INT32_MAX) {
        *error = path + ": archive too large";
        return false;
    }
    out->archive.start = out->file.data() + offset;
    out->archive.length = static_cast<int32_t>(length);
    return true;
}

int LoadArchiveArgument(int argc, char** argv, LoadedArchive* out) {
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, {}, {}, &args, &error)) return UsageError(argv[0], error);
    if (args.positional.size() != 1) return UsageError(argv[0], "expects exactly one FILE");
    if (!LoadArchive(args.positional[0], out, &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    return kExitOk;
}

bool WalkEntries(const PayloadArchive& archive,
                 const std::function<void(int index, const ArchiveEntry& entry)>& visit,
                 std::string* fault) {
    for (int index = 0;; ++index) {
        const unsigned char* at = nullptr;
        EntryStatus status = archive.Locate(index, &at);
        if (status == kEntryEnd) return true;
        if (status != kEntryFound) {
            *fault = "entry " + std::to_string(index) + ": " + DescribeStatus(status);
            return false;
        }
        visit(index, ArchiveEntry(at));
    }
}

std::string LogRecorder::Joined() const {
    std::string line;
    for (const std::string& text : texts) {
        if (!line.empty()) line += "; ";
        for (unsigned char c : text) {
            if (c < 0x80) {
                line += static_cast<char>(c);
            } else if (c >= 0xA0) { // Windows-1252 agrees with Latin-1 here
                line += static_cast<char>(0xC0 | c >> 6);
                line += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                line += EscapeBytes(&c, 1);
            }
        }
    }
    return line;
}

std::string DisplayName(const ArchiveEntry& entry) {
    std::vector<char> name(static_cast<size_t>(entry.NameLength()) + 1);
    entry.CopyName(name.data(), static_cast<int>(name.size()));
    return EscapeBytes(reinterpret_cast<const unsigned char*>(name.data()), name.size() - 1);
}

const char* DescribeStatus(EntryStatus status) {
    switch (status) {
    case kEntryFound:
        return "found";
    case kEntryEnd:
        return "end of archive";
    case kEntryBadCheckword:
        return "checkword mismatch";
    case kEntryDamaged:
        return "damaged entry header";
    }
    return "unknown";
}
