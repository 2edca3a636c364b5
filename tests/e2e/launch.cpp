// Starts an installer the way the e2e tests need it: with TEMP and TMP pointing where the test
// wants, PROBE_LOG set, and an exact command line (Wine's own argument quoting would change it).
// The job file holds four lines of UTF-8: temporary folder (empty: unchanged), probe log, program
// path, command tail; a fifth line "elevated" keeps the launcher's own elevated token. Otherwise
// the program runs with the user's limited token, as a double-click starts it on Windows (Wine runs
// every program elevated). Prints the program's full 32-bit exit code and how many of the
// processes it started were still running when it ended (itself included until it is gone), then
// waits until every process it started, grandchildren included, has ended, so the test reads a
// finished probe log.
#include <windows.h>
#include <stdio.h>

namespace {

enum { kJobCapacity = 4096, kLines = 5 };

// Splits the job file into its lines in place (CR LF or LF).
int SplitLines(char* text, char** lines) {
    int count = 0;
    char* start = text;
    for (char* p = text;; ++p) {
        if (*p == '\n' || *p == '\0') {
            const bool end = *p == '\0';
            char* stop = p;
            if (stop > start && stop[-1] == '\r') --stop;
            *stop = '\0';
            if (count < kLines) lines[count++] = start;
            if (end) break;
            start = p + 1;
        }
    }
    return count;
}

// Names the processes still in the job, for the test's failure message.
void ReportLeftOver(HANDLE jobObject) {
    struct {
        JOBOBJECT_BASIC_PROCESS_ID_LIST list;
        ULONG_PTR more[63];
    } ids = {};
    ids.list.NumberOfAssignedProcesses = 64;
    if (!QueryInformationJobObject(jobObject, JobObjectBasicProcessIdList, &ids, sizeof ids,
                                   nullptr))
        return;
    for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                     static_cast<DWORD>(ids.list.ProcessIdList[i]));
        char name[MAX_PATH] = "?";
        DWORD size = MAX_PATH;
        if (process) {
            QueryFullProcessImageNameA(process, 0, name, &size);
            CloseHandle(process);
        }
        printf("left=%s\n", name);
    }
}

int Fail(const char* what) {
    printf("error=%s %lu\n", what, GetLastError());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        printf("usage: launch JOBFILE\n");
        return 2;
    }
    static char job[kJobCapacity];
    HANDLE file =
        CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Fail("job file");
    DWORD got = 0;
    ReadFile(file, job, kJobCapacity - 1, &got, nullptr);
    CloseHandle(file);
    job[got] = '\0';
    char* lines[kLines] = {};
    if (SplitLines(job, lines) < 3) return Fail("job lines");
    const char* tail = lines[3] ? lines[3] : "";

    static wchar_t temp[kJobCapacity], log[kJobCapacity], program[kJobCapacity],
        wideTail[kJobCapacity];
    MultiByteToWideChar(CP_UTF8, 0, lines[0], -1, temp, kJobCapacity);
    MultiByteToWideChar(CP_UTF8, 0, lines[1], -1, log, kJobCapacity);
    MultiByteToWideChar(CP_UTF8, 0, lines[2], -1, program, kJobCapacity);
    MultiByteToWideChar(CP_UTF8, 0, tail, -1, wideTail, kJobCapacity);
    if (temp[0]) {
        SetEnvironmentVariableW(L"TEMP", temp);
        SetEnvironmentVariableW(L"TMP", temp);
    }
    SetEnvironmentVariableW(L"PROBE_LOG", log);

    // Built by hand: wsprintf stops at 1024 characters, and the tests pass longer tails.
    static wchar_t command[kJobCapacity + 8];
    lstrcpyW(command, L"\"");
    lstrcatW(command, program);
    lstrcatW(command, L"\"");
    if (*wideTail) {
        lstrcatW(command, L" ");
        lstrcatW(command, wideTail);
    }

    // The first window of a Wine session starts the session's desktop process: let it start
    // here, outside the job, so the job holds only what the installer started.
    GetDesktopWindow();

    HANDLE jobObject = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(jobObject, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    HANDLE token = nullptr, primary = nullptr;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD size = 0;
    if (!lines[4] || lstrcmpA(lines[4], "elevated")) {
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) ||
            !GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &size) ||
            !DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                              TokenPrimary, &primary))
            return Fail("limited token");
    }
    if (!(primary ? CreateProcessAsUserW(primary, program, command, nullptr, nullptr, FALSE,
                                         CREATE_SUSPENDED, nullptr, nullptr, &startup, &process)
                  : CreateProcessW(program, command, nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                                   nullptr, nullptr, &startup, &process)))
        return Fail("start");
    AssignProcessToJobObject(jobObject, process.hProcess);
    ResumeThread(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    // What the installer left running when it ended.
    QueryInformationJobObject(jobObject, JobObjectBasicAccountingInformation, &accounting,
                              sizeof accounting, nullptr);
    printf("exit=%lu\nrunning=%lu\n", code, accounting.ActiveProcesses);
    fflush(stdout);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    for (int i = 0; i < 600; ++i) {
        QueryInformationJobObject(jobObject, JobObjectBasicAccountingInformation, &accounting,
                                  sizeof accounting, nullptr);
        if (accounting.ActiveProcesses == 0) break;
        Sleep(50);
    }
    printf("remaining=%lu\n", accounting.ActiveProcesses);
    if (accounting.ActiveProcesses) ReportLeftOver(jobObject);
    CloseHandle(jobObject);
    return 0;
}
