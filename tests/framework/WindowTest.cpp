#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "framework/Application.h"
#include "framework/Dialog.h"
#include "FrameworkTestSupport.h"

namespace {

// An application for the window tests: CanQuit is the test's to decide.
class TestApp : public MAIN {
  public:
    TestApp() : MAIN("FwWindowApp", GetModuleHandleA(nullptr), nullptr, nullptr, SW_HIDE) {}
    int CanQuit() override { return allowQuit; }
    int allowQuit = 1;
};

// A top-level window that journals the handlers it reaches.
class Probe : public MAIN_FENETRE {
  public:
    explicit Probe(std::vector<std::string>* journal) : MAIN_FENETRE(nullptr, "Probe"), j(journal) {
        style = WS_OVERLAPPEDWINDOW; // hidden
        x = y = 10;
        width = height = 200;
    }
    int CanClose() override { return refuseClose ? 0 : 1; }
    void OnCreate(MSG_REC*) override { j->push_back("OnCreate"); }
    void OnCreated() override { j->push_back(handle ? "OnCreated" : "OnCreated without window"); }
    void OnCommand(MSG_REC* r) override { j->push_back("OnCommand " + std::to_string(r->wParam)); }
    void OnSysCommand(MSG_REC*) override { j->push_back("OnSysCommand"); }
    void OnClose(MSG_REC* r) override {
        j->push_back("OnClose");
        MAIN_FENETRE::OnClose(r);
    }
    void OnHLineUp(int position) override { j->push_back("OnHLineUp " + std::to_string(position)); }
    void OnHThumbTrack(int position, int bar) override {
        j->push_back("OnHThumbTrack " + std::to_string(position) + " " + std::to_string(bar));
    }
    void OnQuit() override { j->push_back("OnQuit"); }
    int refuseClose = 0;
    std::vector<std::string>* j;
};

// A child window with a control id.
class Child : public FENETRE {
  public:
    Child(FEN_OBJ* owner, int id, const char* label, std::vector<std::string>* journal,
          int refuses = 0)
        : FENETRE(owner, label), j(journal), label_(label), refuses_(refuses) {
        menuId = id;
        x = y = 0;
        width = height = 20;
    }
    ~Child() override { j->push_back(label_ + " deleted"); }
    int CanClose() override { return refuses_ ? 0 : 1; }
    void OnControlCommand(MSG_REC*) override { j->push_back(label_ + " command"); }
    std::vector<std::string>* j;

  private:
    std::string label_;
    int refuses_;
};

class Windows : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureWindowClasses();
        probe = new Probe(&journal);
        ASSERT_NE(nullptr, probe->Create());
        window = probe->handle;
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        MSG quit; // the main window's end posted one; later tests run loops of their own
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        delete probe; // a main window object outlives its window
        if (!PALETTE::s_dialogBrush) PALETTE::MakeDrawingResources();
    }
    TestApp app;
    std::vector<std::string> journal;
    Probe* probe = nullptr;
    HWND window = nullptr;
};

TEST_F(Windows, CreateGivesOnCreatedOnceAndNeverOnCreate) {
    EXPECT_EQ((std::vector<std::string>{"OnCreated"}), journal);
    EXPECT_EQ(nullptr, probe->Create()); // already has a window
    EXPECT_EQ(window, probe->handle);
    EXPECT_EQ(1u, journal.size());
    // Bound at its first message after creation.
    SendMessageA(window, WM_NULL, 0, 0);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(probe), GetWindowLongPtrA(window, 0));
    // A later WM_CREATE from other code does reach OnCreate.
    SendMessageA(window, WM_CREATE, 0, 0);
    EXPECT_EQ("OnCreate", journal.back());
}

TEST_F(Windows, FailedCreationStillCallsOnCreated) {
    Probe* orphan = new Probe(&journal);
    orphan->style = WS_CHILD; // a child window without a parent cannot be made
    EXPECT_EQ(nullptr, orphan->Create());
    EXPECT_EQ("OnCreated without window", journal.back());
    delete orphan;
}

TEST_F(Windows, CloseRefusedByCanCloseLeavesTheWindowOpen) {
    probe->refuseClose = 1;
    EXPECT_EQ(0, SendMessageA(window, WM_CLOSE, 0, 0));
    EXPECT_TRUE(IsWindow(window));
    probe->refuseClose = 0;
    app.allowQuit = 0; // the application refuses as well
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(Windows, SysCommandIsPassedToTheDefaultProcedure) {
    // The default procedure turns the system menu's close item into WM_CLOSE.
    probe->refuseClose = 1;
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ((std::vector<std::string>{"OnCreated", "OnSysCommand", "OnClose"}), journal);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(Windows, CommandGoesToTheOldestMatchingChildElseToOnCommand) {
    new Child(probe, 5, "older", &journal);
    new Child(probe, 5, "newer", &journal);
    new Child(probe, 6, "six", &journal);
    journal.clear();
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(5, BN_CLICKED), 0);
    SendMessageA(window, WM_COMMAND, 7, 0);
    EXPECT_EQ((std::vector<std::string>{"older command", "OnCommand 7"}), journal);
}

// A plain object that claims every id: it has no OnControlCommand.
class Claimer : public OBJET {
  public:
    explicit Claimer(OBJET* owner) : OBJET(owner, 0) {}
    int HasId(int) override { return 1; }
};

TEST_F(Windows, CommandPassesOverAPlainObjectThatClaimsTheId) {
    new Claimer(probe); // the oldest child
    new Child(probe, 5, "window", &journal);
    journal.clear();
    SendMessageA(window, WM_COMMAND, 5, 0);
    SendMessageA(window, WM_COMMAND, 6, 0);
    EXPECT_EQ((std::vector<std::string>{"window command", "OnCommand 6"}), journal);
}

TEST_F(Windows, AnUnboundWindowWhoseHandleADialogHoldsGetsTheDefaultProcedure) {
    Child* child = new Child(probe, 3, "child", &journal);
    ASSERT_NE(nullptr, child->Create());
    M_DIALOG dialog(nullptr, "AUTO_KVR");
    dialog.handle = child->handle; // newer than the window object: found first
    SendMessageA(child->handle, WM_NULL, 0, 0);
    EXPECT_EQ(0, GetWindowLongPtrA(child->handle, 0));
    dialog.handle = nullptr;
    SendMessageA(child->handle, WM_NULL, 0, 0);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(child), GetWindowLongPtrA(child->handle, 0));
}

