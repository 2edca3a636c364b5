// The e2e tests' stand-in for a payload program (pre-install check or install.exe). It appends
// to the log named by PROBE_LOG what the installer gave it (its path, folder and UTF-16 command
// line, written as UTF-8), then exits with the code written in exitcode.txt beside it (0 when that
// file is absent), after sleeping the milliseconds written in sleep.txt beside it, if any.
// With PROBE_HOLD naming a file, it holds that file open instead (others may read it, not
// delete it), writes "<file>.held" once it does, and lets go when "<file>.release" appears or
// after a minute.
#include <windows.h>

namespace {

void Put(HANDLE log, const char* text) {
    DWORD written = 0;
    WriteFile(log, text, lstrlenA(text), &written, nullptr);
}

void PutLine(HANDLE log, const char* key, const wchar_t* value) {
    static char text[65536];
    if (!WideCharToMultiByte(CP_UTF8, 0, value, -1, text, sizeof text, nullptr, nullptr))
        text[0] = '\0';
    Put(log, key);
    Put(log, text);
    Put(log, "\n");
}

// The number written in the file name beside the program, or 0.
DWORD ReadNumber(const wchar_t* selfPath, const wchar_t* name) {
    wchar_t path[MAX_PATH + 16];
    lstrcpynW(path, selfPath, MAX_PATH);
    wchar_t* slash = path;
    for (wchar_t* p = path; *p; ++p)
        if (*p == '\\') slash = p + 1;
    lstrcpyW(slash, name);
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char digits[16] = {};
    DWORD got = 0;
    ReadFile(file, digits, sizeof digits - 1, &got, nullptr);
    CloseHandle(file);
    DWORD code = 0;
    for (DWORD i = 0; i < got && digits[i] >= '0' && digits[i] <= '9'; ++i)
        code = code * 10 + (digits[i] - '0');
    return code;
}

// Holds path open as another program would; returns the exit code.
int Hold(const char* path) {
    HANDLE held =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
    char marker[MAX_PATH + 16];
    wsprintfA(marker, "%s.held", path);
    CloseHandle(CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    wsprintfA(marker, "%s.release", path);
    for (int i = 0; i < 600 && GetFileAttributesA(marker) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    CloseHandle(held);
    return 0;
}

} // namespace

int main() {
    char holdPath[MAX_PATH] = {};
    if (GetEnvironmentVariableA("PROBE_HOLD", holdPath, MAX_PATH)) return Hold(holdPath);
    wchar_t wideSelf[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, wideSelf, MAX_PATH);
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    DWORD code = ReadNumber(wideSelf, L"exitcode.txt");
    Sleep(ReadNumber(wideSelf, L"sleep.txt"));

    char logPath[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("PROBE_LOG", logPath, MAX_PATH)) return static_cast<int>(code);
    HANDLE log = INVALID_HANDLE_VALUE;
    // Another probe may be writing; retry for a while.
    for (int attempt = 0; attempt < 100 && log == INVALID_HANDLE_VALUE; ++attempt) {
        log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0,
                          nullptr);
        if (log == INVALID_HANDLE_VALUE) Sleep(20);
    }
    if (log == INVALID_HANDLE_VALUE) return static_cast<int>(code);
    wchar_t number[16];
    wsprintfW(number, L"%lu", code);
    Put(log, "[probe]\n");
    PutLine(log, "self=", wideSelf);
    PutLine(log, "cwd=", folder);
    PutLine(log, "cmdline=", GetCommandLineW());
    PutLine(log, "exit=", number);
    CloseHandle(log);
    return static_cast<int>(code);
}
