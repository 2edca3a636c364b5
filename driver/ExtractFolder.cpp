#include "driver/ExtractFolder.h"

#include <windows.h>

#include "archive/EntryData.h"
#include "driver/ExtractFolderTrust.h"
#include "driver/InstallCommand.h"
#include "driver/PayloadEntry.h"
#include "support/HFile.h"
#include "support/LogChannel.h"
#include "support/Text.h"

// Writes the entry, named name, into the current folder: 1, or 0 with the fault reported. An
// entry whose data cannot be read as stored gets no file at all.
static int WriteEntry(const ArchiveEntry& entry, const char* name) {
    if (!EntryNameAccepted(entry, name)) {
        ReportPayloadFault(kFaultUnsafeName, name);
        return 0;
    }
    EntryData data(entry);
    if (!data.Sound()) {
        ReportEntryFault(name, data.result);
        return 0;
    }
    char info[kEntryInfoCapacity];
    entry.CopyInfo(info, sizeof info);
    H_FILE file;
    // Never over a file that is already there: the cleaning left none, so one is a link, a
    // second name of an earlier entry, or someone else's.
    if (!file.Open(name, CREATE_NEW, GENERIC_READ | GENERIC_WRITE)) {
        ReportPayloadFault(kFaultCreate, name, file.lastError);
        return 0;
    }
    int size = entry.DecodedSize();
    if (file.Write(data.Bytes(), size) != static_cast<DWORD>(size)) {
        ReportPayloadFault(kFaultWrite, name, file.lastError);
        return 0;
    }
    // After the last write, which would change it again.
    file.SetWriteTimeFromInfo(info, 0);
    char text[kEntryNameCapacity + 48];
    TextFormat(text, sizeof text, "Fichier extrait : %s (%d octets)", name, size);
    ReportToLog(kLogRun, text);
    return 1;
}

// A step of the run, what then the file or folder it concerns, on the run's log channel.
static void ReportStep(const char* what, const char* name) {
    char text[kFailureNameCapacity + 48];
    TextFormat(text, sizeof text, "%s : %s", what, name);
    ReportToLog(kLogRun, text);
}

void RemoveExtracted(TrustedFolder& held, const char* folderPath, const PayloadArchive& archive) {
    if (!held.Entered()) return;
    char name[kEntryNameCapacity];
    char path[kFailureNameCapacity];
    // The entries' words were checked before anything was written; names are not decoded data.
    EntryCursor cursor = archive.Entries();
    while (archive.start && cursor.Skip() == kEntryFound) {
        cursor.Entry().CopyName(name, sizeof name);
        if (!EntryNameAccepted(cursor.Entry(), name)) continue;
        if (!JoinFolderFile(folderPath, name, path, sizeof path) || !held.RemoveFile(path, name))
            ReportStep("Fichier non supprim\xE9", name);
    }
    ReportStep(held.RemoveSelf(folderPath) ? "Dossier supprim\xE9" : "Dossier non supprim\xE9",
               folderPath);
}

int ExtractPayload(char* folderPath, int folderPathCapacity, const PayloadArchive& archive,
                   InstallFailure& failure, TrustedFolder* held) {
    char pattern[kFilePathCapacity];
    if (!folderPath || folderPathCapacity < 1) return failure.Set(kFailureFolder, nullptr);
    if (!NameFolder(folderPath, folderPathCapacity, pattern, sizeof pattern)) {
        folderPath[0] = '\0';
        ReportPayloadFault(kFaultFolder, nullptr);
        return failure.Set(kFailureFolder, nullptr);
    }
    TrustedFolder local;
    TrustedFolder& folder = held ? *held : local;
    if (!folder.Enter(folderPath, folderPathCapacity, pattern, sizeof pattern, failure)) {
        ReportPayloadFault(kFaultFolder, folderPath);
        return 0;
    }
    ReportStep("Dossier d'extraction", folderPath);
    if (!folder.Clean(pattern, failure)) return 0;
    if (!archive.start) return 1; // no payload: nothing to write, its absence reported already
    // The first entry that is not written as it is stored ends the extraction as a failure:
    // nothing may be started from a folder that lacks it.
    EntryCursor cursor = archive.Entries();
    char name[kEntryNameCapacity];
    while (cursor.Next() == kEntryFound) {
        cursor.Entry().CopyName(name, sizeof name);
        if (!WriteEntry(cursor.Entry(), name)) return failure.Set(kFailureEntry, name);
    }
    if (cursor.Status() == kEntryEnd) return 1;
    ReportWalkFault(cursor, name, sizeof name);
    return failure.Set(kFailureEntry, name);
}
