#include "FrameworkTestSupport.h"
#include "framework/Fenetre.h"

BoxCloser::BoxCloser(int button)
    : watched_(GetCurrentThreadId()), button_(button), stop_(0),
      thread_(CreateThread(nullptr, 0, Watch, this, 0, nullptr)) {}

BoxCloser::~BoxCloser() {
    InterlockedExchange(&stop_, 1);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
}

namespace {
struct BoxSearch {
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM lParam) {
    char className[32];
    if (IsWindowVisible(window) && GetClassNameA(window, className, sizeof className) &&
        lstrcmpA(className, "#32770") == 0 && GetDlgItem(window, 0xFFFF)) {
        reinterpret_cast<BoxSearch*>(lParam)->found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

DWORD WINAPI BoxCloser::Watch(void* self) {
    BoxCloser* closer = static_cast<BoxCloser*>(self);
    while (!closer->stop_) {
        BoxSearch search = {nullptr};
        EnumThreadWindows(closer->watched_, FindBox, reinterpret_cast<LPARAM>(&search));
        if (!search.found) {
            Sleep(20);
            continue;
        }
        char caption[512] = "";
        char text[1024] = "";
        GetWindowTextA(search.found, caption, sizeof caption);
        GetDlgItemTextA(search.found, 0xFFFF, text, sizeof text);
        closer->captions.push_back(caption);
        closer->texts.push_back(text);
        PostMessageA(search.found, WM_COMMAND, closer->button_, 0);
        for (int i = 0; i < 500 && IsWindow(search.found); ++i)
            Sleep(10);
    }
    return 0;
}

void EnsureWindowClasses() {
    static bool registered = false;
    if (!registered) registered = RegisterWindowClasses(GetModuleHandleA(nullptr)) == 1;
}

bool PumpUntil(const volatile bool& done, int milliseconds) {
    DWORD start = GetTickCount();
    while (!done && GetTickCount() - start < static_cast<DWORD>(milliseconds)) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (!done) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return done;
}
