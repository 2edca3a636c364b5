// Keeps the installer from loading DLLs out of the folder it was started from.
#pragma once
#include <windows.h>

// Restricts the DLL search to the system folder (SetDefaultDllDirectories, looked up at run time
// since older systems lack it); without it, takes the current folder out of the DLL search
// (SetDllDirectoryA("")) and puts the current folder last in the search for files (the safe
// search mode). 1 when restricted either way, 0 when neither can be: the installer must stop.
int RestrictDllSearch();

// The calls behind the restriction; tests replace them to play a system that lacks one.
struct DllSearchCalls {
    FARPROC(WINAPI* getProcAddress)(HMODULE, LPCSTR);
    BOOL(WINAPI* setDllDirectory)(LPCSTR);
};
extern DllSearchCalls g_DllSearchCalls;
