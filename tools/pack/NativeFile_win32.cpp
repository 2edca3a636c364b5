#include "tools/pack/NativeFile.h"

#include <windows.h>

#include <filesystem>

namespace {

HANDLE Handle(NativeFile file) {
    return reinterpret_cast<HANDLE>(file);
}

NativeFile Native(HANDLE handle) {
    return reinterpret_cast<NativeFile>(handle);
}

// One call moves at most this much, whatever the count asked for.
const DWORD kMaxTransfer = 0x10000000;

} // namespace

bool CloseFile(NativeFile file) {
    return CloseHandle(Handle(file)) != 0;
}

NativeFile OpenRegularFile(const std::string& path, bool followLinks, uint64_t* size,
                           uint64_t* fileTime, std::string* error) {
    // A reparse point opened as itself is a link, never its target.
    DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    ScopedFile in(Native(CreateFileW(std::filesystem::u8path(path).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr)));
    if (in.Get() == kNoFile) {
        *error = "cannot open " + path + " (error " + std::to_string(GetLastError()) + ")";
        return kNoFile;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(Handle(in.Get()), &info)) {
        *error = "cannot read " + path;
        return kNoFile;
    }
    if (!followLinks && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        *error = path + " is a symbolic link";
        return kNoFile;
    }
    if (GetFileType(Handle(in.Get())) != FILE_TYPE_DISK ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = path + " is not a regular file";
        return kNoFile;
    }
    *size = uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    *fileTime =
        uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32 | info.ftLastWriteTime.dwLowDateTime;
    return in.Release();
}

long ReadSome(NativeFile file, uint8_t* into, size_t count) {
    DWORD got = 0;
    DWORD ask = count > kMaxTransfer ? kMaxTransfer : DWORD(count);
    return ReadFile(Handle(file), into, ask, &got, nullptr) ? long(got) : -1;
}

NativeFile CreateNewFile(const std::string& name, bool* taken, std::string* error) {
    HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD failure = handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    *taken = failure == ERROR_FILE_EXISTS || failure == ERROR_ALREADY_EXISTS;
    if (failure && !*taken)
        *error = "cannot create " + name + " (error " + std::to_string(failure) + ")";
    return Native(handle);
}

bool WriteBytes(NativeFile file, const uint8_t* bytes, size_t length) {
    while (length > 0) {
        DWORD wrote = 0;
        DWORD ask = length > kMaxTransfer ? kMaxTransfer : DWORD(length);
        if (!WriteFile(Handle(file), bytes, ask, &wrote, nullptr) || wrote == 0) return false;
        bytes += wrote;
        length -= size_t(wrote);
    }
    return true;
}

bool FlushFile(NativeFile file) {
    return FlushFileBuffers(Handle(file)) != 0;
}

bool WriteAll(NativeFile file, const uint8_t* bytes, size_t length) {
    return WriteBytes(file, bytes, length) && FlushFile(file);
}

bool SetWriteTime(NativeFile file, uint64_t fileTime) {
    FILETIME time;
    time.dwLowDateTime = DWORD(fileTime);
    time.dwHighDateTime = DWORD(fileTime >> 32);
    return SetFileTime(Handle(file), nullptr, nullptr, &time) != 0;
}

std::string OwnProgramPath() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length == sizeof path) return std::string();
    return std::string(path, length);
}
