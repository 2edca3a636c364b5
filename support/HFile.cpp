#include "support/HFile.h"

#include "support/FileTimeInfo.h"
#include "support/Text.h"
#include "support/Unicode.h"
#include "support/Win32Forward.h"

H_FILE::~H_FILE() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

int H_FILE::Open(const char* filePath, DWORD disposition, DWORD access) {
    // Opened again, the object lets go of the earlier file rather than leak its handle.
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    TextCopy(path, filePath, sizeof path);
    // Others may read the file while we write it, but neither write nor delete it.
    handle = ForwardCreateFile(filePath, access, FILE_SHARE_READ, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        lastError = GetLastError();
        return 0;
    }
    return 1;
}

DWORD H_FILE::Write(const void* bytes, int length) {
    if (handle == INVALID_HANDLE_VALUE) return 0;
    if (length == -1) length = TextLength(static_cast<const char*>(bytes));
    if (length < 0) {
        // Any other negative count would reach WriteFile as a huge unsigned one.
        bytesWritten = 0;
        lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    if (!WriteFile(handle, bytes, static_cast<DWORD>(length), &bytesWritten, nullptr))
        lastError = GetLastError();
    return bytesWritten;
}

void H_FILE::SetWriteTimeFromInfo(const char* info, int length) {
    uint32_t low, high;
    if (handle == INVALID_HANDLE_VALUE) return;
    if (!InfoWriteTime(info, length, &low, &high)) return;
    FILETIME time = {low, high};
    SetFileTime(handle, nullptr, nullptr, &time); // a file system without times keeps its own
}

char* PathJoin(const char* pattern, const char* name, char* output, int capacity) {
    if (capacity < 1) return nullptr;
    int folder = 0;
    for (int i = 0; pattern[i] != '\0'; ++i) {
        if (pattern[i] == '\\' || pattern[i] == ':') folder = i + 1;
    }
    int nameLength = TextLength(name);
    if (folder > capacity - 1 || nameLength > capacity - 1 - folder) {
        output[0] = '\0';
        return nullptr;
    }
    for (int i = 0; i < folder; ++i)
        output[i] = pattern[i];
    return output + TextCopy(output + folder, name, capacity - folder) + folder;
}

FindSearch::FindSearch(const char* pattern, FoundFile* found)
    : handle_(FindFirstFileW(WideText(pattern), &data_)) {
    if (handle_ != INVALID_HANDLE_VALUE) Take(found);
}

bool FindSearch::Next(FoundFile* found) {
    if (!FindNextFileW(handle_, &data_)) return false;
    Take(found);
    return true;
}

void FindSearch::Take(FoundFile* found) {
    found->attributes = data_.dwFileAttributes;
    Utf16ToUtf8(data_.cFileName, -1, found->name, sizeof found->name);
}

int ForEachFileWith(const char* pattern, void* receiver, FileCallback callback, int userData,
                    const int* stopFlag) {
    FoundFile found;
    FindSearch search(pattern, &found);
    if (!search.Found()) return 0;
    int count = 0;
    do {
        if (stopFlag && *stopFlag) break;
        if (found.name[0] == '.') continue;
        ++count;
        if (found.attributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        // A name cut to fit would name another file; such a name is not handed on.
        char fullPath[kFilePathCapacity];
        if (TextLength(found.name) > kFileNameCapacity - 1) continue;
        if (!PathJoin(pattern, found.name, fullPath, sizeof fullPath)) continue;
        if (!callback(receiver, fullPath, userData)) break;
    } while (search.Next(&found));
    return count;
}
