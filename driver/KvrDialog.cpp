#include "driver/KvrDialog.h"

#include "driver/InstallCommand.h"
#include "support/Text.h"
#include "support/Win32Forward.h"

enum { kControlMessage = 20 };

KVR_DLG::KVR_DLG(FEN_OBJ* owner, const char* productName, const char* line)
    : M_DIALOG(owner, "AUTO_KVR"), commandLine(), message() {
    TextFormat(message, sizeof message, "Ce programme va lancer l'installation de :\r\n\r\n%s",
               productName);
    if (line) TextCopy(commandLine, line, sizeof commandLine);
}

void KVR_DLG::OnInitDialog(MSG_REC*) {
    CenterOnScreen(0, 0);
    ForwardSetWindowText(GetDlgItem(handle, kControlMessage), message);
    // Letter case counts: "AUTO=1" asks the user, "auto=10" confirms.
    if (AutoConfirms(commandLine)) PostMessageA(handle, WM_COMMAND, IDOK, 0);
}
