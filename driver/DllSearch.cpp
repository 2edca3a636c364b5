#include "driver/DllSearch.h"

DllSearchCalls g_DllSearchCalls = {GetProcAddress, SetDllDirectoryA};

int RestrictDllSearch() {
    typedef BOOL(WINAPI * FlagsCall)(DWORD flags);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return 0;
    // Through the generic function type: FARPROC's own signature is not the call's.
    FlagsCall setDirectories = reinterpret_cast<FlagsCall>(reinterpret_cast<void (*)()>(
        g_DllSearchCalls.getProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDirectories) return setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) ? 1 : 0;
    FlagsCall setSearchMode = reinterpret_cast<FlagsCall>(
        reinterpret_cast<void (*)()>(g_DllSearchCalls.getProcAddress(kernel, "SetSearchPathMode")));
    return setSearchMode && g_DllSearchCalls.setDllDirectory("") &&
                   setSearchMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE |
                                 BASE_SEARCH_PATH_PERMANENT)
               ? 1
               : 0;
}
