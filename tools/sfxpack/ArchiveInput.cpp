// The archive inside a file, walked once.
#include "tools/sfxpack/ArchiveInput.h"

#include <stdint.h>

#include "tools/pe/PeImage.h"
#include "tools/sfxpack/CommandLine.h"
#include "tools/sfxpack/FileIo.h"

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

int LoadArchiveArgument(int argc, char** argv, LoadedArchive* out, uint64_t* maxEntrySize) {
    Arguments args;
    std::string error;
    std::vector<std::string> options;
    if (maxEntrySize) options.push_back("--max-entry-size");
    if (!ParseArguments(argc, argv, options, {}, &args, &error)) return UsageError(argv[0], error);
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
    while (cursor.Next() == kEntryFound)
        visit(cursor.Index(), cursor.Entry());
    if (cursor.Status() == kEntryEnd) return true;
    *fault = "entry " + std::to_string(cursor.Index()) + ": " + DescribeStatus(cursor.Status());
    return false;
}

namespace {

// Verifying needs only the outcome.
struct DiscardSink : DecodeSink {
    int Take(const unsigned char*, int) override { return 1; }
};

} // namespace

ReadResult StreamEntryData(const ArchiveEntry& entry, uint64_t limit, DecodeSink& sink) {
    if (uint64_t(entry.DecodedSize()) > limit) return {kReadTooLarge, 0};
    return entry.StreamData(sink);
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
            DiscardSink discard;
            ReadResult result = StreamEntryData(entry, limit, discard);
            if (result.status == kReadSound) return;
            fault("entry " + std::to_string(index) + " " + DisplayName(entry) + ": " +
                  DescribeFault(entry, result, limit));
            sound = false;
        },
        &stop);
    if (!whole) fault(stop);
    return whole && sound;
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
