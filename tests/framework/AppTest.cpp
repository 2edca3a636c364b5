#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>
#include "framework/Application.h"
#include "FrameworkTestSupport.h"

namespace {

HINSTANCE Self() {
    return GetModuleHandleA(nullptr);
}

// A main window that journals what it sees and runs a step when it is created.
class ScriptedWindow : public MAIN_FENETRE {
  public:
    ScriptedWindow(const char* title, std::vector<std::string>* journal)
        : MAIN_FENETRE(nullptr, title), j(journal) {}
    void OnCreated() override { PostMessageA(handle, WM_APP, 0, 0); }
    void OnOtherMessage(MSG_REC* record) override {
        if (record->message >= WM_APP)
            j->push_back("WM_APP+" + std::to_string(record->message - WM_APP));
        if (onApp && record->message == WM_APP) onApp(this);
        MAIN_FENETRE::OnOtherMessage(record);
    }
    void OnQuit() override { j->push_back("OnQuit"); }
    void (*onApp)(ScriptedWindow*) = nullptr;
    std::vector<std::string>* j;
};

class ScriptedApp : public MAIN {
  public:
    ScriptedApp(const char* name, HINSTANCE previous, void (*onApp)(ScriptedWindow*))
        : MAIN(name, Self(), previous, nullptr, SW_HIDE), onApp_(onApp) {}
    int RegisterClasses() override {
        journal.push_back("RegisterClasses");
        EnsureWindowClasses();
        return 1;
    }
    int InitInstance() override {
        ScriptedWindow* w = new ScriptedWindow(name, &journal);
        w->onApp = onApp_;
        mainWindow = w;
        w->Create();
        return 0;
    }
    void ShowMainWindow(int value) override { journal.push_back("Show " + std::to_string(value)); }
    void OnInstanceMessage(int value) override {
        journal.push_back("Instance " + std::to_string(value));
    }
    std::vector<std::string> journal;

  private:
    void (*onApp_)(ScriptedWindow*);
};

class Application : public ::testing::Test {
  protected:
    void SetUp() override { g_QuitSeen = 0; }
    void TearDown() override {
        g_QuitSeen = 0;
        if (!PALETTE::s_dialogBrush) PALETTE::MakeDrawingResources();
    }
};

TEST_F(Application, StartRunsTheLoopUntilTheMainWindowCloses) {
    ScriptedApp app("FwStartApp", nullptr,
                    [](ScriptedWindow* w) { PostMessageA(w->handle, WM_CLOSE, 0, 0); });
    EXPECT_EQ(&app, g_CurrentApp);
    EXPECT_EQ(&app, g_CurrentInstance);
    app.Start();
    EXPECT_EQ((std::vector<std::string>{"RegisterClasses", "WM_APP+0", "OnQuit"}), app.journal);
    EXPECT_EQ(nullptr, app.mainWindow);
    EXPECT_EQ(nullptr, PALETTE::s_dialogBrush); // released with the main window object
    EXPECT_EQ(0, app.exitCode);
}

TEST_F(Application, WithAPreviousInstanceTheClassesAreNotRegistered) {
    EnsureWindowClasses();
    ScriptedApp app("FwPreviousApp", Self(), [](ScriptedWindow* w) { DestroyWindow(w->handle); });
    app.Start();
    EXPECT_EQ((std::vector<std::string>{"WM_APP+0", "OnQuit"}), app.journal);
}

TEST_F(Application, DestructionUndoesTheGlobals) {
    {
        MAIN app("FwGlobals", Self(), nullptr, nullptr, SW_HIDE);
        EXPECT_EQ(Self(), CurrentModule());
    }
    EXPECT_EQ(nullptr, g_CurrentApp);
    EXPECT_EQ(nullptr, g_CurrentInstance);
    EXPECT_EQ(nullptr, CurrentModule());
    EXPECT_EQ(1, ApplicationAllowsQuit());
}

TEST_F(Application, QuitTakenByPumpPendingStopsRunAtTheNextMessage) {
    ScriptedApp app("FwQuitApp", nullptr, [](ScriptedWindow* w) {
        PostQuitMessage(0);
        g_CurrentApp->PumpPending(); // takes the quit message inside this handler
        EXPECT_EQ(1, g_QuitSeen);
        PostMessageA(w->handle, WM_APP + 1, 0, 0);
        DestroyWindow(w->handle); // its own quit message goes the same way
    });
    app.Start();
    // The loop stopped on the next message without dispatching it.
    EXPECT_EQ((std::vector<std::string>{"RegisterClasses", "WM_APP+0", "OnQuit"}), app.journal);
    MSG left;
    while (PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE)) {
    }
}

struct CountingTime {
    static void WINAPI Read(SYSTEMTIME* time) {
        ++s_reads;
        GetSystemTime(time);
    }
    static int s_reads;
};
int CountingTime::s_reads;

