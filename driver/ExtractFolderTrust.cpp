#include "driver/ExtractFolderTrust.h"

#include <ntsecapi.h>
#include <sddl.h>

#include "driver/InstallCommand.h"
#include "driver/PayloadEntry.h"
#include "support/HFile.h"
#include "support/Text.h"
#include "support/Unicode.h"

TrustCalls g_TrustCalls = {GetTokenInformation, GetSecurityInfo, CreateDirectoryW};

namespace {

// Deletion that ignores the read-only attribute (Windows 10 1809 and later): the class and its
// flags, which the headers show only to builds for those systems.
const FILE_INFO_BY_HANDLE_CLASS kDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
const DWORD kDeleteIgnoringReadOnly = 0x1 | 0x10;

// Closes a handle on every path out.
struct ScopedHandle {
    HANDLE value;
    explicit ScopedHandle(HANDLE handle) : value(handle) {}
    ~ScopedHandle() {
        if (value != INVALID_HANDLE_VALUE && value) CloseHandle(value);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
};

// Frees what the security calls allocate.
struct LocalMemory {
    void* value = nullptr;
    ~LocalMemory() {
        if (value) LocalFree(value);
    }
};

// Opens path itself: a link is opened as the link, not as its target (Wine follows Unix links
// even so; the final path tells).
HANDLE OpenAsItself(const char* path, DWORD access, DWORD share) {
    return CreateFileW(WideText(path), access, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

DWORD AttributesOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return INVALID_FILE_ATTRIBUTES;
    return info.dwFileAttributes;
}

// Only "not found" is gone: a name the system cannot even look up stays, or the passes would
// find it again and again.
int Gone(const char* path) {
    if (GetFileAttributesW(WideText(path)) != INVALID_FILE_ATTRIBUTES) return 0;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A folder that someone else planted, or that someone else may write into (its files inherit
// the entries too, inherit-only ones included), could have a program or a DLL swapped before
// it is started. An entry of a type not known here may grant anything.
int FolderTrusted(HANDLE folder, PSID user, int elevated) {
    const DWORD kReading =
        FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | GENERIC_READ | GENERIC_EXECUTE;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    LocalMemory descriptor;
    if (g_TrustCalls.getSecurityInfo(folder, SE_FILE_OBJECT,
                                     OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                     nullptr, &dacl, nullptr, &descriptor.value) != ERROR_SUCCESS ||
        !owner || !dacl || !TrustedSid(owner, user, elevated))
        return 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) return 0;
        if (ace->Header.AceType == ACCESS_DENIED_ACE_TYPE) continue;
        if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) return 0;
        if ((ace->Mask & ~kReading) && !TrustedSid(&ace->SidStart, user, elevated)) return 0;
    }
    return 1;
}

// The new folder inherits nothing from the temporary folder, which others may write. Elevated,
// Administrators own it and only they and SYSTEM may write; the user may still read.
int CreateFolder(const char* path, PSID user, int elevated) {
    WideText folder(path);
    LocalMemory userText;
    if (!ConvertSidToStringSidA(user, reinterpret_cast<char**>(&userText.value))) return 0;
    char sddl[256];
    TextFormat(sddl, sizeof sddl, "%sD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;%s;;;%s)",
               elevated ? "O:BA" : "", elevated ? "0x1200a9" : "FA",
               static_cast<const char*>(userText.value));
    LocalMemory descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                              &descriptor.value, nullptr))
        return 0;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.value, FALSE};
    return g_TrustCalls.createDirectory(folder, &attributes);
}

// Removes a link that stands where the folder goes, as the link itself; its target is left
// alone. Under Wine a Unix link opens as its target, which is then not touched either.
void RemoveLink(const char* path) {
    ScopedHandle link(
        OpenAsItself(path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE));
    if (link.value == INVALID_HANDLE_VALUE) return;
    DWORD attributes = AttributesOf(link.value);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    DeleteOnClose(link.value);
}

} // namespace

int FinalPath(HANDLE handle, char* path, int capacity) {
    wchar_t wide[kFailureNameCapacity];
    DWORD length = GetFinalPathNameByHandleW(handle, wide, kFailureNameCapacity, 0);
    return length > 0 && length < kFailureNameCapacity && Utf16ToUtf8(wide, -1, path, capacity);
}

