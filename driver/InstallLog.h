// The installation log that "log=PATH" on the command line asks for: every text reported on the
// log channels (the run's steps and its failures) becomes one line of PATH, after the local
// date and time. The file is only ever appended to.
#pragma once
#include <windows.h>

#include "support/LogChannel.h"

class InstallLog : public LogChannel {
  public:
    // Owns file; hears channel 0, which every report reaches.
    explicit InstallLog(HANDLE file);
    ~InstallLog() override;

    void ReceiveText(const char* text) override;

  private:
    void Put(const char* bytes, int length);
    HANDLE file_;
};

// The log the command line names, or none: without "log=", or when PATH cannot be opened or is
// refused, the installation goes on without a log. Refused: a link or reparse point, a file with
// another name too (a hard link), anything but a file on disk; and, elevated, a file whose owner
// is not the user, Administrators or SYSTEM, or one reached through a link in its folders.
InstallLog* OpenInstallLog(const char* commandLine);

// Owns the log of a run, when there is one.
struct InstallLogOwner {
    InstallLog* log;
    ~InstallLogOwner() { delete log; }
};
