// A DLL beside the program is found by the default search until the installer restricts the
// search to the system folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "driver/DllSearch.h"

TEST(DllSearch, PlantedDllNoLongerLoaded) {
    HMODULE planted = LoadLibraryA("installer_planted.dll");
    ASSERT_NE(nullptr, planted) << "the test's DLL lies beside the test program";
    FreeLibrary(planted);

    ASSERT_EQ(1, RestrictDllSearch());
    EXPECT_EQ(nullptr, LoadLibraryA("installer_planted.dll"));
    EXPECT_NE(nullptr, LoadLibraryA("version.dll")) << "system DLLs still load";
}

// A system without SetDefaultDllDirectories (Windows 7 before its update), played here since
// Wine has it: the current folder leaves the DLL search and the safe search mode holds for
// good; without those calls too, the restriction fails and the installer must stop.
const char* g_missing[2];
std::vector<std::string> g_calls;

BOOL WINAPI RecordSearchMode(DWORD flags) {
    g_calls.push_back("mode " + std::to_string(flags));
    return TRUE;
}

FARPROC WINAPI Lacking(HMODULE module, LPCSTR name) {
    for (const char* missing : g_missing)
        if (missing && !lstrcmpA(name, missing)) return nullptr;
    if (!lstrcmpA(name, "SetSearchPathMode"))
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(RecordSearchMode));
    return GetProcAddress(module, name);
}

BOOL WINAPI RecordDllDirectory(LPCSTR path) {
    g_calls.push_back(std::string("directory \"") + path + "\"");
    return TRUE;
}

TEST(DllSearch, WithoutDefaultDirectoriesTheOlderRestrictionsOrNone) {
    const std::string safe = "mode " + std::to_string(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE |
                                                      BASE_SEARCH_PATH_PERMANENT);
    const struct {
        const char* missing;
        int restricted;
        std::vector<std::string> calls;
    } rows[] = {
        {nullptr, 1, {"directory \"\"", safe}},
        {"SetSearchPathMode", 0, {}},
    };
    DllSearchCalls saved = g_DllSearchCalls;
    g_DllSearchCalls = {Lacking, RecordDllDirectory};
    for (const auto& row : rows) {
        g_missing[0] = "SetDefaultDllDirectories";
        g_missing[1] = row.missing;
        g_calls.clear();
        EXPECT_EQ(row.restricted, RestrictDllSearch()) << (row.missing ? row.missing : "");
        EXPECT_EQ(row.calls, g_calls);
    }
    g_DllSearchCalls = saved;
}
