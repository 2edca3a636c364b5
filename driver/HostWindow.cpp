#include "driver/HostWindow.h"

char g_CommandLine[kCommandLineCapacity];

H_FEN::H_FEN(const char* title) : MAIN_FENETRE(nullptr, title) {
    Create();
    ShowWindow(handle, SW_HIDE);
}

// Posted rather than run here: the sequence starts once the message loop runs.
void H_FEN::OnCreated() {
    PostMessageA(handle, WM_COMMAND, kCommandRunInstall, 0);
}

void H_FEN::OnCommand(MSG_REC* record) {
    if (LOWORD(record->wParam) != kCommandRunInstall) return;
    RunInstall(g_CommandLine);
    PostMessageA(handle, WM_CLOSE, 0, 0);
}
