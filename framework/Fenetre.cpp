#include "framework/Fenetre.h"
#include "framework/AppInstance.h"
#include "support/Text.h"

static const char kChildClass[] = "OW_CHILD";
static const char kMainClass[] = "OW_MAIN";

int RegisterWindowClasses(HINSTANCE instance) {
    WNDCLASSA c = {};
    c.style = CS_DBLCLKS;
    c.lpfnWndProc = FENETRE::PasseWndProc;
    c.cbWndExtra = sizeof(LONG);
    c.hInstance = instance;
    c.hIcon = PALETTE::s_childIcon;
    c.hCursor = PALETTE::s_cursor;
    c.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(PALETTE::s_childBackground));
    c.lpszClassName = kChildClass;
    if (!RegisterClassA(&c)) return 0;
    c.style = 0;
    c.hIcon = PALETTE::s_appIcon;
    c.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(PALETTE::s_mainBackground));
    c.lpszClassName = kMainClass;
    return RegisterClassA(&c) ? 1 : 0;
}

FENETRE::FENETRE(FEN_OBJ* owner_, const char* title_, HINSTANCE instance_)
    : FEN_OBJ(owner_), instance(CurrentModule()), isMain(0) {
    style = WS_CHILD | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU;
    title[0] = 0;
    TextCopy(title, title_, sizeof title);
    if (instance_) instance = instance_;
}

// A window that outlives its object must not lead its procedure to a deleted object.
FENETRE::~FENETRE() {
    if (handle && handle != PendingMarker() &&
        GetWindowLongPtrA(handle, 0) == reinterpret_cast<LONG_PTR>(this))
        SetWindowLongPtrA(handle, 0, 0);
}

int FENETRE::Close() {
    if (!CanClose()) return 0;
    // The object goes when WM_DESTROY arrives, inside this call.
    DestroyWindow(handle);
    return 1;
}

HWND FENETRE::Create() {
    if (handle) return nullptr;
    handle = CreateWindowExA(
        0, isMain ? kMainClass : kChildClass, title, style, x, y, width, height, parentHandle,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(menuId)), instance, createParam);
    OnCreated();
    return handle;
}

LRESULT CALLBACK FENETRE::PasseWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG_REC record = {window, message, wParam, lParam, 0, 0};
    FENETRE* object = reinterpret_cast<FENETRE*>(GetWindowLongPtrA(window, 0));
    if (!object) {
        FEN_OBJ* found = FEN_OBJ::FindByHandle(window, 0);
        // The registry holds windows and dialogs (told apart without run-time type information,
        // which the stub leaves out); a dialog has no window procedure to hand the message to.
        if (!found || found->IsDialog()) return DefWindowProcA(window, message, wParam, lParam);
        object = static_cast<FENETRE*>(found);
        SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(object));
    }
    return object->WindowProc(&record);
}

// The handler may delete this object (WM_DESTROY, WM_CLOSE): only the record is read after it.
LRESULT FENETRE::WindowProc(MSG_REC* record) {
    switch (record->message) {
    case WM_CREATE:
        OnCreate(record);
        break;
    case WM_DESTROY:
        OnDestroy(record);
        break;
    case WM_MOVE:
        OnMove(record);
        break;
    case WM_SIZE:
        OnSize(record);
        break;
    case WM_ACTIVATE:
        OnActivate(record);
        break;
    case WM_SETFOCUS:
        OnSetFocus(record);
        break;
    case WM_KILLFOCUS:
        OnKillFocus(record);
        break;
    case WM_PAINT:
        HandlePaint(record);
        break;
    case WM_CLOSE:
        OnClose(record);
        break;
    case WM_QUERYENDSESSION:
        OnQueryEndSession(record);
        break;
    case WM_DRAWITEM:
        OnDrawItem(record);
        break;
    case WM_MEASUREITEM:
        OnMeasureItem(record);
        break;
    case WM_SETFONT:
        OnSetFont(record);
        break;
    case WM_NCPAINT:
        OnNcPaint(record);
        break;
    case WM_GETDLGCODE:
        OnGetDlgCode(record);
        break;
    case WM_NCLBUTTONDOWN:
        OnNcLButtonDown(record);
        break;
    case WM_NCLBUTTONUP:
        OnNcLButtonUp(record);
        break;
    case WM_NCLBUTTONDBLCLK:
        OnNcLButtonDblClk(record);
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
    case WM_COMMAND:
        HandleCommand(record);
        break;
    case WM_SYSCOMMAND:
        record->useDefault = 1;
        OnSysCommand(record);
        break;
    case WM_TIMER:
        OnTimer(record);
        break;
    case WM_HSCROLL:
        HandleHScroll(record);
        break;
    case WM_VSCROLL:
        HandleVScroll(record);
        break;
    case WM_MENUCHAR:
        OnMenuChar(record);
        break;
    case WM_CTLCOLOREDIT:
        OnCtlColorEdit(record);
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
    case WM_PARENTNOTIFY:
        OnParentNotify(record);
        break;
    default:
        OnOtherMessage(record);
        break;
    }
    if (record->useDefault)
        return DefWindowProcA(record->window, record->message, record->wParam, record->lParam);
    return record->result;
}

