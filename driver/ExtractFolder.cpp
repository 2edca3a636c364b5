#include "driver/ExtractFolder.h"

#include <windows.h>

#include "archive/CtMem.h"
#include "driver/ExtractFolderTrust.h"
#include "driver/PayloadEntry.h"
#include "support/HFile.h"
#include "support/Text.h"

// Writes entry index, whose name and decoded size a first read gave, into the current folder.
// 0 when its file cannot be made, or not written in full.
static int WriteEntry(const PayloadArchive& archive, int index, const char* name, int size) {
    if (!EntryNameAccepted(archive, index, name)) {
        ReportPayloadFault(kFaultUnsafeName, name);
        return 1;
    }
    CtMem block(size + kEntrySlack);
    if (!block.data) {
        // A file of zeros would pass for the data.
        ReportPayloadFault(kFaultNoMemory, name);
        return 1;
    }
    char info[kEntryInfoCapacity] = {};
    int capacity = size;
    archive.ReadEntry(index, nullptr, 0, info, sizeof info, block.data, &capacity);
    H_FILE file;
    // Never over a file that is already there: the cleaning left none, so one is a link, a
    // second name of an earlier entry, or someone else's.
    if (!file.Open(name, CREATE_NEW, GENERIC_READ | GENERIC_WRITE)) {
        ReportPayloadFault(kFaultCreate, name, file.lastError);
        return 0;
    }
    if (file.Write(block.data, size) != static_cast<DWORD>(size)) {
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
    if (!folder.Enter(folderPath, failure)) {
        ReportPayloadFault(kFaultFolder, folderPath);
        return 0;
    }
    if (!folder.Clean(pattern, failure)) return 0;
    char name[kEntryNameCapacity] = {};
    int size = 0;
    for (int i = 0; archive.ReadEntry(i, name, sizeof name, nullptr, 0, nullptr, &size); ++i) {
        if (!WriteEntry(archive, i, name, size)) return failure.Set(kFailureEntry, name);
    }
    return 1;
}