// Paths compare as Windows compares names: without regard to letter case.
int SamePath(const char* a, const char* b) {
    return CompareStringOrdinal(WideText(a), -1, WideText(b), -1, TRUE) == CSTR_EQUAL;
}

void DeleteOnClose(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
}

int TokenFacts(BYTE* user, int* elevated) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
    ScopedHandle owned(token);
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } tokenUser;
    TOKEN_ELEVATION elevation = {};
    DWORD got = 0;
    if (!g_TrustCalls.getTokenInformation(token, TokenUser, &tokenUser, sizeof tokenUser, &got) ||
        !g_TrustCalls.getTokenInformation(token, TokenElevation, &elevation, sizeof elevation,
                                          &got) ||
        !CopySid(SECURITY_MAX_SID_SIZE, user, tokenUser.user.User.Sid))
        return 0;
    *elevated = elevation.TokenIsElevated || IsWellKnownSid(user, WinLocalSystemSid);
    return 1;
}

int TrustedSid(PSID sid, PSID user, int elevated) {
    return (!elevated && EqualSid(sid, user)) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
           IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinCreatorOwnerSid);
}

int OwnerTrusted(HANDLE object, PSID user, int elevated) {
    PSID owner = nullptr;
    LocalMemory descriptor;
    return g_TrustCalls.getSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                        nullptr, nullptr, nullptr,
                                        &descriptor.value) == ERROR_SUCCESS &&
           owner && TrustedSid(owner, user, elevated);
}

int NameFolder(char* folderPath, int capacity, char* pattern, int patternCapacity) {
    wchar_t wide[kFolderPathCapacity];
    char temp[kFolderPathCapacity];
    DWORD length = GetTempPathW(kFolderPathCapacity, wide);
    if (length == 0 || length >= kFolderPathCapacity || !Utf16ToUtf8(wide, -1, temp, sizeof temp))
        return 0;
    return JoinFolderFile(temp, "tmp_qor", folderPath, capacity) &&
           JoinFolderFile(folderPath, "*.*", pattern, patternCapacity);
}

TrustedFolder::~TrustedFolder() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

int TrustedFolder::Enter(char* path, int capacity, char* pattern, int patternCapacity,
                         InstallFailure& failure) {
    if (Open(path, 0) && SetCurrentDirectoryW(WideText(path))) return entered_ = 1;
    // The fixed folder is someone else's, open to others, or a link that stays: a fresh folder
    // beside it, under a name nobody can foresee, so nobody can make it first.
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    unsigned long random[2];
    char suffix[24], fresh[kFolderPathCapacity], freshPattern[kFilePathCapacity];
    TextCopy(fresh, path, sizeof fresh);
    if (!RtlGenRandom(random, sizeof random) ||
        !TextFormat(suffix, sizeof suffix, "-%08lx%08lx", random[0], random[1]) ||
        !TextAppendWithin(fresh, capacity < kFolderPathCapacity ? capacity : kFolderPathCapacity,
                          suffix) ||
        !JoinFolderFile(fresh, "*.*", freshPattern, sizeof freshPattern) ||
        TextLength(freshPattern) >= patternCapacity || !Open(fresh, 1) ||
        !SetCurrentDirectoryW(WideText(fresh)))
        return failure.Set(kFailureFolder, path);
    TextCopy(path, fresh, capacity);
    TextCopy(pattern, freshPattern, patternCapacity);
    return entered_ = 1;
}

int TrustedFolder::Open(const char* path, int fresh) {
    BYTE user[SECURITY_MAX_SID_SIZE];
    int elevated = 0;
    if (!TokenFacts(user, &elevated)) return 0;
    WideText folder(path);
    DWORD attributes = fresh ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveLink(path);
        attributes = GetFileAttributesW(folder);
        if (attributes != INVALID_FILE_ATTRIBUTES) return 0;
    }
    // A fresh folder must be new: one already there under its name is not this run's.
    if (attributes == INVALID_FILE_ATTRIBUTES && !CreateFolder(path, user, elevated) &&
        (fresh || GetLastError() != ERROR_ALREADY_EXISTS))
        return 0;
    handle_ = OpenAsItself(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL,
                           FILE_SHARE_READ | FILE_SHARE_WRITE);
    attributes = AttributesOf(handle_);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           FinalPath(handle_, finalPath, sizeof finalPath) &&
           FolderTrusted(handle_, user, elevated);
}

