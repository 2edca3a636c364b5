// The install sequence when its extraction dialog cannot be made (this test program carries a
// payload but no dialog template): nothing may be started from an extraction that never ran.
#include <gtest/gtest.h>

#include "driver/HostWindow.h"
#include "tests/files/FilesTestSupport.h"

TEST(InstallSequence, NoExtractionNothingStarted) {
    // The payload's only entry is a pre-install program: no confirmation, straight to the
    // extraction dialog.
    RegisterWindowClasses(GetModuleHandleA(nullptr));
    LogListener dialogs(kLogDialog);
    LogListener processes(kLogProcess);
    H_FEN* host = new H_FEN("essai");
    EXPECT_EQ(0, host->RunInstall(""));
    EXPECT_EQ(1u, dialogs.texts.size()) << "the dialog failure is reported";
    EXPECT_TRUE(processes.texts.empty()) << "no program start was even tried";
    delete host;
}
