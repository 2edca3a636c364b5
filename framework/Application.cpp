#include "framework/Application.h"
#include "support/Text.h"
#include "support/Win32Forward.h"

MAIN* g_CurrentApp;
int32_t g_QuitSeen;

// Requests of the instance message (its wParam).
enum : uint32_t {
    kShowMainWindow = 1,
    kInstanceMessage = 2,
    kInstanceAnswer = 0x100,
    kInstanceQuery = 0xFFFF,
};

MAIN::MAIN(const char* name_, HINSTANCE instance_, HINSTANCE previousInstance_, char* commandLine_,
           int showCommand_)
    : MAIN_INSTANCE(instance_), APPLI_MSG(name_), exitCode(0), modelessDialog(nullptr),
      previousInstance(previousInstance_), showCommand(showCommand_), commandLine(commandLine_),
      accelerators(nullptr), otherInstanceWindow(nullptr), mainWindow(nullptr) {
    name[0] = 0;
    TextCopy(name, name_, sizeof name);
    g_CurrentApp = this;
    g_AppCaption = name;
}

MAIN::~MAIN() {
    g_CurrentApp = nullptr;
    g_AppCaption = nullptr;
}

int MAIN::WantsSingleInstance() {
    return 0;
}
int MAIN::HandOver(int*) {
    return 0;
}

void MAIN::ShowMainWindow(int) {
    if (!mainWindow) return;
    ShowWindow(mainWindow->handle, ShowCommand());
    SetActiveWindow(mainWindow->handle);
}

void MAIN::OnInstanceMessage(int) {}
int MAIN::RegisterClasses() {
    return RegisterWindowClasses(instance);
}
int MAIN::InitApplication() {
    return InitInstance();
}

int MAIN::InitInstance() {
    mainWindow = new MAIN_FENETRE(nullptr, name);
    mainWindow->Create();
    return ShowWindow(mainWindow->handle, showCommand);
}

int MAIN::ShowCommand() {
    return SW_SHOW;
}

HWND MAIN::MainWindowHandle() {
    return mainWindow ? mainWindow->handle : nullptr;
}

void MAIN::HandleMessage(MSG_REC* record) {
    HWND other = reinterpret_cast<HWND>(static_cast<INT_PTR>(record->lParam));
    switch (record->wParam) {
    case kInstanceQuery:
        if (other != MainWindowHandle())
            SendMessageA(other, messageNumber, kInstanceAnswer,
                         reinterpret_cast<LPARAM>(MainWindowHandle()));
        break;
    case kInstanceAnswer:
        if (other != record->window) otherInstanceWindow = other;
        break;
    case kShowMainWindow:
        ShowMainWindow(record->lParam);
        break;
    case kInstanceMessage:
        OnInstanceMessage(record->lParam);
        break;
    default:
        break;
    }
}

void MAIN::BroadcastInstanceQuery() {
    SendMessageA(HWND_BROADCAST, messageNumber, kInstanceQuery,
                 reinterpret_cast<LPARAM>(MainWindowHandle()));
}

void MAIN::Start() {
    if (!previousInstance) RegisterClasses();
    InitApplication();
    otherInstanceWindow = nullptr;
    if (WantsSingleInstance()) BroadcastInstanceQuery();
    if (!otherInstanceWindow) {
        Run();
    } else {
        // HandOver may leave the value alone: it starts at 0.
        int value = 0;
        if (HandOver(&value)) {
            PostMessageA(otherInstanceWindow, messageNumber, kInstanceMessage, value);
        } else {
            PostMessageA(otherInstanceWindow, messageNumber, kShowMainWindow, value);
            if (mainWindow && mainWindow->handle) DestroyWindow(mainWindow->handle);
        }
    }
    delete mainWindow;
    mainWindow = nullptr;
}

int MAIN::TakenByModelessDialog(MSG* message) {
    return modelessDialog && IsDialogMessageA(modelessDialog, message);
}

void MAIN::TranslateAndDispatch(MSG* message) {
    if (!accelerators || !TranslateAcceleratorA(MainWindowHandle(), accelerators, message))
        TranslateMessage(message);
    DispatchMessageA(message);
}

void MAIN::Run() {
    MSG message;
    // GetMessageA gives -1 on failure: that ends the loop too, rather than spinning on it.
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // A WM_QUIT that PumpPending took ends the loop at the next message.
        if (g_QuitSeen) break;
        if (TakenByModelessDialog(&message)) continue;
        TranslateAndDispatch(&message);
    }
}

int MAIN::PumpPending() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        GetMessageA(&message, nullptr, 0, 0);
        if (TakenByModelessDialog(&message)) return 1;
        TranslateAndDispatch(&message);
        if (message.message == WM_QUIT) g_QuitSeen = 1;
    }
    return 1;
}

void MAIN::PumpAndWait(int milliseconds) {
    uint32_t start = MillisecondClock();
    for (;;) {
        PumpPending();
        uint32_t elapsed = MillisecondClock() - start;
        if (milliseconds <= 0 || elapsed >= static_cast<uint32_t>(milliseconds)) return;
        // Sleep until a message arrives or the period is over, instead of spinning.
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<uint32_t>(milliseconds) - elapsed,
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}
