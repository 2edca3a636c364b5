// The install sequence: what the installer is for, run once by the host window.
#include <windows.h>

#include "driver/ExtractDialog.h"
#include "driver/HostWindow.h"
#include "driver/KvrDialog.h"
#include "driver/LaunchProgram.h"
#include "driver/PayloadSurvey.h"
#include "framework/Application.h"
#include "support/LogChannel.h"
#include "support/Text.h"

namespace {

// A folder path so long that a program's path or command would not fit is refused rather than
// cut: a cut path starts another program.
int RefuseLongPath(const char* folder) {
    TextFormat(g_ReportBuffer, sizeof g_ReportBuffer, "Chemin trop long : %s", folder);
    ReportToLog(kLogProcess, g_ReportBuffer);
    return 0;
}

} // namespace

int H_FEN::RunInstall(const char* commandLine) {
    PayloadArchive archive;
    char productName[kProductNameCapacity] = {};
    char preInstallName[kPreInstallNameCapacity] = {};
    SurveyPayload(archive, productName, preInstallName, CurrentModule());

    if (productName[0]) {
        if (!RunDialog(new KVR_DLG(this, productName, commandLine), 1)) return 0;
    } else if (!preInstallName[0]) {
        ShowMessage("Aucune information d'installation !", MB_OK);
        return 0;
    }

    // Only an extraction that ran goes on: a dialog that could not even be made (-1) leaves the
    // folder path empty, and the programs would be looked for at the root of the drive.
    char folderPath[kFolderPathCapacity] = {};
    if (RunDialog(new CtExtractDlg(this, folderPath, sizeof folderPath, archive), 1) != 1) return 0;

    char program[kProgramPathCapacity];
    if (preInstallName[0]) {
        if (!JoinFolderFile(folderPath, preInstallName, program, sizeof program))
            return RefuseLongPath(folderPath);
        // Exit code 0 (or no start at all) means the check failed: install.exe is not started.
        if (!LaunchProgram(program, nullptr, 1)) return 0;
    }
    if (!productName[0]) return 1;

    char command[kProgramCommandCapacity];
    if (!JoinFolderFile(folderPath, "install.exe", program, sizeof program) ||
        !QuoteCommand(program, commandLine, command, sizeof command))
        return RefuseLongPath(folderPath);
    // install.exe outlives the installer: it is not waited for.
    WinExec(command, SW_SHOW);
    return 1;
}
