#include "driver/HostWindow.h"

#include "support/Unicode.h"

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
    // The process's own command line, whole: install.exe gets all of it. A second command, as
    // another program may post one while a program is waited on, must not close the window
    // under the sequence that runs.
    if (RunSequence(SkipProgramName(ProcessCommandLine())) == kSequenceRanBefore) return;
    PostMessageA(handle, WM_CLOSE, 0, 0);
}
