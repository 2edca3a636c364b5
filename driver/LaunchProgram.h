// Starts a program of the payload and, when asked, waits for its end while the windows stay
// responsive.
#pragma once
#include <windows.h>

enum LaunchWait {
    kLaunchNoWait = 0,       // started as WinExec would start it: shown, a console if it needs one
    kLaunchWaitDetached = 1, // waited for; a console program gets no console
    kLaunchWaitShown = 2,    // waited for, started as without wait
};

// path: the program file; arguments (both UTF-8, started as UTF-16): none, or what follows its
// quoted path on the command line, of any length Windows allows. 0 when the program cannot be
// started (reported on the process log channel); otherwise 1 without wait, and the program's
// exit code with wait, read once the process has ended (so a real exit code of 259 is not
// mistaken for a running program). *started, when given, tells an exit code of 0 from a program that never started.
// A program that asks for more rights than the installer has (error 740) is not started:
// consent would be asked for a program in a folder the user's unelevated processes can write.
// Such a payload's installer is made to run elevated itself, and then its folder is for
// Administrators only.
unsigned long LaunchProgram(const char* path, const char* arguments, int wait,
                            int* started = nullptr);

// The system calls that start programs; tests replace them.
struct LaunchCalls {
    BOOL(WINAPI* createProcess)
    (LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCWSTR,
     LPSTARTUPINFOW, LPPROCESS_INFORMATION);
};
extern LaunchCalls g_LaunchCalls;
