#include "driver/ExtractDialog.h"

#include "driver/ExtractFolder.h"
#include "resources/ResourceIds.h"
#include "support/Win32Forward.h"

CtExtractDlg::CtExtractDlg(FEN_OBJ* owner, char* folderPath, int folderPathCapacity,
                           const PayloadArchive& archive, InstallFailure& failure,
                           TrustedFolder* held)
    : M_DIALOG(owner, AUTO_KVR_TEMPLATE), textControl(nullptr), folderPath(folderPath),
      folderPathCapacity(folderPathCapacity), archive(archive), failure(failure), held(held) {}

void CtExtractDlg::OnInitDialog(MSG_REC*) {
    CenterOnScreen(0, 0);
    ShowWindow(GetDlgItem(handle, IDOK), SW_HIDE);
    ShowWindow(GetDlgItem(handle, IDCANCEL), SW_HIDE);
    textControl = GetDlgItem(handle, AUTO_KVR_MESSAGE);
    ForwardSetWindowText(textControl, "... pr\u00e9paration de l'installation ...");
    // It offers nothing to answer.
    ShowWithoutActivating();
    PostMessageA(handle, WM_COMMAND, kCommandExtract, 0);
}

void CtExtractDlg::OnCommand(MSG_REC* record) {
    if (LOWORD(record->wParam) != kCommandExtract) return;
    // No message is handled while the work runs: paint the dialog and its text now, or the
    // user would face an empty frame (or nothing) until the end. Looking at the queue lets the
    // window system put the drawing on screen; nothing is taken from it.
    RedrawWindow(handle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG waiting;
    PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE);
    int done = ExtractPayload(folderPath, folderPathCapacity, archive, failure, held);
    EndDialog(handle, done ? 1 : 0);
}
