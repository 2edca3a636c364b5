// The instance part of the application: what windows, dialogs and message boxes need from it
// (the module instance, CanQuit, the caption), without the message loop above them.
#pragma once
#include <windows.h>

class MAIN_INSTANCE {
  public:
    // A second one in the process is reported by a message box and then becomes current.
    explicit MAIN_INSTANCE(HINSTANCE instance);
    MAIN_INSTANCE(const MAIN_INSTANCE&) = delete;
    MAIN_INSTANCE& operator=(const MAIN_INSTANCE&) = delete;

    virtual void PumpAndWait(int milliseconds);
    virtual int CanQuit();
    virtual ~MAIN_INSTANCE();

    HINSTANCE instance;
};

extern MAIN_INSTANCE* g_CurrentInstance;
// The current application's name, the caption of its message boxes; null without one.
extern const char* g_AppCaption;

// The module instance of the current application, or null without one.
HINSTANCE CurrentModule();
// The current application's CanQuit; 1 without an application.
int ApplicationAllowsQuit();

// Message box captioned with the application's name (no caption without an application).
int AppMessageBox(const char* text, UINT style, HWND owner);
