// Shared helpers of the framework tests: a log channel that records, a closer for message
// boxes, and one-time registration of the window classes.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "support/LogChannel.h"

struct LogLine {
    int channel;
    std::string text;
    bool operator==(const LogLine& other) const {
        return channel == other.channel && text == other.text;
    }
};

// Every recording channel appends to one journal, so the order across channels shows.
class RecordingChannel : public LogChannel {
  public:
    RecordingChannel(int number, std::vector<LogLine>* journal)
        : LogChannel(number), journal_(journal), number_(number) {}
    void ReceiveText(const char* text) override { journal_->push_back({number_, text}); }

  private:
    std::vector<LogLine>* journal_;
    int number_;
};

// Watches the calling thread from a helper thread and presses `button` on every message box
// that thread shows, recording caption and text. Stops when destroyed.
class BoxCloser {
  public:
    explicit BoxCloser(int button = IDOK);
    ~BoxCloser();
    BoxCloser(const BoxCloser&) = delete;
    BoxCloser& operator=(const BoxCloser&) = delete;

    // Safe to read once the boxes have returned on the watched thread.
    std::vector<std::string> captions;
    std::vector<std::string> texts;

  private:
    static DWORD WINAPI Watch(void* self);
    DWORD watched_;
    int button_;
    volatile LONG stop_;
    HANDLE thread_;
};

// Registers "OW_CHILD" and "OW_MAIN" for this module once per process.
void EnsureWindowClasses();

// Runs the thread's message loop until `done` turns true or the time is up; true when done.
bool PumpUntil(const volatile bool& done, int milliseconds);
