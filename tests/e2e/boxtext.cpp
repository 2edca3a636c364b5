// Reads a message box for the e2e tests, which xdotool cannot do: waits up to 20 seconds for a
// visible dialog whose caption is the argument, prints each text it shows as a line
// "text=<hex of its UTF-16LE units>", then closes it with OK. Exit code 1 when none came.
#include <windows.h>
#include <stdio.h>

namespace {

const char* g_caption;
HWND g_box;

BOOL CALLBACK FindBox(HWND window, LPARAM) {
    char name[256];
    char title[256];
    if (!IsWindowVisible(window) || !GetClassNameA(window, name, sizeof name) ||
        lstrcmpA(name, "#32770") != 0)
        return TRUE;
    GetWindowTextA(window, title, sizeof title);
    if (lstrcmpA(title, g_caption) != 0) return TRUE;
    g_box = window;
    return FALSE;
}

BOOL CALLBACK PrintText(HWND child, LPARAM) {
    char name[64];
    wchar_t text[2048];
    GetClassNameA(child, name, sizeof name);
    int length = GetWindowTextW(child, text, 2048);
    if (lstrcmpiA(name, "Static") != 0 || length == 0) return TRUE;
    printf("text=");
    for (int i = 0; i < length; ++i)
        printf("%02x%02x", text[i] & 0xFF, text[i] >> 8);
    printf("\n");
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    g_caption = argv[1];
    for (int i = 0; i < 200 && !g_box; ++i) {
        EnumWindows(FindBox, 0);
        if (!g_box) Sleep(100);
    }
    if (!g_box) return 1;
    EnumChildWindows(g_box, PrintText, 0);
    fflush(stdout);
    PostMessageA(g_box, WM_COMMAND, IDOK, 0);
    return 0;
}
