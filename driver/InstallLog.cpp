#include "driver/InstallLog.h"

#include "driver/ExtractFolderTrust.h"
#include "driver/InstallCommand.h"
#include "support/Text.h"
#include "support/Unicode.h"

namespace {

// The path as given, made whole and with long names, as a final path reads once "\\?\" (or
// "\\?\UNC") is taken away from it.
int SamePlace(HANDLE file, const char* path) {
    char found[kFailureNameCapacity], given[kFailureNameCapacity];
    wchar_t full[kFailureNameCapacity], longer[kFailureNameCapacity];
    if (!FinalPath(file, found, sizeof found)) return 0;
    DWORD length = GetFullPathNameW(WideText(path), kFailureNameCapacity, full, nullptr);
    if (length == 0 || length >= kFailureNameCapacity) return 0;
    length = GetLongPathNameW(full, longer, kFailureNameCapacity);
    if (length == 0 || length >= kFailureNameCapacity) return 0;
    if (!Utf16ToUtf8(longer, -1, given, sizeof given)) return 0;
    const char* resolved = found;
    if (TextPrefixEqual(8, found, "\\\\?\\UNC\\")) {
        resolved = found + 6;
        found[6] = '\\';
    } else if (TextPrefixEqual(4, found, "\\\\?\\")) {
        resolved = found + 4;
    }
    return SamePath(resolved, given);
}

// A SYSTEM run may be told to write where other users can: the file it appends to must be the
// one named, a file of its own, and no one else's.
int LogFileTrusted(HANDLE file, const char* path) {
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        info.nNumberOfLinks != 1)
        return 0;
    BYTE user[SECURITY_MAX_SID_SIZE];
    int elevated = 0;
    if (!TokenFacts(user, &elevated)) return 0;
    return !elevated || (OwnerTrusted(file, user, elevated) && SamePlace(file, path));
}

} // namespace

InstallLog::InstallLog(HANDLE file) : LogChannel(kLogAll), file_(file) {}

InstallLog::~InstallLog() {
    CloseHandle(file_);
}

void InstallLog::Put(const char* bytes, int length) {
    DWORD written = 0;
    WriteFile(file_, bytes, static_cast<DWORD>(length), &written, nullptr);
}

void InstallLog::ReceiveText(const char* text) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char line[256];
    int length = TextFormat(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear,
                            now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    // One line per report: the line breaks of a message become blanks.
    for (const char* at = text;; ++at) {
        if (!*at || length == sizeof line) {
            Put(line, length);
            length = 0;
            if (!*at) break;
        }
        line[length++] = static_cast<unsigned char>(*at) < 32 ? ' ' : *at;
    }
    Put("\r\n", 2);
}

InstallLog* OpenInstallLog(const char* commandLine) {
    char path[MAX_PATH];
    if (!FindLogPath(commandLine, path, sizeof path)) return nullptr;
    // Appending only: never truncated, nor written anywhere but at its end. Never shared for
    // deletion: while the run writes, the file cannot be deleted, renamed or swapped. Shared for
    // writing, since install.exe gets the same command line and may append to the same log.
    HANDLE file =
        CreateFileW(WideText(path), FILE_APPEND_DATA | READ_CONTROL | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    if (!LogFileTrusted(file, path)) {
        CloseHandle(file);
        return nullptr;
    }
    return new InstallLog(file);
}
