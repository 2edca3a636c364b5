// Dialog objects: a window from a dialog template, run modally, whose messages reach virtual
// handlers through the shared dialog procedure PasseDlgProc.
#pragma once
#include "framework/Objet.h"

class M_DIALOG : public FEN_OBJ {
  public:
    M_DIALOG(FEN_OBJ* owner, const char* templateName);

    int IsDialog() override;

    // OK ends with the OK result only when the whole dialog tree agrees to close.
    virtual int OnOK(MSG_REC* record);
    virtual int OnCancel(MSG_REC* record);
    virtual void HandleCommand(MSG_REC* record);
    virtual void OnCommand(MSG_REC* record);
    virtual void OnSysCommand(MSG_REC* record);
    virtual void OnInitDialog(MSG_REC* record);
    virtual void OnClose(MSG_REC* record);
    virtual void OnTimer(MSG_REC* record);
    virtual void OnMouseMove(MSG_REC* record);
    virtual void OnLButtonDblClk(MSG_REC* record);
    virtual void OnLButtonDown(MSG_REC* record);
    virtual void OnLButtonUp(MSG_REC* record);
    virtual void OnRButtonDown(MSG_REC* record);
    virtual void OnRButtonUp(MSG_REC* record);
    virtual void OnKeyUp(MSG_REC* record);
    virtual void OnKeyDown(MSG_REC* record);
    virtual void OnChar(MSG_REC* record);
    virtual void OnSize(MSG_REC* record);
    virtual void OnMove(MSG_REC* record);
    virtual void OnOtherMessage(MSG_REC* record);
    virtual void OnEnd(int result);

    // The value the dialog ended with, or -1 when it could not be created (reported on the
    // dialog log channel).
    int RunModal();
    // Ends the dialog with result; 1 when the system ended it.
    int EndWith(int result);
    // For a dialog no one answers, from OnInitDialog: shows it without making it the active
    // window, before the dialog manager would show and activate it.
    void ShowWithoutActivating();

    static INT_PTR CALLBACK PasseDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK PasseSheetDlgProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam);

    char templateName[32];
    int32_t modeless; // 1: ended with DestroyWindow instead of EndDialog
    int32_t okResult;

  private:
    INT_PTR Dispatch(MSG_REC* record);
};

// 0 for a null dialog; otherwise RunModal's value, deleting the dialog afterwards when asked.
int RunDialog(M_DIALOG* dialog, int deleteAfter);
M_DIALOG* FindDialog(HWND window);
