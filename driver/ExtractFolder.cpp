#include "driver/ExtractFolder.h"

#include <windows.h>

#include "archive/EntryData.h"
#include "driver/ExtractFolderTrust.h"
#include "driver/PayloadEntry.h"
#include "support/HFile.h"
#include "support/Text.h"

// Writes the entry, named name (Windows-1252) or text (UTF-8), into the current folder: 1, or 0
// with the fault reported. An entry whose data cannot be read as stored gets no file at all.
static int WriteEntry(const ArchiveEntry& entry, const char* entryName, const char* name) {
    if (!EntryNameAccepted(entry, entryName)) {
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
    return 1;
}

int ExtractPayload(char* folderPath, int folderPathCapacity, const PayloadArchive& archive,
                   InstallFailure& failure) {
    char pattern[kFilePathCapacity];
    if (!folderPath || folderPathCapacity < 1) return failure.Set(kFailureFolder, nullptr);
    if (!NameFolder(folderPath, folderPathCapacity, pattern, sizeof pattern)) {
        folderPath[0] = '\0';
        ReportPayloadFault(kFaultFolder, nullptr);
        return failure.Set(kFailureFolder, nullptr);
    }
    TrustedFolder folder;
    if (!folder.Enter(folderPath, folderPathCapacity, pattern, sizeof pattern, failure)) {
        ReportPayloadFault(kFaultFolder, folderPath);
        return 0;
    }
    if (!folder.Clean(pattern, failure)) return 0;
    if (!archive.start) return 1; // no payload: nothing to write, its absence reported already
    // The first entry that is not written as it is stored ends the extraction as a failure:
    // nothing may be started from a folder that lacks it.
    EntryCursor cursor = archive.Entries();
    char entryName[kEntryNameCapacity], name[kEntryTextCapacity];
    while (cursor.Next() == kEntryFound) {
        CopyEntryName(cursor.Entry(), entryName, name);
        if (!WriteEntry(cursor.Entry(), entryName, name)) return failure.Set(kFailureEntry, name);
    }
    if (cursor.Status() == kEntryEnd) return 1;
    ReportWalkFault(cursor, name, sizeof name);
    return failure.Set(kFailureEntry, name);
}
