// A DLL beside the program is found by the default search until the installer restricts the
// search to the system folder.
#include <gtest/gtest.h>

#include <windows.h>

#include "driver/DllSearch.h"

TEST(DllSearch, PlantedDllNoLongerLoaded) {
    HMODULE planted = LoadLibraryA("installer_planted.dll");
    ASSERT_NE(nullptr, planted) << "the test's DLL lies beside the test program";
    FreeLibrary(planted);

    ASSERT_EQ(1, RestrictDllSearch());
    EXPECT_EQ(nullptr, LoadLibraryA("installer_planted.dll"));
    EXPECT_NE(nullptr, LoadLibraryA("version.dll")) << "system DLLs still load";
}
