// Window objects: each creates its own window and receives that window's messages as calls of
// one virtual handler per message, through the shared window procedure PasseWndProc.
#pragma once
#include "framework/Objet.h"

class FENETRE : public FEN_OBJ {
  public:
    // Windows that are not the main window delete themselves on WM_DESTROY: heap only.
    FENETRE(FEN_OBJ* owner, const char* title, HINSTANCE instance = nullptr);
    ~FENETRE() override;

    int Close() override;

    virtual LRESULT WindowProc(MSG_REC* record);
    virtual int Spare12(int a);
    virtual void TakeTitle(MSG_REC* record);
    virtual void HandlePaint(MSG_REC* record);
    virtual void OnClose(MSG_REC* record);
    virtual void OnDestroy(MSG_REC* record);
    virtual void OnTimer(MSG_REC* record);
    virtual void OnCreate(MSG_REC* record);
    virtual void OnSetFocus(MSG_REC* record);
    virtual void OnKillFocus(MSG_REC* record);
    virtual void OnMouseMove(MSG_REC* record);
    virtual void OnNcLButtonDown(MSG_REC* record);
    virtual void OnNcLButtonUp(MSG_REC* record);
    virtual void OnNcLButtonDblClk(MSG_REC* record);
    virtual void OnNcPaint(MSG_REC* record);
    virtual void OnLButtonDblClk(MSG_REC* record);
    virtual void OnLButtonDown(MSG_REC* record);
    virtual void OnLButtonUp(MSG_REC* record);
    virtual void OnRButtonDown(MSG_REC* record);
    virtual void OnRButtonUp(MSG_REC* record);
    virtual void OnKeyUp(MSG_REC* record);
    virtual void OnKeyDown(MSG_REC* record);
    virtual void OnChar(MSG_REC* record);
    virtual void HandleHScroll(MSG_REC* record);
    virtual void HandleVScroll(MSG_REC* record);
    virtual void OnHLineUp(int position);
    virtual void OnHLineDown(int position);
    virtual void OnHPageUp(int position);
    virtual void OnHPageDown(int position);
    virtual void OnHThumbTrack(int position, int scrollBar);
    virtual void OnHThumbPosition(int position, int scrollBar);
    virtual void OnVLineUp(int position);
    virtual void OnVLineDown(int position);
    virtual void OnVPageUp(int position);
    virtual void OnVPageDown(int position);
    virtual void OnVThumbTrack(int position, int scrollBar);
    virtual void OnVThumbPosition(int position, int scrollBar);
    virtual void OnSize(MSG_REC* record);
    virtual void OnMove(MSG_REC* record);
    virtual void HandleCommand(MSG_REC* record);
    virtual void OnCommand(MSG_REC* record);
    virtual void OnSysCommand(MSG_REC* record);
    virtual void OnParentNotify(MSG_REC* record);
    virtual void Spare13(MSG_REC* record);
    virtual void OnCtlColorEdit(MSG_REC* record);
    virtual void OnActivate(MSG_REC* record);
    virtual void OnMenuChar(MSG_REC* record);
    virtual void OnGetDlgCode(MSG_REC* record);
    virtual void OnSetFont(MSG_REC* record);
    virtual void OnQueryEndSession(MSG_REC* record);
    virtual void OnOtherMessage(MSG_REC* record);
    // Start-up work of a window goes here: the messages of its own creation find no object.
    virtual void OnCreated();
    virtual void OnPaint(HDC dc, PAINTSTRUCT* paint);
    virtual HWND Create();
    virtual const char* CloseLabel();

    static LRESULT CALLBACK PasseWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance;
    uint8_t isMain; // 1: class "OW_MAIN", 0: "OW_CHILD"
    char title[80];
};

// The application's main window: closing asks the application, destroying ends the loop.
class MAIN_FENETRE : public FENETRE {
  public:
    MAIN_FENETRE(FEN_OBJ* owner, const char* title);
    ~MAIN_FENETRE() override;

    LRESULT WindowProc(MSG_REC* record) override;
    void OnClose(MSG_REC* record) override;
    void OnDestroy(MSG_REC* record) override;
    virtual void OnQuit();
};

// Registers "OW_CHILD", then "OW_MAIN"; 1 when both were registered.
int RegisterWindowClasses(HINSTANCE instance);