TEST_F(Application, PumpAndWaitDispatchesWhatArrivesAndWaitsWithoutSpinning) {
    EnsureWindowClasses();
    ScriptedApp app("FwPumpApp", nullptr, nullptr);
    app.InitInstance(); // posts WM_APP to itself
    app.PumpAndWait(0);
    EXPECT_EQ((std::vector<std::string>{"WM_APP+0"}), app.journal);

    // A message that arrives in the middle of the period is dispatched before the end.
    struct Late {
        HWND window;
        static DWORD WINAPI Post(void* self) {
            Sleep(50);
            PostMessageA(static_cast<Late*>(self)->window, WM_APP + 2, 0, 0);
            return 0;
        }
    } late = {app.mainWindow->handle};
    HANDLE poster = CreateThread(nullptr, 0, Late::Post, &late, 0, nullptr);
    // Each pass reads the clock: a loop that spins reads it thousands of times.
    ClockSource real = SetClockSource(CountingTime::Read);
    CountingTime::s_reads = 0;
    DWORD start = GetTickCount();
    app.PumpAndWait(300);
    DWORD elapsed = GetTickCount() - start;
    SetClockSource(real);
    WaitForSingleObject(poster, INFINITE);
    CloseHandle(poster);
    EXPECT_EQ("WM_APP+2", app.journal.back());
    EXPECT_GE(elapsed, 250u);
    EXPECT_LT(elapsed, 3000u);
    EXPECT_LT(CountingTime::s_reads, 20);
    DestroyWindow(app.mainWindow->handle);
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    delete app.mainWindow;
    app.mainWindow = nullptr;
}

TEST_F(Application, ASecondInstanceObjectIsReportedOnceAndBecomesCurrent) {
    MAIN first("FwFirstApp", Self(), nullptr, nullptr, SW_HIDE);
    BoxCloser closer;
    {
        MAIN_INSTANCE second(Self());
        EXPECT_EQ(&second, g_CurrentInstance);
    }
    ASSERT_EQ(1u, closer.texts.size());
    EXPECT_EQ("Cr\xE9"
              "ation multiple MAIN_INSTANCE ",
              closer.texts[0]);
    EXPECT_EQ("FwFirstApp", closer.captions[0]);
}

TEST_F(Application, ShowMessageKeepsItsTextCutTo255AndShowsItAgain) {
    MAIN app("FwMessageApp", Self(), nullptr, nullptr, SW_HIDE);
    FEN_OBJ owner(nullptr);
    BoxCloser closer;
    std::string longText(300, 'm');
    EXPECT_EQ(IDOK, owner.ShowMessage(longText.c_str(), MB_OK));
    EXPECT_EQ(IDOK, owner.ShowMessage(nullptr, MB_OK));
    EXPECT_EQ(IDOK, owner.ShowMessage("Aucune information d'installation !", MB_OK));
    ASSERT_EQ(3u, closer.texts.size());
    EXPECT_EQ(std::string(255, 'm'), closer.texts[0]);
    EXPECT_EQ(std::string(255, 'm'), closer.texts[1]);
    EXPECT_EQ("Aucune information d'installation !", closer.texts[2]);
    EXPECT_EQ("FwMessageApp", closer.captions[2]);
}

// A foreign top-level window that counts the instance messages it gets and can answer queries.
struct Sink {
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == s_number) {
            s_heard.push_back({static_cast<int>(wParam), static_cast<int>(lParam)});
            if (wParam == 0xFFFF && s_answers)
                SendMessageA(reinterpret_cast<HWND>(lParam), s_number, 0x100,
                             reinterpret_cast<LPARAM>(window));
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    static HWND Create() {
        WNDCLASSA c = {};
        c.lpfnWndProc = Proc;
        c.hInstance = Self();
        c.lpszClassName = "FwInstanceSink";
        RegisterClassA(&c); // fails harmlessly the second time
        return CreateWindowExA(0, "FwInstanceSink", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               Self(), nullptr);
    }
    static UINT s_number;
    static bool s_answers;
    static std::vector<std::pair<int, int>> s_heard;
};
UINT Sink::s_number;
bool Sink::s_answers;
std::vector<std::pair<int, int>> Sink::s_heard;