TEST_F(Windows, ScrollCodesReachTheirHandlersAndUnknownCodesNone) {
    journal.clear();
    EXPECT_EQ(0, SendMessageA(window, WM_HSCROLL, MAKEWPARAM(SB_LINEUP, 3), 0));
    SendMessageA(window, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 40), 9);
    EXPECT_EQ(0, SendMessageA(window, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 1), 0));
    EXPECT_EQ((std::vector<std::string>{"OnHLineUp 3", "OnHThumbTrack 40 9"}), journal);
}

TEST_F(Windows, QueryEndSessionNeedsTheApplicationAndTheWholeTree) {
    Child* child = new Child(probe, 1, "child", &journal, 1);
    child->Create();
    app.allowQuit = 0;
    EXPECT_EQ(0, SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
    app.allowQuit = 1;
    EXPECT_EQ(0, SendMessageA(window, WM_QUERYENDSESSION, 0, 0)); // the child refuses
    EXPECT_TRUE(IsWindow(window));
    DestroyWindow(child->handle); // the child window goes and takes its object along
    EXPECT_EQ("child deleted", journal.back());
    EXPECT_EQ(1, SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
    EXPECT_FALSE(IsWindow(window)); // already closed
    EXPECT_EQ("OnQuit", journal.back());
}

TEST_F(Windows, CtlColorEditIsDefaultUnlessControlColouringIsOn) {
    HDC dc = GetDC(window);
    LRESULT standard = SendMessageA(window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), 0);
    EXPECT_NE(0, standard); // the default procedure's brush
    EXPECT_NE(reinterpret_cast<LRESULT>(PALETTE::s_controlBrush), standard);
    PALETTE::s_controlColouring = 1;
    LRESULT coloured = SendMessageA(window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), 0);
    PALETTE::s_controlColouring = 0;
    EXPECT_EQ(reinterpret_cast<LRESULT>(PALETTE::s_controlBrush), coloured);
    EXPECT_EQ(PALETTE::s_controlBackColour, GetBkColor(dc));
    ReleaseDC(window, dc);
}

TEST_F(Windows, AWindowOutlivingItsObjectFallsBackToTheDefaultProcedure) {
    std::vector<std::string> gone;
    Child* orphan = new Child(probe, 3, "orphan", &gone);
    ASSERT_NE(nullptr, orphan->Create());
    HWND orphanWindow = orphan->handle;
    SendMessageA(orphanWindow, WM_NULL, 0, 0); // bound
    delete orphan;
    EXPECT_EQ(0, GetWindowLongPtrA(orphanWindow, 0));
    SendMessageA(orphanWindow, WM_CLOSE, 0, 0); // the default procedure destroys it
    EXPECT_FALSE(IsWindow(orphanWindow));
}

TEST_F(Windows, DestroyingAParentWithLiveChildObjectsIsSafe) {
    std::vector<std::string> gone;
    FENETRE* parent = new Child(probe, 1, "parent", &gone);
    parent->style = WS_CHILD;
    ASSERT_NE(nullptr, parent->Create());
    Child* kid = new Child(parent, 2, "kid", &gone);
    ASSERT_NE(nullptr, kid->Create());
    HWND kidWindow = kid->handle;
    SendMessageA(kidWindow, WM_NULL, 0, 0); // bound
    int32_t live = OBJET::s_liveCount;
    // The parent's object goes first and takes the child object with it while the child
    // window still exists; the child window's own WM_DESTROY must then find nothing.
    DestroyWindow(parent->handle);
    EXPECT_EQ((std::vector<std::string>{"parent deleted", "kid deleted"}), gone);
    EXPECT_EQ(live - 2, OBJET::s_liveCount);
    EXPECT_FALSE(IsWindow(kidWindow));
}

TEST_F(Windows, MainWindowOffersRegisteredMessagesToTheReceivers) {
    std::vector<LogLine> lines;
    RecordingChannel payload(69, &lines);
    RecordingChannel all(0, &lines);
    char text[] = "message du test";
    UINT number = RegisterWindowMessageA("QorPassLogMess");
    EXPECT_EQ(0, SendMessageA(window, number, 0x10045, reinterpret_cast<LPARAM>(text)));
    EXPECT_EQ((std::vector<LogLine>{{69, text}, {0, text}}), lines);
}

TEST_F(Windows, DestroyingTheMainWindowPostsQuitAndKeepsTheObject) {
    int32_t live = OBJET::s_liveCount;
    DestroyWindow(window);
    EXPECT_EQ("OnQuit", journal.back());
    EXPECT_EQ(live, OBJET::s_liveCount);
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Windows, CenterOnScreenCentresWithTheOffset) {
    probe->CenterOnScreen(10, -4);
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 200) / 2 + 10, r.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 200) / 2 - 4, r.top);
}

} // namespace
