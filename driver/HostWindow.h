// The installer's hidden host window: it runs the install sequence once, from a command it
// posts itself, then closes, which ends the message loop. It owns the installer's dialogs and
// message boxes.
#pragma once
#include "driver/InstallCommand.h"
#include "framework/Fenetre.h"

// The installer's command line (at most 511 characters), filled at start-up.
extern char g_CommandLine[kCommandLineCapacity];

enum { kCommandRunInstall = 400 };

class H_FEN : public MAIN_FENETRE {
  public:
    // Creates the window, never shown.
    explicit H_FEN(const char* title);

    void OnCreated() override;
    void OnCommand(MSG_REC* record) override;

    // Survey, confirmation, extraction, pre-install program, install.exe. 1 when the sequence
    // ran to its end, 0 when it stopped early.
    int RunInstall(const char* commandLine);
};
