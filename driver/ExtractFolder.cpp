#include "driver/ExtractFolder.h"

#include <windows.h>

#include "archive/CtMem.h"
#include "archive/EntryData.h"
#include "driver/PayloadEntry.h"
#include "support/Text.h"

int CleanBatch::Add(const char* path, int) {
    TextCopy(paths[foundCount], path, kFilePathCapacity);
    ++foundCount;
    return foundCount < kCleanBatchPaths;
}

// "<temp>\tmp_qor" into folderPath and "<temp>\tmp_qor\*.*" into pattern, or 0 when either
// would not fit: a cut path names another folder, whose files the cleaning would delete.
static int NameFolder(char* folderPath, int capacity, char* pattern, int patternCapacity) {
    DWORD length = GetTempPathA(static_cast<DWORD>(capacity), folderPath);
    if (length == 0 || length >= static_cast<DWORD>(capacity)) return 0;
    if (folderPath[length - 1] != '\\' && !TextAppendWithin(folderPath, capacity, "\\")) return 0;
    if (!TextAppendWithin(folderPath, capacity, "tmp_qor")) return 0;
    pattern[0] = '\0';
    return TextAppendWithin(pattern, patternCapacity, folderPath) &&
           TextAppendWithin(pattern, patternCapacity, "\\*.*");
}

static int EnterFolder(const char* folderPath) {
    if (SetCurrentDirectoryA(folderPath)) return 1;
    CreateDirectoryA(folderPath, nullptr);
    return SetCurrentDirectoryA(folderPath) != 0;
}

// Deletes the files of the folder (not its folders, nor names beginning with '.') in passes of
// at most 20, until a pass finds none or the failures so far reach the files a pass found.
static void CleanFolder(const char* pattern) {
    CleanBatch batch;
    int failures = 0;
    for (;;) {
        batch.foundCount = 0;
        ForEachFile(pattern, batch, &CleanBatch::Add, 0);
        if (batch.foundCount == 0 || failures >= batch.foundCount) return;
        for (int i = batch.foundCount - 1; i >= 0; --i) {
            SetFileAttributesA(batch.paths[i], FILE_ATTRIBUTE_NORMAL); // clears read-only
            // A file that another program holds open with share-delete is only marked for
            // deletion and stays listed: counted as a failure, or the passes would not end.
            if (!DeleteFileA(batch.paths[i]) ||
                GetFileAttributesA(batch.paths[i]) != INVALID_FILE_ATTRIBUTES)
                ++failures;
        }
    }
}

// Writes the entry into the current folder: 1, or 0 with the fault reported. An entry whose data
// cannot be read as stored gets no file at all.
static int WriteEntry(const ArchiveEntry& entry) {
    char name[kEntryNameCapacity];
    entry.CopyName(name, sizeof name);
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
    if (!file.Open(name, CREATE_ALWAYS, GENERIC_READ | GENERIC_WRITE)) {
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

int ExtractPayload(char* folderPath, int folderPathCapacity, const PayloadArchive& archive) {
    char pattern[kFilePathCapacity];
    if (!folderPath || folderPathCapacity < 1) return 0;
    if (!NameFolder(folderPath, folderPathCapacity, pattern, sizeof pattern)) {
        folderPath[0] = '\0';
        ReportPayloadFault(kFaultFolder, nullptr);
        return 0;
    }
    if (!EnterFolder(folderPath)) {
        ReportPayloadFault(kFaultFolder, folderPath);
        return 0;
    }
    CleanFolder(pattern);
    if (!archive.start) return 1; // no payload: nothing to write, its absence reported already
    // The first entry that is not written as it is stored ends the extraction as a failure:
    // nothing may be started from a folder that lacks it.
    EntryCursor cursor = archive.Entries();
    while (cursor.Next() == kEntryFound) {
        if (!WriteEntry(cursor.Entry())) return 0;
    }
    if (cursor.Status() == kEntryEnd) return 1;
    ReportReadResult(cursor.Result());
    return 0;
}
