// The installer's hidden host window: it runs the install sequence once, from a command it
// posts itself, then closes, which ends the message loop. It owns the installer's dialogs and
// message boxes.
#pragma once
#include "driver/InstallCommand.h"
#include "driver/InstallFailure.h"
#include "framework/Fenetre.h"

enum { kCommandRunInstall = 400, kSequenceRanBefore = -1 };

class H_FEN : public MAIN_FENETRE {
  public:
    // Creates the window, never shown.
    explicit H_FEN(const char* title);

    void OnCreated() override;
    void OnCommand(MSG_REC* record) override;

    // Survey, confirmation, extraction, pre-install program, install.exe. 1 when the sequence
    // ran to its end, 0 when it stopped early; failure says why when it was not the user's
    // choice nor the payload's. With kRunWait in options, install.exe is waited for and
    // outcome gets the exit code the run ends with when nothing failed; with kRunCleanup, what
    // was extracted is removed on every way out.
    int RunInstall(const char* commandLine, InstallFailure& failure);
    // Names the failure: a message box, or with "auto=1" the log channels.
    void ReportFailure(const InstallFailure& failure, const char* commandLine);
    // The whole run, at most once per process: the run options, the log, RunInstall, the
    // report, the application's exit code. Returns the failure's kind, or kSequenceRanBefore.
    int RunSequence(const char* commandLine);

    uint32_t options = 0;      // the installer's run options (kRunWait, kRunCleanup)
    unsigned long outcome = 0; // with kRunWait and no failure: the exit code
};
