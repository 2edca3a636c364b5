// The archive inside a file, walked once.
#include "tools/sfxpack/ArchiveInput.h"

#include <stdint.h>

#include "archive/EntryData.h"
#include "support/CodePage1252.h"
#include "tools/pe/PeImage.h"
#include "tools/sfxpack/CommandLine.h"
#include "tools/sfxpack/FileIo.h"

bool LoadArchive(const std::string& path, LoadedArchive* out, std::string* error) {
    // An installer is its payload and a stub of far less than a payload's room again.
    bool read = path == "-" ? ReadStandardInput(2 * kMaxPayloadBytes, &out->file, error)
                            : ReadWholeFile(path, &out->file, error);
    if (!read) return false;
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

bool MaxEntrySize(const std::string* text, uint64_t* limit, std::string* error) {
    *limit = kMaxEntryBytes;
    if (!text) return true;
    uint32_t value = 0;
    if (!ParseCount(*text, INT32_MAX, &value)) {
        *error = "--max-entry-size takes a count of bytes from 0 to " + std::to_string(INT32_MAX);
        return false;
    }
    *limit = value;
    return true;
}

int LoadArchiveArgument(int argc, char** argv, LoadedArchive* out, Verbosity* verbosity,
                        uint64_t* maxEntrySize) {
    Arguments args;
    std::string error;
    std::vector<std::string> options;
    if (maxEntrySize) options.push_back("--max-entry-size");
    if (!ParseArguments(argc, argv, options, kVerbosityFlags, &args, &error))
        return UsageError(argv[0], error);
    *verbosity = ReadVerbosity(args);
    if (args.positional.size() != 1) return UsageError(argv[0], "expects exactly one FILE");
    if (maxEntrySize && !MaxEntrySize(args.Value("--max-entry-size"), maxEntrySize, &error))
        return UsageError(argv[0], error);
    if (!LoadArchive(args.positional[0], out, &error)) {
        PrintError(argv[0], error);
        return kExitFault;
    }
    return kExitOk;
}

bool WalkEntries(const PayloadArchive& archive,
                 const std::function<void(int index, const ArchiveEntry& entry)>& visit,
                 std::string* fault) {
    EntryCursor cursor = archive.Entries();
    std::string previous;
    while (cursor.Next() == kEntryFound) {
        visit(cursor.Index(), cursor.Entry());
        previous = DisplayName(cursor.Entry());
    }
    if (cursor.Status() == kEntryEnd) return true;
    if (cursor.Index() == 0 && cursor.Status() == kEntryDamaged) {
        *fault = "not an archive or an installer: no entry header reads at its start (a "
                 "damaged first entry reads the same)";
        return false;
    }
    // A failed entry's own name cannot be trusted: it is placed by the one before it.
    *fault = "entry " + std::to_string(cursor.Index()) +
             (previous.empty() ? " (the first)" : " (the one after " + previous + ")") + ": " +
             DescribeStatus(cursor.Status());
    return false;
}

std::string ArchiveSummary(const PayloadArchive& archive) {
    int entries = 0;
    uint64_t decoded = 0;
    std::string stop;
    WalkEntries(
        archive,
        [&](int, const ArchiveEntry& entry) {
            ++entries;
            decoded += uint64_t(entry.DecodedSize());
        },
        &stop);
    return std::to_string(entries) + (entries == 1 ? " entry, " : " entries, ") +
           SizeRatio(decoded, uint64_t(archive.length));
}

void ReportEntries(const char* command, Verbosity verbosity, const PayloadArchive& archive) {
    if (verbosity < kVerbose) return;
    std::string stop;
    WalkEntries(
        archive,
        [&](int index, const ArchiveEntry& entry) {
            Report(
                command, verbosity, kVerbose,
                "entry " + std::to_string(index) + " " + DisplayName(entry) + ": " +
                    SizeRatio(uint64_t(entry.DecodedSize()), uint64_t(entry.StoredDataLength())) +
                    ", method " + std::to_string(entry.Method()));
        },
        &stop);
}

bool CheckEntries(const PayloadArchive& archive, uint64_t limit,
                  const std::function<void(const std::string&)>& fault, int* entries) {
    *entries = 0;
    bool sound = true;
    std::string stop;
    bool whole = WalkEntries(
        archive,
        [&](int index, const ArchiveEntry& entry) {
            ++*entries;
            EntryData data(entry, limit);
            if (data.Sound()) return;
            fault("entry " + std::to_string(index) + " " + DisplayName(entry) + ": " +
                  DescribeFault(entry, data.result, limit));
            sound = false;
        },
        &stop);
    if (!whole) fault(stop);
    return whole && sound;
}

namespace {

std::string EntryNameBytes(const ArchiveEntry& entry) {
    std::vector<char> name(static_cast<size_t>(entry.NameLength()) + 1);
    entry.CopyName(name.data(), static_cast<int>(name.size()));
    return std::string(name.data(), name.size() - 1);
}

} // namespace

std::string DisplayName(const ArchiveEntry& entry) {
    std::string name = EntryNameBytes(entry);
#ifdef _WIN32
    return EscapeBytes(reinterpret_cast<const unsigned char*>(name.data()), name.size());
#else
    std::string shown;
    for (char c : name) {
        unsigned char b = static_cast<unsigned char>(c);
        uint32_t code = Cp1252ToCode(b);
        if (code >= 0xA0 || (code >= 0x80 && Cp1252Assigned(b))) {
            char utf8[4];
            shown.append(utf8, size_t(Utf8Put(code, utf8)));
        } else {
            shown += EscapeBytes(&b, 1);
        }
    }
    return shown;
#endif
}

std::string NameOnDisk(const char* name) {
#ifdef _WIN32
    return name;
#else
    std::string converted;
    for (const char* p = name; *p; ++p) {
        char utf8[4];
        converted.append(utf8, size_t(Utf8Put(Cp1252ToCode(static_cast<unsigned char>(*p)), utf8)));
    }
    return converted;
#endif
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

std::string DescribeFault(const ArchiveEntry& entry, ReadResult result, uint64_t limit) {
    std::string decoded = std::to_string(entry.DecodedSize());
    switch (result.status) {
    case kReadDecodeError:
        return "decoding error code " + std::to_string(result.code);
    case kReadSizeMismatch:
        if (result.code < 0)
            return "decoded size " + decoded + " is more than its " +
                   std::to_string(entry.Data().length) + " stored bytes can give";
        if (DataCompressed(entry.Method()))
            return "decodes to " + std::to_string(result.code) + " bytes, not " + decoded;
        return "stores " + std::to_string(result.code) + " bytes for a decoded size of " + decoded;
    case kReadNoMemory:
        return "no memory for " + decoded + " bytes";
    case kReadNoData:
        return "method word " + std::to_string(entry.Method()) + " delivers no data";
    case kReadTooLarge:
        return "decoded size " + decoded + " is above the limit of " + std::to_string(limit) +
               " bytes (--max-entry-size)";
    default:
        return "unreadable";
    }
}