int FENETRE::Spare12(int) {
    return 0;
}

void FENETRE::TakeTitle(MSG_REC* record) {
    TextCopy(title, reinterpret_cast<const char*>(record->lParam), sizeof title);
}

void FENETRE::HandlePaint(MSG_REC* record) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(record->window, &paint);
    OnPaint(dc, &paint);
    EndPaint(record->window, &paint);
}

void FENETRE::OnClose(MSG_REC*) {
    CloseTree(1);
}

void FENETRE::OnDestroy(MSG_REC* record) {
    SetWindowLongPtrA(record->window, 0, 0);
    handle = nullptr;
    delete this;
}

void FENETRE::OnTimer(MSG_REC*) {}
void FENETRE::OnCreate(MSG_REC*) {}
void FENETRE::OnSetFocus(MSG_REC*) {}
void FENETRE::OnKillFocus(MSG_REC*) {}
void FENETRE::OnMouseMove(MSG_REC*) {}
void FENETRE::OnNcLButtonDown(MSG_REC* record) {
    record->useDefault = 1;
}
void FENETRE::OnNcLButtonUp(MSG_REC* record) {
    record->useDefault = 1;
}
void FENETRE::OnNcLButtonDblClk(MSG_REC* record) {
    record->useDefault = 1;
}
void FENETRE::OnNcPaint(MSG_REC* record) {
    record->useDefault = 1;
}
void FENETRE::OnLButtonDblClk(MSG_REC*) {}
void FENETRE::OnLButtonDown(MSG_REC*) {}
void FENETRE::OnLButtonUp(MSG_REC*) {}
void FENETRE::OnRButtonDown(MSG_REC*) {}
void FENETRE::OnRButtonUp(MSG_REC*) {}
void FENETRE::OnKeyUp(MSG_REC*) {}
void FENETRE::OnKeyDown(MSG_REC*) {}
void FENETRE::OnChar(MSG_REC*) {}

// The handlers of one scroll bar, in scroll-code order.
struct ScrollHandlers {
    void (FENETRE::*lineUp)(int);
    void (FENETRE::*lineDown)(int);
    void (FENETRE::*pageUp)(int);
    void (FENETRE::*pageDown)(int);
    void (FENETRE::*thumbPosition)(int, int);
    void (FENETRE::*thumbTrack)(int, int);
};

static void SplitScroll(FENETRE* window, const ScrollHandlers& on, MSG_REC* record) {
    int position = static_cast<int>(record->wParam >> 16);
    switch (record->wParam & 0xFFFF) {
    case SB_LINEUP:
        (window->*on.lineUp)(position);
        break;
    case SB_LINEDOWN:
        (window->*on.lineDown)(position);
        break;
    case SB_PAGEUP:
        (window->*on.pageUp)(position);
        break;
    case SB_PAGEDOWN:
        (window->*on.pageDown)(position);
        break;
    case SB_THUMBPOSITION:
        (window->*on.thumbPosition)(position, record->lParam);
        break;
    case SB_THUMBTRACK:
        (window->*on.thumbTrack)(position, record->lParam);
        break;
    default:
        break;
    }
}

