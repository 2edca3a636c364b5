#include <gtest/gtest.h>
#include <windows.h>
#include "framework/Application.h"
#include "framework/Dialog.h"
#include "framework/StartupObjects.h"

namespace {

template <typename Function> void* Address(Function function) {
    return reinterpret_cast<void*>(function);
}

void* Exported(const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(nullptr), name));
}

TEST(Exports, CallbacksAreExportedUnderReadableNames) {
    EXPECT_EQ(Address(FENETRE::PasseWndProc), Exported("FENETRE::PasseWndProc"));
    EXPECT_EQ(Address(M_DIALOG::PasseDlgProc), Exported("M_DIALOG::PasseDlgProc"));
    EXPECT_EQ(Address(M_DIALOG::PasseSheetDlgProc), Exported("M_DIALOG::PasseSheetDlgProc"));
    EXPECT_EQ(Address(PERIODE::TimerProc), Exported("PERIODE::TimerProc"));
    EXPECT_EQ(Address(PALETTE::CommDlgHook), Exported("PALETTE::CommDlgHook"));
}

TEST(StartUpObjects, ExistBeforeTheTestsRun) {
    EXPECT_STREQ("Groupe des BMPs", g_BitmapGroup.name);
    EXPECT_EQ(1, g_BitmapGroup.isStatic);
    EXPECT_STREQ("QorPassLogMess", g_LogReceiver.name);
    EXPECT_EQ(RegisterWindowMessageA("QorPassLogMess"), g_LogReceiver.messageNumber);
    EXPECT_EQ(0x40000, g_GlobalMemZone.size);
    EXPECT_NE(nullptr, g_GlobalMemZone.data);
    EXPECT_NE(nullptr, PALETTE::s_dialogBrush);
}

} // namespace