TEST_F(Application, InstanceProtocolAnswersQueriesFromOtherWindowsOnly) {
    EnsureWindowClasses();
    ScriptedApp app("FwInstanceApp", nullptr, nullptr);
    app.InitInstance();
    HWND main = app.mainWindow->handle;
    HWND sink = Sink::Create();
    ASSERT_NE(nullptr, sink);
    Sink::s_number = app.messageNumber;
    Sink::s_heard.clear();
    Sink::s_answers = false;
    LPARAM mainParam = reinterpret_cast<LPARAM>(main);
    LPARAM sinkParam = reinterpret_cast<LPARAM>(sink);

    SendMessageA(main, app.messageNumber, 0xFFFF, mainParam); // our own query: no answer
    EXPECT_TRUE(Sink::s_heard.empty());
    SendMessageA(main, app.messageNumber, 0xFFFF, sinkParam);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{0x100, static_cast<int>(mainParam)}}),
              Sink::s_heard);

    SendMessageA(main, app.messageNumber, 0x100, mainParam); // an answer from ourselves
    EXPECT_EQ(nullptr, app.otherInstanceWindow);
    SendMessageA(main, app.messageNumber, 0x100, sinkParam);
    EXPECT_EQ(sink, app.otherInstanceWindow);

    app.journal.clear();
    SendMessageA(main, app.messageNumber, 1, 11);
    SendMessageA(main, app.messageNumber, 2, 22);
    SendMessageA(main, app.messageNumber, 0, 33);
    SendMessageA(main, app.messageNumber, 0x101, 44);
    EXPECT_EQ((std::vector<std::string>{"Show 11", "Instance 22"}), app.journal);

    // A broadcast query is answered by the other instance before it returns.
    app.otherInstanceWindow = nullptr;
    Sink::s_answers = true;
    app.BroadcastInstanceQuery();
    EXPECT_EQ(sink, app.otherInstanceWindow);

    DestroyWindow(sink);
    DestroyWindow(main);
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    delete app.mainWindow;
    app.mainWindow = nullptr;
}

// An application that looks for a running instance and hands over to it.
class HandingOverApp : public ScriptedApp {
  public:
    HandingOverApp(int handOver)
        : ScriptedApp("FwSingleApp", nullptr, nullptr), handOver_(handOver) {}
    int WantsSingleInstance() override { return 1; }
    int InitInstance() override {
        ScriptedApp::InitInstance();
        window = mainWindow->handle;
        return 0;
    }
    int HandOver(int* value) override {
        if (handOver_) *value = 77;
        return handOver_;
    }
    void Run() override { journal.push_back("Run"); }
    HWND window = nullptr;

  private:
    int handOver_;
};

TEST_F(Application, StartHandsOverToAnInstanceAlreadyRunning) {
    HWND running = Sink::Create();
    ASSERT_NE(nullptr, running);
    Sink::s_answers = true;
    const std::pair<int, int> expected[] = {{1, 0}, {2, 77}}; // show it, or pass a value
    for (int handOver = 0; handOver < 2; ++handOver) {
        HandingOverApp app(handOver);
        Sink::s_number = app.messageNumber;
        Sink::s_heard.clear();
        app.Start();
        EXPECT_EQ(nullptr, app.mainWindow);
        EXPECT_EQ(running, app.otherInstanceWindow);
        EXPECT_EQ(handOver == 0, !IsWindow(app.window)) << "only showing the other ends this one";
        if (IsWindow(app.window)) DestroyWindow(app.window);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        ASSERT_EQ(2u, Sink::s_heard.size()); // the query, then the posted request
        EXPECT_EQ(expected[handOver], Sink::s_heard[1]);
        EXPECT_EQ(0, std::count(app.journal.begin(), app.journal.end(), "Run")); // no loop
        PALETTE::MakeDrawingResources();
    }
    Sink::s_answers = false;
    DestroyWindow(running);
}

TEST(ApplicationStartUp, ClassesCarryTheSharedIconsAndCursor) {
    // Start-up replaces the application icon before the classes are registered.
    UnregisterClassA("OW_CHILD", Self());
    UnregisterClassA("OW_MAIN", Self());
    HICON systemIcon = PALETTE::s_appIcon;
    HICON ownIcon = LoadIconA(nullptr, IDI_WARNING);
    PALETTE::s_appIcon = ownIcon;
    ASSERT_EQ(1, RegisterWindowClasses(Self()));
    EXPECT_EQ(0, RegisterWindowClasses(Self())); // already there
    PALETTE::s_appIcon = systemIcon;

    WNDCLASSA child, main;
    ASSERT_TRUE(GetClassInfoA(Self(), "OW_CHILD", &child));
    ASSERT_TRUE(GetClassInfoA(Self(), "OW_MAIN", &main));
    EXPECT_EQ(LoadIconA(nullptr, IDI_APPLICATION), child.hIcon);
    EXPECT_EQ(ownIcon, main.hIcon);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), child.hCursor);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), main.hCursor);
    EXPECT_EQ(static_cast<UINT>(CS_DBLCLKS), child.style);
    EXPECT_EQ(0u, main.style);
    EXPECT_EQ(4, child.cbWndExtra);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), child.hbrBackground);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1), main.hbrBackground);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(FENETRE::PasseWndProc), main.lpfnWndProc);
}

} // namespace
