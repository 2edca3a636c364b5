#include "framework/Clock.h"

#include "support/NewestFirstList.h"

static uint32_t s_lastSeconds;
static ClockSource s_clockSource = GetSystemTime;

ClockSource SetClockSource(ClockSource source) {
    ClockSource old = s_clockSource;
    s_clockSource = source;
    return old;
}

uint32_t MillisecondClock() {
    SYSTEMTIME now;
    s_clockSource(&now);
    uint32_t seconds = now.wSecond + 60u * now.wMinute + 3600u * now.wHour;
    // Past a midnight: move on by whole days so the value keeps growing.
    if (seconds < s_lastSeconds) seconds += ((s_lastSeconds - seconds + 86399u) / 86400u) * 86400u;
    s_lastSeconds = seconds;
    return seconds * 1000u + now.wMilliseconds;
}

PERIODE* PERIODE::s_first;

PERIODE::PERIODE(int period_) : next(s_first), period(period_), countdown(period_) {
    s_first = this;
}

PERIODE::~PERIODE() {
    RemoveFromChain(s_first, this, &PERIODE::next);
}

void CALLBACK PERIODE::TimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time) {
    MSG_REC record = {window, message, timerId, static_cast<int32_t>(time), 0, 0};
    for (PERIODE* job = s_first; job;) {
        // A tick may end its own job.
        PERIODE* following = job->next;
        if (--job->countdown == 0) {
            job->countdown = job->period;
            job->Tick(&record);
        }
        job = following;
    }
}
