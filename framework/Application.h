// The application object and its message loop: registers the window classes, creates the main
// window and runs the loop. What lower layers need of the current application is in
// AppInstance.h; the clock and the timer jobs are in Clock.h.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "framework/AppInstance.h"
#include "framework/Clock.h"
#include "framework/Fenetre.h"
#include "support/MessageLog.h"

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

extern MAIN* g_CurrentApp;
extern int32_t g_QuitSeen; // set when PumpPending meets WM_QUIT; Run then stops
