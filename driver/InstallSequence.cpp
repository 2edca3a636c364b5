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

// A folder path so long that a program's path would not fit is refused rather than cut: a cut
// path starts another program.
int RefuseLongPath(const char* folder, InstallFailure& failure) {
    TextFormat(g_ReportBuffer, sizeof g_ReportBuffer, "Chemin trop long : %s", folder);
    ReportToLog(kLogProcess, g_ReportBuffer);
    return failure.Set(kFailureStart, folder, ERROR_FILENAME_EXCED_RANGE);
}

// The log channel that hears a failure when no message may wait for a click.
int FailureChannel(int kind) {
    if (kind == kFailureDialog) return kLogDialog;
    if (kind == kFailureStart || kind == kFailurePreInstall) return kLogProcess;
    return kLogPayload;
}

} // namespace

int H_FEN::RunInstall(const char* commandLine, InstallFailure& failure) {
    PayloadArchive archive;
    char productName[kProductNameCapacity] = {};
    char preInstallName[kPreInstallNameCapacity] = {};
    char faultName[kEntryTextCapacity] = {};
    int whole = SurveyPayload(archive, productName, preInstallName, faultName, CurrentModule());

    if (productName[0]) {
        int confirmed = RunDialog(new KVR_DLG(this, productName, commandLine), 1);
        // A dialog that could not be made (-1) is no consent.
        if (confirmed < 0) return failure.Set(kFailureDialog, nullptr);
        if (confirmed == 0) return 0;
    } else if (!preInstallName[0]) {
        // A damaged payload is not one without information: nothing can be installed from it.
        if (!whole) return failure.Set(kFailureEntry, faultName);
        ShowMessage("Aucune information d'installation !", MB_OK);
        return 0;
    }

    // Only an extraction that ran to its end goes on: the extraction fills failure when it
    // stops, and a dialog that could not even be made (-1) leaves the folder path empty.
    char folderPath[kFolderPathCapacity] = {};
    int extracted =
        RunDialog(new CtExtractDlg(this, folderPath, sizeof folderPath, archive, failure), 1);
    if (extracted < 0) return failure.Set(kFailureDialog, nullptr);
    if (extracted != 1) return 0;

    char program[kProgramPathCapacity];
    int started = 0;
    if (preInstallName[0]) {
        if (!JoinFolderFile(folderPath, preInstallName, program, sizeof program))
            return RefuseLongPath(folderPath, failure);
        unsigned long code = LaunchProgram(program, nullptr, 1, &started);
        if (!started) return failure.Set(kFailureStart, preInstallName);
        // Error severity is a crash or an exception (0xC0000005), not the check's answer.
        if (code >= 0xC0000000ul) return failure.Set(kFailurePreInstall, preInstallName, code);
        // Exit code 0 means the check failed: install.exe is not started.
        if (code == 0) return 0;
    }
    if (!productName[0]) return 1;

    if (!JoinFolderFile(folderPath, kInstallProgramName, program, sizeof program))
        return RefuseLongPath(folderPath, failure);
    // install.exe outlives the installer: it is not waited for.
    LaunchProgram(program, commandLine, 0, &started);
    if (!started) return failure.Set(kFailureStart, kInstallProgramName);
    return 1;
}

void H_FEN::ReportFailure(const InstallFailure& failure, const char* commandLine) {
    if (failure.kind == kFailureNone) return;
    char text[kFailureNameCapacity + 128];
    DescribeFailure(failure, text, sizeof text);
    // A silent install must never wait for a click.
    if (AutoConfirms(commandLine))
        ReportToLog(FailureChannel(failure.kind), text);
    else
        ShowMessage(text, MB_OK | MB_ICONSTOP);
}

int H_FEN::RunSequence(const char* commandLine) {
    // A second command 400 (another program may post one while a program is waited on) must
    // not extract and start everything again.
    static int s_sequenceRan = 0;
    if (s_sequenceRan) return kSequenceRanBefore;
    s_sequenceRan = 1;
    InstallFailure failure;
    RunInstall(commandLine, failure);
    ReportFailure(failure, commandLine);
    if (g_CurrentApp) g_CurrentApp->exitCode = failure.kind;
    return failure.kind;
}
