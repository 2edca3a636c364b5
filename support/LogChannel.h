// Numbered log channels: failures deep in the system are reported as texts on a channel
// number, then on channel 0; a report to a channel nobody added goes nowhere.
#pragma once
#include <stdint.h>

enum LogChannelNumber : int {
    kLogAll = 0,
    kLogDialog = 67,   // "Erreur ProcessDialog %d"
    kLogPayload = 69,  // decompression, checkword and damaged-entry reports
    kLogProcess = 101, // "Erreur CreateProcess %d"
    kLogRun = 102,     // the run's steps for the installation log: start, folder, files, programs
};

class LogChannel {
  public:
    // A channel is in the registry for exactly its lifetime (newest first).
    explicit LogChannel(int number);
    virtual ~LogChannel();
    LogChannel(const LogChannel&) = delete;
    LogChannel& operator=(const LogChannel&) = delete;

    virtual void ReceiveText(const char* text) = 0;

    LogChannel* next;
    uint16_t number;
};

LogChannel* FindLogChannel(int number);
void ReportToLog(int number, const char* text);

// Shared texts, zero-filled at start.
extern char g_DefaultLogText[256];
extern char g_ReportBuffer[256];
