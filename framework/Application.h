// The application object and its message loop. The current application is reachable from
// everywhere: it gives the module instance, the name that captions message boxes, CanQuit and
// PumpAndWait.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "framework/Fenetre.h"
#include "support/MessageLog.h"

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

class MAIN : public MAIN_INSTANCE, public APPLI_MSG {
  public:
    // The name also names the instance message; the command line is kept, not copied.
    MAIN(const char* name, HINSTANCE instance, HINSTANCE previousInstance, char* commandLine,
         int showCommand);
    ~MAIN() override;

    // Dispatches what arrives during the period and returns once it is over; 0 makes one pass.
    void PumpAndWait(int milliseconds) override;
    virtual int WantsSingleInstance();
    virtual int HandOver(int* value);
    virtual void ShowMainWindow(int value);
    virtual void OnInstanceMessage(int value);
    virtual int RegisterClasses();
    virtual int InitApplication();
    virtual int InitInstance();
    virtual void Run();
    virtual int ShowCommand();

    // The instance protocol on the message registered under the application's name.
    void HandleMessage(MSG_REC* record) override;

    // Registers the classes, initialises, runs the loop (or hands over to an instance already
    // running) and deletes the main window object.
    void Start();
    // Dispatches every waiting message; always 1.
    int PumpPending();
    // Asks every top-level window for an instance of this application; an answer lands in
    // otherInstanceWindow before this returns.
    void BroadcastInstanceQuery();

    char name[80];
    int32_t exitCode;
    HWND modelessDialog;
    HINSTANCE previousInstance;
    int32_t showCommand;
    char* commandLine;
    HACCEL accelerators;
    HWND otherInstanceWindow;
    MAIN_FENETRE* mainWindow; // owned

  private:
    int TakenByModelessDialog(MSG* message);
    void TranslateAndDispatch(MSG* message);
    HWND MainWindowHandle();
};

extern MAIN_INSTANCE* g_CurrentInstance;
extern MAIN* g_CurrentApp;
extern int32_t g_QuitSeen; // set when PumpPending meets WM_QUIT; Run then stops

// The module instance of the current application, or null without one.
HINSTANCE CurrentModule();
// The current application's CanQuit; 1 without an application.
int ApplicationAllowsQuit();

// Message box captioned with the application's name (no caption without an application).
int AppMessageBox(const char* text, UINT style, HWND owner);

// Milliseconds that keep growing across midnights, from the time of day in UTC.
uint32_t MillisecondClock();
// The clock reads the time through this source; tests replace it. Returns the old one.
typedef void(WINAPI* ClockSource)(SYSTEMTIME* time);
ClockSource SetClockSource(ClockSource source);

// A periodic job of the timer callback: its tick runs every period-th timer message.
class PERIODE {
  public:
    explicit PERIODE(int period);
    ~PERIODE();
    PERIODE(const PERIODE&) = delete;
    PERIODE& operator=(const PERIODE&) = delete;

    virtual void Tick(MSG_REC* record) = 0;

    static void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);

    PERIODE* next;
    int32_t period;
    int32_t countdown;

    static PERIODE* s_first;
};
