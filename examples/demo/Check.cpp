// The demo's pre-install check (AutoInst_Verif.exe): the installer runs it from the extraction
// folder and waits. It writes what it found to verif.log there and answers with its exit code:
// 1 lets the installer go on with install.exe, 0 stops it.
#include <windows.h>

#include "support/Text.h"

namespace {

enum { kNeededMegabytes = 1 };

void WriteLog(const char* text) {
    HANDLE file = CreateFileA("verif.log", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, TextLength(text), &written, nullptr);
    CloseHandle(file);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ULARGE_INTEGER available = {};
    int known = GetDiskFreeSpaceExA(nullptr, &available, nullptr, nullptr);
    unsigned long megabytes = known ? static_cast<unsigned long>(available.QuadPart >> 20) : 0;
    int proceed = megabytes >= kNeededMegabytes ? 1 : 0;
    char text[256];
    TextFormat(text, sizeof text,
               "Espace libre : %lu Mo (au moins %d Mo n\xE9"
               "cessaires)\r\nR\xE9"
               "sultat : %s\r\nCode de sortie : %d\r\n",
               megabytes, kNeededMegabytes,
               proceed ? "installation possible"
                       : "installation refus\xE9"
                         "e",
               proceed);
    WriteLog(text);
    return proceed;
}
