// The install sequence when its confirmation dialog cannot be made (this test program carries a
// product's payload but no dialog template): that is no consent, so nothing is extracted.
#include <gtest/gtest.h>

#include "driver/HostWindow.h"
#include "tests/files/FilesTestSupport.h"

TEST(Confirmation, ADialogThatCannotBeMadeIsNoConsent) {
    ScratchFolder temp;
    SetEnvironmentVariableA("TMP", temp.Path().c_str());
    SetEnvironmentVariableA("TEMP", temp.Path().c_str());
    RegisterWindowClasses(GetModuleHandleA(nullptr));
    LogCapture dialogs(kLogDialog);
    H_FEN* host = new H_FEN("essai");
    EXPECT_EQ(kFailureDialog, host->RunSequence("auto=1"));
    EXPECT_EQ(2u, dialogs.texts.size()) << "one dialog tried, its failure reported";
    EXPECT_FALSE(Exists(temp / "tmp_qor")) << "no extraction";
    delete host;
}
