#include "driver/KvrDialog.h"

#include "driver/InstallCommand.h"
#include "resources/ResourceIds.h"
#include "support/Text.h"
#include "support/Win32Forward.h"

KVR_DLG::KVR_DLG(FEN_OBJ* owner, const char* productName, const char* line)
    : M_DIALOG(owner, AUTO_KVR_TEMPLATE), commandLine(), message() {
    TextFormat(message, sizeof message, "Ce programme va lancer l'installation de :\r\n\r\n%s",
               productName);
    if (line) TextCopy(commandLine, line, sizeof commandLine);
}

void KVR_DLG::OnInitDialog(MSG_REC*) {
    CenterOnScreen(0, 0);
    ForwardSetWindowText(GetDlgItem(handle, AUTO_KVR_MESSAGE), message);
    // Letter case counts: "AUTO=1" asks the user, "auto=10" confirms.
    if (AutoConfirms(commandLine)) {
        ShowWithoutActivating();
        PostMessageA(handle, WM_COMMAND, IDOK, 0);
    }
}
