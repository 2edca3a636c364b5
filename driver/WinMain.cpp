// The installer's entry point.
#include <windows.h>

#include "driver/Appli.h"
#include "driver/DllSearch.h"
#include "driver/HostWindow.h"
#include "driver/InstallFailure.h"
#include "driver/PayloadSurvey.h"
#include "support/RunOptions.h"
#include "framework/Palette.h"
#include "support/Win32Forward.h"

// Before the start-up objects and the entry code, any of which may load a DLL: a DLL planted
// beside a downloaded installer is never loaded. Where the system can keep none away, nothing
// runs at all (the run options, read from the image alone, say how the failure is told).
__attribute__((constructor(101))) static void RestrictDllSearchFirst() {
    if (!RestrictDllSearch())
        ExitProcess(InstallExitCode(kFailureDllSearch, ReadRunOptions() & kRunWait, 0));
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand) {
    // The command line is not copied: it lives as long as the process, and the install sequence
    // hands it whole to install.exe.
    APPLI application("QorExe", instance, previousInstance, commandLine, showCommand);
    if (PALETTE::s_appIcon) DestroyIcon(PALETTE::s_appIcon);
    PALETTE::s_appIcon = ForwardLoadIcon(instance, "G_ICON");
    application.Start();
    return application.exitCode;
}
