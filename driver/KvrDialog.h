// The confirmation dialog: names the product about to be installed; "OK" goes on, "Quitter"
// ends everything. "auto=1" on the command line confirms without the user.
#pragma once
#include "framework/Dialog.h"

// The command line's first 255 characters in UTF-8, up to three bytes each.
enum { kKvrCommandLineCapacity = 255 * 3 + 1, kKvrMessageCapacity = 512 };

class KVR_DLG : public M_DIALOG {
  public:
    // line, the command line, may be none; only its first 255 characters are kept.
    KVR_DLG(FEN_OBJ* owner, const char* productName, const char* line);

    void OnInitDialog(MSG_REC* record) override;

    char commandLine[kKvrCommandLineCapacity];
    char message[kKvrMessageCapacity];
};
