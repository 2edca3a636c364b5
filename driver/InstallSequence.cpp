// The install sequence: what the installer is for, run once by the host window.
#include <windows.h>

#include "archive/CtMem.h"
#include "driver/BuildStamp.h"
#include "driver/ExtractDialog.h"
#include "driver/ExtractFolder.h"
#include "driver/ExtractFolderTrust.h"
#include "driver/HostWindow.h"
#include "driver/InstallLog.h"
#include "driver/KvrDialog.h"
#include "driver/LaunchProgram.h"
#include "driver/PayloadSurvey.h"
#include "framework/Application.h"
#include "support/LogChannel.h"
#include "support/RunOptions.h"
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

// With the cleanup option, removes what was extracted however the sequence ends.
struct ExtractedFiles {
    TrustedFolder folder;
    const char* path;
    const PayloadArchive& archive;
    int remove;
    ~ExtractedFiles() {
        if (remove) RemoveExtracted(folder, path, archive);
    }
};

// The run's first line: the build stamp's version, the options and the command line, whole.
void ReportStart(const char* commandLine, uint32_t options) {
    char version[kStampValueLength + 1] = {};
    ReadStampVersion(version, sizeof version);
    int capacity = TextLength(commandLine) + 96;
    CtMem text(capacity);
    if (!text.data) return;
    TextFormat(reinterpret_cast<char*>(text.data), capacity,
               "D\u00e9marrage de Loftsetup %s, options %lu : %s", version,
               static_cast<unsigned long>(options), commandLine);
    ReportToLog(kLogRun, reinterpret_cast<char*>(text.data));
}

} // namespace

int H_FEN::RunInstall(const char* commandLine, InstallFailure& failure) {
    PayloadArchive archive;
    char productName[kProductNameCapacity] = {};
    char preInstallName[kPreInstallNameCapacity] = {};
    char faultName[kEntryTextCapacity] = {};
    int whole = SurveyPayload(archive, productName, preInstallName, faultName, CurrentModule());
    // Every entry's checkword is known before anything is asked, emptied or written: a payload
    // that is not all there installs nothing and leaves the folder as it was.
    if (!whole) return failure.Set(kFailureEntry, faultName);

    if (productName[0]) {
        int confirmed = RunDialog(new KVR_DLG(this, productName, commandLine), 1);
        // A dialog that could not be made (-1) is no consent.
        if (confirmed < 0) return failure.Set(kFailureDialog, nullptr);
        if (confirmed == 0) {
            ReportToLog(kLogRun, "Installation refus\u00e9e par l'utilisateur");
            outcome = kExitCancelled;
            return 0;
        }
    } else if (!preInstallName[0]) {
        static const char kNothing[] = "Aucune information d'installation !";
        outcome = kExitNothingInstalled;
        ReportToLog(kLogRun, kNothing);
        // A silent run never waits for a click: a deployment tool would wait for it forever.
        if (!AutoConfirms(commandLine)) ShowMessage(kNothing, MB_OK);
        return 0;
    }

    // Only an extraction that ran to its end goes on: the extraction fills failure when it
    // stops, and a dialog that could not even be made (-1) leaves the folder path empty.
    char folderPath[kFolderPathCapacity] = {};
    ExtractedFiles extracted{{}, folderPath, archive, (options & kRunCleanup) != 0};
    int done = RunDialog(
        new CtExtractDlg(this, folderPath, sizeof folderPath, archive, failure, &extracted.folder),
        1);
    if (done < 0) return failure.Set(kFailureDialog, nullptr);
    if (done != 1) return 0;

    char program[kProgramPathCapacity];
    int started = 0;
    if (preInstallName[0]) {
        if (!JoinFolderFile(folderPath, preInstallName, program, sizeof program))
            return RefuseLongPath(folderPath, failure);
        unsigned long code = LaunchProgram(program, nullptr, kLaunchWaitDetached, &started);
        if (!started) return failure.Set(kFailureStart, preInstallName);
        // Error severity is a crash or an exception (0xC0000005), not the check's answer.
        if (code >= 0xC0000000ul) return failure.Set(kFailurePreInstall, preInstallName, code);
        // Exit code 0 means the check failed: install.exe is not started.
        if (code == 0) {
            outcome = kExitNothingInstalled;
            return 0;
        }
    }
    if (!productName[0]) return 1;

    if (!JoinFolderFile(folderPath, kInstallProgramName, program, sizeof program))
        return RefuseLongPath(folderPath, failure);
    // Without the wait option install.exe outlives the installer: it is not waited for.
    int wait = (options & kRunWait) != 0;
    unsigned long code =
        LaunchProgram(program, commandLine, wait ? kLaunchWaitShown : kLaunchNoWait, &started);
    if (!started) return failure.Set(kFailureStart, kInstallProgramName);
    if (wait) outcome = code;
    return 1;
}

void H_FEN::ReportFailure(const InstallFailure& failure, const char* commandLine) {
    if (failure.kind == kFailureNone) return;
    char text[kFailureNameCapacity + 128];
    DescribeFailure(failure, text, sizeof text);
    // On the channel always, for the log; a silent install must never wait for a click.
    ReportToLog(FailureChannel(failure.kind), text);
    if (!AutoConfirms(commandLine)) ShowMessage(text, MB_OK | MB_ICONSTOP);
}

int H_FEN::RunSequence(const char* commandLine) {
    // A second command 400 (another program may post one while a program is waited on) must
    // not extract and start everything again.
    static int s_sequenceRan = 0;
    if (s_sequenceRan) return kSequenceRanBefore;
    s_sequenceRan = 1;
    // Before anything else: the options decide how the run ends, the log hears all of it.
    options = ReadRunOptions(CurrentModule());
    InstallLogOwner log{OpenInstallLog(commandLine)};
    ReportStart(commandLine, options);
    InstallFailure failure;
    RunInstall(commandLine, failure);
    ReportFailure(failure, commandLine);
    unsigned long code = InstallExitCode(failure.kind, (options & kRunWait) != 0, outcome);
    char text[64];
    TextFormat(text, sizeof text, "Code de sortie : %lu (0x%08lX)", code, code);
    ReportToLog(kLogRun, text);
    if (g_CurrentApp) g_CurrentApp->exitCode = static_cast<int32_t>(code);
    return failure.kind;
}