void FENETRE::HandleHScroll(MSG_REC* record) {
    static const ScrollHandlers horizontal = {&FENETRE::OnHLineUp,        &FENETRE::OnHLineDown,
                                              &FENETRE::OnHPageUp,        &FENETRE::OnHPageDown,
                                              &FENETRE::OnHThumbPosition, &FENETRE::OnHThumbTrack};
    SplitScroll(this, horizontal, record);
}

void FENETRE::HandleVScroll(MSG_REC* record) {
    static const ScrollHandlers vertical = {&FENETRE::OnVLineUp,        &FENETRE::OnVLineDown,
                                            &FENETRE::OnVPageUp,        &FENETRE::OnVPageDown,
                                            &FENETRE::OnVThumbPosition, &FENETRE::OnVThumbTrack};
    SplitScroll(this, vertical, record);
}

void FENETRE::OnHLineUp(int) {}
void FENETRE::OnHLineDown(int) {}
void FENETRE::OnHPageUp(int) {}
void FENETRE::OnHPageDown(int) {}
void FENETRE::OnHThumbTrack(int, int) {}
void FENETRE::OnHThumbPosition(int, int) {}
void FENETRE::OnVLineUp(int) {}
void FENETRE::OnVLineDown(int) {}
void FENETRE::OnVPageUp(int) {}
void FENETRE::OnVPageDown(int) {}
void FENETRE::OnVThumbTrack(int, int) {}
void FENETRE::OnVThumbPosition(int, int) {}
void FENETRE::OnSize(MSG_REC*) {}
void FENETRE::OnMove(MSG_REC*) {}

void FENETRE::HandleCommand(MSG_REC* record) {
    if (!RouteCommandToChildren(record)) OnCommand(record);
}

void FENETRE::OnCommand(MSG_REC*) {}
void FENETRE::OnSysCommand(MSG_REC*) {}
void FENETRE::OnParentNotify(MSG_REC*) {}
void FENETRE::Spare13(MSG_REC*) {}

void FENETRE::OnCtlColorEdit(MSG_REC* record) {
    if (!s_controlColouring) {
        record->useDefault = 1;
        return;
    }
    HBRUSH brush = ColourControl(reinterpret_cast<HDC>(record->wParam));
    record->result = static_cast<int32_t>(reinterpret_cast<INT_PTR>(brush));
}

void FENETRE::OnActivate(MSG_REC*) {}
void FENETRE::OnMenuChar(MSG_REC* record) {
    record->result = 0;
}
void FENETRE::OnGetDlgCode(MSG_REC*) {}
void FENETRE::OnSetFont(MSG_REC*) {}

// CloseTree may delete this window: nothing of the object is read after it.
void FENETRE::OnQueryEndSession(MSG_REC* record) {
    if (ApplicationAllowsQuit() && CloseTree(1)) record->result = 1;
}

void FENETRE::OnOtherMessage(MSG_REC* record) {
    record->useDefault = 1;
}
void FENETRE::OnCreated() {}
void FENETRE::OnPaint(HDC, PAINTSTRUCT*) {}
const char* FENETRE::CloseLabel() {
    return "&Fermeture";
}

MAIN_FENETRE::MAIN_FENETRE(FEN_OBJ* owner_, const char* title_) : FENETRE(owner_, title_) {
    style = WS_OVERLAPPEDWINDOW;
    isMain = 1;
}

MAIN_FENETRE::~MAIN_FENETRE() {
    ReleaseDrawingResources();
}

LRESULT MAIN_FENETRE::WindowProc(MSG_REC* record) {
    if (DispatchRegisteredMessage(record)) return record->result;
    return FENETRE::WindowProc(record);
}

void MAIN_FENETRE::OnClose(MSG_REC*) {
    if (ApplicationAllowsQuit()) CloseTree(1);
}

void MAIN_FENETRE::OnDestroy(MSG_REC* record) {
    OnQuit();
    PostQuitMessage(0);
    SetWindowLongPtrA(record->window, 0, 0);
}

void MAIN_FENETRE::OnQuit() {}
