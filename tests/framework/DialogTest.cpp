#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "framework/Application.h"
#include "framework/Dialog.h"
#include "FrameworkTestSupport.h"
#include <prsht.h>

namespace {

struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A dialog on the test template that posts itself a script once it starts and journals
// what it sees. WM_APP journals whether the dialog is still running.
class ScriptedDialog : public M_DIALOG {
  public:
    ScriptedDialog(FEN_OBJ* owner, std::vector<Posted> script, std::vector<std::string>* journal,
                   const char* templateName = "FW_TEST_DLG")
        : M_DIALOG(owner, templateName), script_(script), j(journal) {}
    void OnInitDialog(MSG_REC* record) override {
        j->push_back(handle == record->window ? "OnInitDialog bound" : "OnInitDialog unbound");
        for (const Posted& p : script_)
            PostMessageA(handle, p.message, p.wParam, p.lParam);
        HDC dc = GetDC(handle);
        dialogBrushAnswer = SendMessageA(handle, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                         reinterpret_cast<LPARAM>(handle));
        ReleaseDC(handle, dc);
    }
    int OnOK(MSG_REC* record) override {
        int ended = M_DIALOG::OnOK(record);
        j->push_back("OnOK " + std::to_string(ended));
        return ended;
    }
    void OnCommand(MSG_REC* record) override {
        j->push_back("OnCommand " + std::to_string(record->wParam & 0xFFFF));
    }
    void OnOtherMessage(MSG_REC* record) override {
        if (record->message == WM_APP) j->push_back("still running");
        M_DIALOG::OnOtherMessage(record);
    }
    void OnEnd(int result) override { j->push_back("OnEnd " + std::to_string(result)); }
    LRESULT dialogBrushAnswer = 0;

