#include "framework/Dialog.h"
#include <prsht.h>
#include "framework/AppInstance.h"
#include "support/LogChannel.h"
#include "support/Text.h"

M_DIALOG::M_DIALOG(FEN_OBJ* owner_, const char* templateName_)
    : FEN_OBJ(owner_), modeless(0), okResult(1) {
    templateName[0] = 0;
    TextCopy(templateName, templateName_, sizeof templateName);
}

int M_DIALOG::IsDialog() {
    return 1;
}

int M_DIALOG::RunModal() {
    modeless = 0;
    handle = PendingMarker();
    INT_PTR result = DialogBoxParamA(CurrentModule(), templateName, parentHandle, PasseDlgProc,
                                     reinterpret_cast<LPARAM>(this));
    // Still pending: the dialog never got WM_INITDIALOG.
    if (handle == PendingMarker()) {
        TextFormat(g_ReportBuffer, sizeof g_ReportBuffer, "Erreur ProcessDialog %d",
                   static_cast<int>(GetLastError()));
        ReportToLog(kLogDialog, g_ReportBuffer);
    }
    return static_cast<int>(result);
}

int RunDialog(M_DIALOG* dialog, int deleteAfter) {
    if (!dialog) return 0;
    int result = dialog->RunModal();
    if (deleteAfter) delete dialog;
    return result;
}

int M_DIALOG::EndWith(int result) {
    OnEnd(result);
    BOOL ended = modeless ? DestroyWindow(handle) : EndDialog(handle, result);
    return ended ? 1 : 0;
}

// The keyboard stays where the user is typing. And an activated window is one the window system
// settles with a window manager: under Wine on a display without one, hiding it waits two
// seconds for an answer that never comes.
void M_DIALOG::ShowWithoutActivating() {
    ShowWindow(handle, SW_SHOWNOACTIVATE);
}

M_DIALOG* FindDialog(HWND window) {
    FEN_OBJ* found = FEN_OBJ::FindByHandle(window, 0);
    if (!found || found->IsDialog() != 1) return nullptr;
    return static_cast<M_DIALOG*>(found);
}

// Binds the dialog object named by WM_INITDIALOG; other messages before it go unanswered.
static M_DIALOG* BindDialog(HWND window, UINT message, M_DIALOG* starting) {
    if (M_DIALOG* bound = FindDialog(window)) return bound;
    if (message != WM_INITDIALOG || !starting) return nullptr;
    starting->handle = window;
    return starting;
}

INT_PTR CALLBACK M_DIALOG::PasseDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    M_DIALOG* dialog = BindDialog(window, message, reinterpret_cast<M_DIALOG*>(lParam));
    if (!dialog) return 0;
    MSG_REC record = {window, message, wParam, lParam, 1, 0};
    return dialog->Dispatch(&record);
}

INT_PTR CALLBACK M_DIALOG::PasseSheetDlgProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    M_DIALOG* starting = nullptr;
    if (message == WM_INITDIALOG && lParam) {
        const PROPSHEETPAGEA* page = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        starting = reinterpret_cast<M_DIALOG*>(page->lParam);
    }
    M_DIALOG* dialog = BindDialog(window, message, starting);
    if (!dialog) return 0;
    MSG_REC record = {window, message, wParam, lParam, 1, 0};
    return dialog->Dispatch(&record);
}

static int32_t BrushResult(HBRUSH brush) {
    return static_cast<int32_t>(reinterpret_cast<INT_PTR>(brush));
}

INT_PTR M_DIALOG::Dispatch(MSG_REC* record) {
    switch (record->message) {
    case WM_MOVE:
        OnMove(record);
        break;
    case WM_SIZE:
        OnSize(record);
        break;
    case WM_CLOSE:
        OnClose(record);
        break;
    case WM_DRAWITEM:
        OnDrawItem(record);
        break;
    case WM_KEYDOWN:
        OnKeyDown(record);
        break;
    case WM_KEYUP:
        OnKeyUp(record);
        break;
    case WM_CHAR:
        OnChar(record);
        break;
    case WM_INITDIALOG:
        OnInitDialog(record);
        break;
    case WM_COMMAND:
        HandleCommand(record);
        break;
    case WM_SYSCOMMAND:
        record->useDefault = 1;
        record->result = 0;
        OnSysCommand(record);
        break;
    case WM_TIMER:
        OnTimer(record);
        break;
    case WM_CTLCOLOREDIT:
        record->result = s_controlColouring
                             ? BrushResult(ColourControl(reinterpret_cast<HDC>(record->wParam)))
                             : 0;
        break;
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        record->result = BrushResult(ColourControl(reinterpret_cast<HDC>(record->wParam)));
        break;
    case WM_CTLCOLORDLG:
        record->result = BrushResult(s_dialogBrush);
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(record);
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown(record);
        break;
    case WM_LBUTTONUP:
        OnLButtonUp(record);
        break;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(record);
        break;
    case WM_RBUTTONDOWN:
        OnRButtonDown(record);
        break;
    case WM_RBUTTONUP:
        OnRButtonUp(record);
        break;
    default:
        OnOtherMessage(record);
        break;
    }
    return record->result;
}

int M_DIALOG::OnOK(MSG_REC*) {
    if (!CloseTree(0)) return 0;
    return EndWith(okResult);
}

int M_DIALOG::OnCancel(MSG_REC*) {
    return EndWith(0);
}

void M_DIALOG::HandleCommand(MSG_REC* record) {
    switch (record->wParam & 0xFFFF) {
    case IDOK:
        OnOK(record);
        break;
    case IDCANCEL:
        OnCancel(record);
        break;
    default:
        if (!RouteCommandToChildren(record)) OnCommand(record);
        break;
    }
}

void M_DIALOG::OnCommand(MSG_REC*) {}
void M_DIALOG::OnSysCommand(MSG_REC*) {}
void M_DIALOG::OnInitDialog(MSG_REC*) {}
void M_DIALOG::OnClose(MSG_REC* record) {
    OnCancel(record);
}
void M_DIALOG::OnTimer(MSG_REC*) {}
void M_DIALOG::OnMouseMove(MSG_REC*) {}
void M_DIALOG::OnLButtonDblClk(MSG_REC*) {}
void M_DIALOG::OnLButtonDown(MSG_REC*) {}
void M_DIALOG::OnLButtonUp(MSG_REC*) {}
void M_DIALOG::OnRButtonDown(MSG_REC*) {}
void M_DIALOG::OnRButtonUp(MSG_REC*) {}
void M_DIALOG::OnKeyUp(MSG_REC*) {}
void M_DIALOG::OnKeyDown(MSG_REC*) {}
void M_DIALOG::OnChar(MSG_REC*) {}
void M_DIALOG::OnSize(MSG_REC*) {}
void M_DIALOG::OnMove(MSG_REC*) {}
void M_DIALOG::OnOtherMessage(MSG_REC* record) {
    record->result = 0;
}
void M_DIALOG::OnEnd(int) {}
