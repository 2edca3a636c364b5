// The install sequence when its extraction dialog cannot be made (this test program carries a
// payload but no dialog template): nothing may be started from an extraction that never ran.
#include <gtest/gtest.h>

#include "driver/HostWindow.h"
#include "tests/files/FilesTestSupport.h"

TEST(InstallSequence, NoExtractionNothingStartedAndOnlyOnce) {
    // The payload's only entry is a pre-install program: no confirmation, straight to the
    // extraction dialog.
    RegisterWindowClasses(GetModuleHandleA(nullptr));
    LogCapture dialogs(kLogDialog);
    LogCapture processes(kLogProcess);
    H_FEN* host = new H_FEN("essai");
    // auto=1: the failure goes to the log, no message box waits for a click.
    EXPECT_EQ(kFailureDialog, host->RunSequence("auto=1"));
    ASSERT_EQ(2u, dialogs.texts.size()) << "the dialog failure, then the sequence's report";
    EXPECT_EQ("La fen\u00eatre d'installation n'a pas pu \u00eatre affich\u00e9e.\r\n\r\n"
              "Installation interrompue.",
              dialogs.texts[1]);
    EXPECT_TRUE(processes.texts.empty()) << "no program start was even tried";
    // A second command, as another program could post one while the first run waits.
    EXPECT_EQ(kSequenceRanBefore, host->RunSequence("auto=1"));
    EXPECT_EQ(2u, dialogs.texts.size()) << "the sequence did not run again";
    // Nor does a posted command close the window under the sequence that runs.
    SendMessageA(host->handle, WM_COMMAND, kCommandRunInstall, 0);
    MSG close;
    EXPECT_FALSE(PeekMessageA(&close, host->handle, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    delete host;
}
