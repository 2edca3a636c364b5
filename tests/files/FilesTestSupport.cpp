#include "tests/files/FilesTestSupport.h"

#include <algorithm>

ScratchFolder::ScratchFolder() {
    static int counter = 0;
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof temp, temp);
    std::string base(temp, n < sizeof temp ? n : 0);
    if (base.empty() || base.back() != '\\') base += '\\';
    path_ = base + "sfx_files_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++counter);
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    RemoveTree(path_);
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

void PutFile(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

std::string FileBytes(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(h);
    return bytes;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint64_t WriteTimeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

static std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

TestPayload TestPayload::Of(const std::vector<TestEntry>& entries) {
    TestPayload payload;
    for (const TestEntry& entry : entries)
        payload.Add(entry);
    return payload;
}

void TestPayload::Add(const TestEntry& entry) {
    writer_.Add(entry.name, entry.info, Bytes(entry.data), entry.method);
}

void TestPayload::AddWithBadCheckword(const TestEntry& entry) {
    std::vector<uint8_t> bytes =
        EncodeEntry(entry.name, entry.info, StoreData(Bytes(entry.data), entry.method),
                    static_cast<int32_t>(entry.data.size()), entry.method);
    bytes[4] ^= 1;
    writer_.AddRaw(bytes);
}

void TestPayload::AddHuge(const std::string& name, const std::string& data) {
    // An unchanged copy (flags 0), long enough that a stream could reach the size.
    std::string stored = '\0' + data;
    stored.resize(0x7FFFF000 / MaxDecodedSize(1) + 1, 'x');
    AddStored(name, stored, 0x7FFFF000, kMethodCompressed);
}

void TestPayload::AddStored(const std::string& name, const std::string& stored, int32_t decodedSize,
                            uint32_t method) {
    writer_.AddStored(name, "", Bytes(stored), decodedSize, method);
}

PayloadArchive TestPayload::View() const {
    PayloadArchive archive;
    archive.start = writer_.Bytes().data();
    archive.length = static_cast<int32_t>(writer_.Bytes().size());
    return archive;
}
