// The dialog under which the payload is unpacked: no buttons, a short text beside the logo; it
// starts the extraction by itself and ends with 1 once done (0 when the extraction stopped).
#pragma once
#include "archive/PayloadArchive.h"
#include "driver/InstallFailure.h"
#include "framework/Dialog.h"

class TrustedFolder;

enum { kCommandExtract = 100 };

class CtExtractDlg : public M_DIALOG {
  public:
    // folderPath (lent, capacity bytes) receives the extraction folder's path; failure (lent)
    // why the extraction stopped; held (lent, may be none) keeps the folder once extracted.
    CtExtractDlg(FEN_OBJ* owner, char* folderPath, int folderPathCapacity,
                 const PayloadArchive& archive, InstallFailure& failure,
                 TrustedFolder* held = nullptr);

    void OnInitDialog(MSG_REC* record) override;
    void OnCommand(MSG_REC* record) override;

    HWND textControl;
    char* folderPath;
    int32_t folderPathCapacity;
    const PayloadArchive& archive;
    InstallFailure& failure;
    TrustedFolder* held;
};
