// Why a run of the installer stopped: filled where the failure happens, reported once when the
// sequence ends. The kind is also the installer's exit code.
#pragma once

enum InstallFailureKind {
    kFailureNone = 0,       // installed, refused by the user, or nothing to install
    kFailureDialog = 1,     // a dialog of the sequence could not be made
    kFailureFolder = 2,     // the extraction folder cannot be named, made, entered or trusted
    kFailureLeftOver = 3,   // something in the folder could not be cleared away
    kFailureEntry = 4,      // an entry could not be read or written in full
    kFailureStart = 5,      // a program of the payload could not be started
    kFailurePreInstall = 6, // the pre-install program ended with an error-severity code
    kFailureDllSearch = 7,  // the system cannot keep DLLs beside the installer from loading
};

// With the wait option: the installer's own failures are kOwnExitCodes + their kind (the
// customer bit of a Windows code: no system or crash code has it), a run that installed nothing
// (no install information, or the pre-install program declined) kExitNothingInstalled, and the
// user's refusal the code deployment tools know as "cancelled by the user".
enum : unsigned long {
    kOwnExitCodes = 0x20000000ul,
    kExitNothingInstalled = kOwnExitCodes + 8,
    kExitCancelled = 1602,
};

// The installer's exit code: without wait, the failure's kind; with wait, kOwnExitCodes + kind
// for a failure, else outcome (install.exe's exit code, or what the run came to).
unsigned long InstallExitCode(int kind, int wait, unsigned long outcome);

// Room for a path in the folder: the folder (256) and a name Windows can list (260).
enum { kFailureNameCapacity = 520 };

struct InstallFailure {
    int kind = kFailureNone;
    unsigned long code = 0; // a Windows error or an exit code, where it helps
    char name[kFailureNameCapacity] = {};

    // Keeps the first failure, the cause; what follows is its consequence. Returns 0, the
    // result of the operation that failed.
    int Set(int failureKind, const char* failureName, unsigned long failureCode = 0);
};

// The text that names the failure, for the user or the log.
void DescribeFailure(const InstallFailure& failure, char* text, int capacity);
