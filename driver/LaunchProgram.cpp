#include "driver/LaunchProgram.h"

#include "archive/CtMem.h"
#include "driver/InstallCommand.h"
#include "framework/Application.h"
#include "support/LogChannel.h"
#include "support/Text.h"
#include "support/Unicode.h"

namespace {

// The handles of a started process; both are closed on every path.
struct ProcessHandles {
    PROCESS_INFORMATION info = {};
    ~ProcessHandles() {
        if (info.hThread) CloseHandle(info.hThread);
        if (info.hProcess) CloseHandle(info.hProcess);
    }
};

void ReportStartFailure(const char* call, DWORD error) {
    TextFormat(g_ReportBuffer, sizeof g_ReportBuffer, "Erreur %s %lu", call, error);
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

LaunchCalls g_LaunchCalls = {CreateProcessW};

unsigned long LaunchProgram(const char* path, const char* arguments, int wait, int* started) {
    if (started) *started = 0;
    // The command line repeats the path in quotes, so the program's own argument parsing sees
    // its name whole even when a folder holds a blank.
    const char* args = arguments ? arguments : "";
    int capacity = TextLength(path) + TextLength(args) + 4;
    CtMem command(capacity);
    if (!command.data ||
        !QuoteCommand(path, args, reinterpret_cast<char*>(command.data), capacity)) {
        ReportStartFailure("CreateProcess", ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    // CreateProcessW may write into the command line: it gets a buffer of its own.
    WideText widePath(path), wideCommand(reinterpret_cast<char*>(command.data));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.wShowWindow = SW_SHOW;
    if (wait != kLaunchWaitDetached) startup.dwFlags = STARTF_USESHOWWINDOW;
    ProcessHandles process;
    if (!g_LaunchCalls.createProcess(widePath, wideCommand.Units(), nullptr, nullptr, FALSE,
                                     wait == kLaunchWaitDetached ? DETACHED_PROCESS : 0, nullptr,
                                     nullptr, &startup, &process.info)) {
        ReportStartFailure("CreateProcess", GetLastError());
        return 0;
    }
    if (started) *started = 1;
    char text[kProgramPathCapacity + 48];
    TextFormat(text, sizeof text, "Programme lanc\u00e9 : %s", path);
    ReportToLog(kLogRun, text);
    if (!wait) return 1;
    DWORD code = WaitForExit(process.info.hProcess);
    TextFormat(text, sizeof text, "Fin du programme : %s, code %lu (0x%08lX)", path, code, code);
    ReportToLog(kLogRun, text);
    return code;
}