  private:
    std::vector<Posted> script_;
    std::vector<std::string>* j;
};

class Refuser : public OBJET {
  public:
    explicit Refuser(OBJET* owner) : OBJET(owner, 0) {}
    int CanClose() override { return 0; }
};

class Dialogs : public ::testing::Test {
  protected:
    Dialogs() : app("FwDialogApp", GetModuleHandleA(nullptr), nullptr, nullptr, SW_HIDE) {}
    MAIN app;
    std::vector<std::string> journal;
};

TEST_F(Dialogs, PostedOkEndsTheDialogWithTheOkResult) {
    ScriptedDialog dialog(nullptr, {{WM_COMMAND, IDOK, 0}}, &journal);
    EXPECT_EQ(1, dialog.RunModal());
    EXPECT_EQ((std::vector<std::string>{"OnInitDialog bound", "OnEnd 1", "OnOK 1"}), journal);
    EXPECT_EQ(reinterpret_cast<LRESULT>(PALETTE::s_dialogBrush), dialog.dialogBrushAnswer);
    EXPECT_NE(PendingMarker(), dialog.handle); // keeps its old handle
    EXPECT_FALSE(IsWindow(dialog.handle));
}

// Centres itself and, when passive, shows itself before anything activates it; notes whether
// centring activated it and whether it was on screen once activated and once running.
class CentredDialog : public M_DIALOG {
  public:
    explicit CentredDialog(bool passive)
        : M_DIALOG(nullptr, "FW_TEST_SHOWN_DLG"), passive(passive) {}
    void OnInitDialog(MSG_REC*) override {
        CenterOnScreen(0, 0);
        activeAfterCentring = GetActiveWindow() == handle;
        if (passive) ShowWithoutActivating();
        PostMessageA(handle, WM_APP, 0, 0);
    }
    void OnOtherMessage(MSG_REC* record) override {
        if (record->message == WM_ACTIVATE && LOWORD(record->wParam) != WA_INACTIVE && !activated) {
            activated = true;
            visibleWhenActivated = IsWindowVisible(handle) != 0;
        }
        if (record->message == WM_APP) {
            visibleWhenRunning = IsWindowVisible(handle) != 0;
            EndWith(1);
        }
        M_DIALOG::OnOtherMessage(record);
    }
    bool passive, activeAfterCentring = true, activated = false, visibleWhenActivated = false,
                  visibleWhenRunning = false;
};

// Activating a window that is not on screen yet is what makes Wine hand it to a window manager,
// and then wait for one when the window is hidden.
TEST_F(Dialogs, CentringNeverActivatesAndAPassiveDialogIsOnScreenBeforeItIsActivated) {
    for (bool passive : {true, false}) {
        CentredDialog dialog(passive);
        EXPECT_EQ(1, dialog.RunModal()) << passive;
        EXPECT_FALSE(dialog.activeAfterCentring) << passive;
        EXPECT_TRUE(dialog.visibleWhenRunning) << passive;
        if (passive && dialog.activated) {
            EXPECT_TRUE(dialog.visibleWhenActivated);
        }
    }
}

TEST_F(Dialogs, OkIsIgnoredWhileAChildRefusesToCloseAndCancelStillEnds) {
    ScriptedDialog dialog(
        nullptr, {{WM_COMMAND, IDOK, 0}, {WM_APP, 0, 0}, {WM_COMMAND, IDCANCEL, 0}}, &journal);
    new Refuser(&dialog);
    EXPECT_EQ(0, dialog.RunModal());
    EXPECT_EQ(
        (std::vector<std::string>{"OnInitDialog bound", "OnOK 0", "still running", "OnEnd 0"}),
        journal);
}

TEST_F(Dialogs, OtherCommandsAndCloseFollowTheirRoutes) {
    ScriptedDialog dialog(nullptr, {{WM_COMMAND, 100, 0}, {WM_CLOSE, 0, 0}}, &journal);
    dialog.okResult = 7;
    EXPECT_EQ(0, dialog.RunModal());
    EXPECT_EQ((std::vector<std::string>{"OnInitDialog bound", "OnCommand 100", "OnEnd 0"}),
              journal);
}

TEST_F(Dialogs, RunDialogDeletesWhenAskedAndIgnoresNull) {
    EXPECT_EQ(0, RunDialog(nullptr, 1));
    ScriptedDialog* dialog = new ScriptedDialog(nullptr, {{WM_COMMAND, IDOK, 0}}, &journal);
    dialog->okResult = 5;
    OBJET* watched = dialog;
    dialog->watcher = &watched;
    EXPECT_EQ(5, RunDialog(dialog, 1));
    EXPECT_EQ(nullptr, watched);
}

TEST_F(Dialogs, MissingTemplateReturnsMinusOneAndReportsOnTheDialogChannel) {
    std::vector<LogLine> lines;
    RecordingChannel dialogChannel(kLogDialog, &lines);
    RecordingChannel all(kLogAll, &lines);
    ScriptedDialog dialog(nullptr, {}, &journal, "FW_NO_SUCH_TEMPLATE");
    EXPECT_EQ(-1, dialog.RunModal());
    EXPECT_TRUE(journal.empty());
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(kLogDialog, lines[0].channel);
    EXPECT_EQ(0, lines[1].channel);
    EXPECT_EQ(0u, lines[0].text.rfind("Erreur ProcessDialog ", 0)) << lines[0].text;
    EXPECT_EQ(lines[0].text, lines[1].text);
}

TEST_F(Dialogs, TemplateNameIsCutTo31) {
    std::string longName(40, 'T');
    ScriptedDialog dialog(nullptr, {}, &journal, longName.c_str());
    EXPECT_EQ(std::string(31, 'T'), dialog.templateName);
    EXPECT_EQ(1, dialog.IsDialog());
    EXPECT_EQ(1, dialog.okResult);
    EXPECT_EQ(0, dialog.modeless);
}

TEST_F(Dialogs, DialogOwnedByAWindowHasThatWindowAsParent) {
    EnsureWindowClasses();
    MAIN_FENETRE owner(nullptr, "owner");
    ASSERT_NE(nullptr, owner.Create());
    ScriptedDialog dialog(&owner, {{WM_COMMAND, IDOK, 0}}, &journal);
    EXPECT_EQ(owner.handle, dialog.parentHandle);
    EXPECT_EQ(1, dialog.RunModal());
    DestroyWindow(owner.handle);
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    PALETTE::MakeDrawingResources(); // the owner's end released them
}

TEST_F(Dialogs, PropertySheetPagesBindThroughThePageRecord) {
    ScriptedDialog* page = new ScriptedDialog(nullptr, {{WM_COMMAND, IDCANCEL, 0}}, &journal);
    page->modeless = 1; // ended with DestroyWindow
    OBJET* watched = page;
    page->watcher = &watched;
    PROPSHEETPAGEA record = {};
    record.dwSize = sizeof record;
    record.lParam = reinterpret_cast<LPARAM>(page);
    HWND window =
        CreateDialogParamA(GetModuleHandleA(nullptr), "FW_TEST_DLG", nullptr,
                           M_DIALOG::PasseSheetDlgProc, reinterpret_cast<LPARAM>(&record));
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, page->handle);
    EXPECT_EQ(page, FindDialog(window));
    volatile bool ended = false;
    for (int i = 0; i < 200 && IsWindow(window); ++i)
        PumpUntil(ended, 10);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ((std::vector<std::string>{"OnInitDialog bound", "OnEnd 0"}), journal);
    delete page;
    EXPECT_EQ(nullptr, watched);
}

TEST(DialogProcedure, MessagesForUnknownDialogsGoUnanswered) {
    HWND nobody = reinterpret_cast<HWND>(0x3456);
    EXPECT_EQ(0, M_DIALOG::PasseDlgProc(nobody, WM_SETFONT, 0, 0));
    EXPECT_EQ(0, M_DIALOG::PasseDlgProc(nobody, WM_INITDIALOG, 0, 0)); // no object given
    EXPECT_EQ(0, M_DIALOG::PasseSheetDlgProc(nobody, WM_INITDIALOG, 0, 0));
    EXPECT_EQ(nullptr, FindDialog(nobody));
    FEN_OBJ notADialog(nullptr);
    notADialog.handle = nobody;
    EXPECT_EQ(nullptr, FindDialog(nobody));
    notADialog.handle = nullptr;
}

} // namespace
