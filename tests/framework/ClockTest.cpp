#include <gtest/gtest.h>
#include <vector>
#include "framework/Application.h"
#include "FrameworkTestSupport.h"

namespace {

// A fake time of day: the readings the clock gets, one per call.
std::vector<SYSTEMTIME> g_readings;
size_t g_nextReading;

void WINAPI FakeTime(SYSTEMTIME* time) {
    *time = g_readings[g_nextReading < g_readings.size() ? g_nextReading++ : g_readings.size() - 1];
}

SYSTEMTIME At(int hour, int minute, int second, int ms) {
    SYSTEMTIME t = {};
    t.wYear = 2026;
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    t.wSecond = static_cast<WORD>(second);
    t.wMilliseconds = static_cast<WORD>(ms);
    return t;
}

class FakeClock : public ::testing::Test {
  protected:
    void SetUp() override { real_ = SetClockSource(FakeTime); }
    void TearDown() override { SetClockSource(real_); }
    ClockSource real_;
};

TEST_F(FakeClock, KeepsGrowingAcrossMidnights) {
    g_readings = {At(23, 59, 59, 900), At(0, 0, 0, 100), At(0, 0, 1, 0), At(23, 59, 59, 0),
                  At(0, 0, 0, 0)};
    g_nextReading = 0;
    uint32_t beforeMidnight = MillisecondClock();
    uint32_t afterMidnight = MillisecondClock();
    EXPECT_EQ(200u, afterMidnight - beforeMidnight);
    uint32_t later = MillisecondClock();
    EXPECT_EQ(900u, later - afterMidnight);
    uint32_t nextEvening = MillisecondClock();
    EXPECT_EQ(86399000u - 1000u, nextEvening - later);
    EXPECT_EQ(1000u, MillisecondClock() - nextEvening); // the second midnight
}

TEST(Clock, RealClockNeverGoesBackAfterAFakeDayAhead) {
    ClockSource real = SetClockSource(FakeTime);
    g_readings = {At(23, 59, 59, 999)};
    g_nextReading = 0;
    uint32_t ahead = MillisecondClock();
    SetClockSource(real);
    EXPECT_GT(MillisecondClock(), ahead);
}

class CountingJob : public PERIODE {
  public:
    explicit CountingJob(int period) : PERIODE(period) {}
    void Tick(MSG_REC* record) override {
        ++ticks;
        last = *record;
    }
    int ticks = 0;
    MSG_REC last = {};
};

TEST(Periodic, EachJobTicksEveryPeriodthCall) {
    CountingJob everyTwo(2);
    CountingJob everyThree(3);
    CountingJob never(0); // a period below 1 never comes round
    HWND window = reinterpret_cast<HWND>(0x77);
    for (int i = 0; i < 6; ++i)
        PERIODE::TimerProc(window, WM_TIMER, 5, 1000 + i);
    EXPECT_EQ(3, everyTwo.ticks);
    EXPECT_EQ(2, everyThree.ticks);
    EXPECT_EQ(0, never.ticks);
    EXPECT_EQ(window, everyThree.last.window);
    EXPECT_EQ(static_cast<uint32_t>(WM_TIMER), everyThree.last.message);
    EXPECT_EQ(5u, everyThree.last.wParam);
    EXPECT_EQ(1005, everyThree.last.lParam);
    EXPECT_EQ(0, everyThree.last.result);
}

class SelfEndingJob final : public PERIODE {
  public:
    SelfEndingJob() : PERIODE(1) {}
    void Tick(MSG_REC*) override { delete this; }
};

TEST(Periodic, AJobMayEndItselfDuringItsTickAndASystemTimerDrivesIt) {
    CountingJob survivor(1);
    new SelfEndingJob();
    PERIODE::TimerProc(nullptr, WM_TIMER, 1, 0);
    EXPECT_EQ(1, survivor.ticks);
    EXPECT_EQ(&survivor, PERIODE::s_first);

    UINT_PTR timer = SetTimer(nullptr, 0, 10, PERIODE::TimerProc);
    ASSERT_NE(0u, timer);
    struct Watch : PERIODE {
        Watch() : PERIODE(2) {}
        void Tick(MSG_REC*) override { done = true; }
        volatile bool done = false;
    } watch;
    EXPECT_TRUE(PumpUntil(watch.done, 5000));
    KillTimer(nullptr, timer);
}

} // namespace
