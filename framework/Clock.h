// The framework's clock and its periodic timer jobs.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "support/MessageLog.h"

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
