#include "driver/LaunchProgram.h"

#include <windows.h>

#include "driver/InstallCommand.h"
#include "framework/Application.h"
#include "support/LogChannel.h"
#include "support/Text.h"

namespace {

// The two handles CreateProcessA gives; both are closed on every path.
struct ProcessHandles {
    PROCESS_INFORMATION info = {};
    ~ProcessHandles() {
        if (info.hThread) CloseHandle(info.hThread);
        if (info.hProcess) CloseHandle(info.hProcess);
    }
};

void ReportStartFailure(DWORD error) {
    TextFormat(g_ReportBuffer, sizeof g_ReportBuffer, "Erreur CreateProcess %lu", error);
    ReportToLog(kLogProcess, g_ReportBuffer);
}

// Waits on the process itself; window messages that arrive meanwhile are dispatched by the
// application, so handlers may run nested here.
DWORD WaitForExit(HANDLE process) {
    for (;;) {
        DWORD wake = g_CurrentApp ? QS_ALLINPUT : 0;
        DWORD signalled = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, wake);
        if (signalled != WAIT_OBJECT_0 + 1) break;
        g_CurrentApp->PumpAndWait(0);
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) return 0;
    return code;
}

} // namespace

unsigned long LaunchProgram(const char* path, const char* arguments, int wait) {
    // The command line repeats the path in quotes, so the program's own argument parsing sees
    // its name whole even when a folder holds a blank.
    char command[kProgramCommandCapacity];
    if (!QuoteCommand(path, arguments, command, sizeof command)) {
        ReportStartFailure(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.wShowWindow = SW_SHOW;
    ProcessHandles process;
    if (!CreateProcessA(path, command, nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                        &startup, &process.info)) {
        ReportStartFailure(GetLastError());
        return 0;
    }
    if (!wait) return 1;
    return WaitForExit(process.info.hProcess);
}
