// Receivers of registered window messages: each registers a message under its name and takes
// part in one process-wide registry, newest first. The main window offers every message to it.
#pragma once
#include <windows.h>
#include <stdint.h>

// The record handed to every window handler, dialog handler and receiver. Windows build it with
// result 0, dialogs with result 1; useDefault asks for the default procedure afterwards.
struct MSG_REC {
    HWND window;
    uint32_t message;
    uint32_t wParam;
    int32_t lParam;
    int32_t result;
    uint8_t useDefault;
};

class APPLI_MSG {
  public:
    // A missing or empty name has nothing to receive: such a receiver stays out of the registry.
    explicit APPLI_MSG(const char* name);
    ~APPLI_MSG();
    APPLI_MSG(const APPLI_MSG&) = delete;
    APPLI_MSG& operator=(const APPLI_MSG&) = delete;

    virtual void HandleMessage(MSG_REC* record) = 0;

    int IsRegistered() const { return registered; }

    APPLI_MSG* next;     // towards the tail (older)
    APPLI_MSG* previous; // towards the head (newer)
    uint32_t messageNumber;
    char name[128];

    static APPLI_MSG* s_head;
    static APPLI_MSG* s_tail;

  private:
    int registered;
};

// Calls every receiver whose number is the record's message, newest first; 1 if there was one.
int DispatchRegisteredMessage(MSG_REC* record);

// Turns its message into a log report: wParam's low 16 bits name the channel, lParam is the
// address of a text in this process (0 for the default log text).
class HWND_REC_LOG : public APPLI_MSG {
  public:
    explicit HWND_REC_LOG(const char* name) : APPLI_MSG(name) {}
    void HandleMessage(MSG_REC* record) override;
};