int TrustedFolder::RemoveFile(const char* path, const char* name) {
    {
        ScopedHandle file(OpenAsItself(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
        if (file.value == INVALID_HANDLE_VALUE) return Gone(path);
        // Only the folder's own file: under Wine a Unix link opens as its target, which a
        // deletion would then remove.
        char found[kFailureNameCapacity], expected[kFailureNameCapacity];
        if (!FinalPath(file.value, found, sizeof found) ||
            !JoinFolderFile(finalPath, name, expected, sizeof expected) ||
            !SamePath(found, expected))
            return 0;
        // A read-only file goes without its attribute being touched where the system can;
        // elsewhere the attribute is cleared first, but only on a file with no other name:
        // attributes belong to the file, and another name of it may lie outside the folder.
        DWORD ignoring = kDeleteIgnoringReadOnly;
        if (!SetFileInformationByHandle(file.value, kDispositionInfoEx, &ignoring,
                                        sizeof ignoring)) {
            BY_HANDLE_FILE_INFORMATION info;
            if (GetFileInformationByHandle(file.value, &info) && info.nNumberOfLinks == 1 &&
                (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
                FILE_BASIC_INFO basic = {};                   // times of 0 stay as they are
                basic.FileAttributes = FILE_ATTRIBUTE_NORMAL; // clears read-only
                SetFileInformationByHandle(file.value, FileBasicInfo, &basic, sizeof basic);
            }
            DeleteOnClose(file.value);
        }
    }
    // A file that another program holds open with share-delete is only marked for deletion
    // and stays: that is no removal.
    return Gone(path);
}

int TrustedFolder::RemoveSelf(const char* path) {
    if (!entered_) return 0;
    // The held handle shares no deletion, and neither does the process's current directory.
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    entered_ = 0;
    SetCurrentDirectoryA("..");
    {
        ScopedHandle folder(OpenAsItself(path, DELETE | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
        DWORD attributes = AttributesOf(folder.value);
        char found[kFailureNameCapacity];
        // The folder that was trusted, not what may have taken its name since.
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
            !FinalPath(folder.value, found, sizeof found) || !SamePath(found, finalPath))
            return 0;
        DeleteOnClose(folder.value);
    }
    return Gone(path);
}

namespace {

enum { kCleanBatch = 20 };

// ".local" ends the name: such a folder would redirect the DLL loading of the program it is
// named after.
int IsRedirectFolder(const char* name) {
    int length = TextLength(name);
    return length > 6 && TextSearch(name + length - 6, ".local", 0, 0) == 1;
}

// Up to kCleanBatch names of files in the folder (not folders, nor names beginning with '.'),
// whole, however long; -1 with the name in names[0] when a folder is a redirection. The
// listing is closed before any file is deleted.
int CollectBatch(const char* pattern, char (*names)[sizeof FoundFile::name]) {
    int count = 0;
    FoundFile found;
    FindSearch search(pattern, &found);
    if (!search.Found()) return 0;
    do {
        if (found.name[0] == '.') continue;
        if (found.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!IsRedirectFolder(found.name)) continue;
            TextCopy(names[0], found.name, sizeof found.name);
            return -1;
        }
        TextCopy(names[count++], found.name, sizeof found.name);
    } while (count < kCleanBatch && search.Next(&found));
    return count;
}

} // namespace

int TrustedFolder::Clean(const char* pattern, InstallFailure& failure) {
    char names[kCleanBatch][sizeof FoundFile::name];
    // Every pass removes all it found, or the cleaning stops: the passes end.
    for (int count; (count = CollectBatch(pattern, names)) != 0;) {
        if (count < 0) return failure.Set(kFailureLeftOver, names[0]);
        while (count > 0) {
            const char* name = names[--count];
            char path[kFailureNameCapacity] = {}; // named in the failure even when the join fails
            if (!PathJoin(pattern, name, path, sizeof path) || !RemoveFile(path, name))
                return failure.Set(kFailureLeftOver, path[0] ? path : name);
        }
    }
    return 1;
}
