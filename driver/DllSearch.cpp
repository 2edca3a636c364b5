#include "driver/DllSearch.h"

#include <windows.h>

int RestrictDllSearch() {
    typedef BOOL(WINAPI * SetDirectories)(DWORD flags);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return 0;
    // Through the generic function type: FARPROC's own signature is not the call's.
    SetDirectories set = reinterpret_cast<SetDirectories>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    return set && set(LOAD_LIBRARY_SEARCH_SYSTEM32) ? 1 : 0;
}
