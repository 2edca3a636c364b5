// The extraction folder as a place the installer can trust: never reached through a link, the
// temporary folder's own child, owned and writable only by the user, Administrators and SYSTEM
// (only by the last two when the process is elevated), and emptied of what an earlier run
// left, without following anything out of it.
#pragma once
#include <windows.h>
#include <aclapi.h>

#include "driver/InstallFailure.h"

// "<temp>\tmp_qor" into folderPath and "<temp>\tmp_qor\*.*" into pattern, or 0 when either
// would not fit: a cut path names another folder, whose files the cleaning would delete.
int NameFolder(char* folderPath, int capacity, char* pattern, int patternCapacity);

// The extraction folder, held open while the installer uses it: without share-delete, it
// cannot be renamed or swapped for a link meanwhile.
class TrustedFolder {
  public:
    TrustedFolder() = default;
    ~TrustedFolder();
    TrustedFolder(const TrustedFolder&) = delete;
    TrustedFolder& operator=(const TrustedFolder&) = delete;

    // Makes path (the folder; pattern, its "*.*") the current directory once it can be
    // trusted; a link in its place is removed first, and a new folder is made. When it cannot
    // be trusted, a fresh folder "<path>-<16 random hex digits>" is made beside it and path and
    // pattern name that one instead. 0, with failure naming path, when neither can be used.
    int Enter(char* path, int capacity, char* pattern, int patternCapacity,
              InstallFailure& failure);

    // Deletes the files an earlier run left (not folders, nor names beginning with '.'), each
    // only as itself, never through a link. 0, with failure naming it, when one stays, or when
    // a folder "<program>.local" would redirect a program's DLL loading.
    int Clean(const char* pattern, InstallFailure& failure);

    // Deletes path, the file name in this folder, as itself: never through a link, never
    // changing the attributes of a file that has other names. 1 once it is gone.
    int RemoveFile(const char* path, const char* name);
    // Once entered: lets the folder go (the process leaves it for its parent) and deletes it
    // as itself, never through a link. 1 once it is gone; a folder that holds anything stays.
    int RemoveSelf(const char* path);
    int Entered() const { return entered_; }

    // The folder's path as the system resolves it, for telling its own files from others.
    char finalPath[kFailureNameCapacity] = {};

  private:
    // Opens and checks the folder; before that, the fixed folder has a link in its place
    // removed and is made if needed, a fresh one is made and must be new.
    int Open(const char* path, int fresh);
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    int entered_ = 0;
};

// What the installation log's opening shares with the folder's trust checks.
// The final path of an open file or folder as the system resolves it; 0 when it does not fit.
int FinalPath(HANDLE handle, char* path, int capacity);
// Paths compare as Windows compares names: without regard to letter case.
int SamePath(const char* a, const char* b);
// The file or folder open as handle (with DELETE access) goes when its last handle closes.
void DeleteOnClose(HANDLE handle);
// The process token's user (user holds SECURITY_MAX_SID_SIZE bytes) and whether the process
// runs elevated (or as SYSTEM, whose token is elevated too).
int TokenFacts(BYTE* user, int* elevated);
// Who may own the folder and write into it: Administrators and SYSTEM, and the user when not
// elevated (an elevated run's user also runs unelevated processes, which must not reach what
// it starts). CREATOR OWNER stands for whoever makes a file in it: this installer.
int TrustedSid(PSID sid, PSID user, int elevated);
// 1 when object's owner is one of those.
int OwnerTrusted(HANDLE object, PSID user, int elevated);

// The system calls behind the trust checks; tests replace them.
struct TrustCalls {
    BOOL(WINAPI* getTokenInformation)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
    DWORD(WINAPI* getSecurityInfo)
    (HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,
     PSECURITY_DESCRIPTOR*);
    BOOL(WINAPI* createDirectory)(LPCWSTR, LPSECURITY_ATTRIBUTES);
};
extern TrustCalls g_TrustCalls;
