#include "driver/ExtractFolder.h"

#include <windows.h>

#include "driver/ExtractFolderTrust.h"
#include "driver/InstallCommand.h"
#include "driver/PayloadEntry.h"
#include "support/HFile.h"
#include "support/LogChannel.h"
#include "support/Text.h"

namespace {

// Hands the decoded chunks to the entry's file as they come.
class FileSink : public DecodeSink {
  public:
    explicit FileSink(H_FILE& file) : file_(file) {}
    int Take(const unsigned char* bytes, int length) override {
        return file_.Write(bytes, length) == static_cast<DWORD>(length);
    }

  private:
    H_FILE& file_;
};

} // namespace

// Writes the entry, named entryName (Windows-1252) or name (UTF-8), into the current folder as it
// is decoded: 1, or 0 with the fault reported. An entry whose data cannot be read as stored gets
// no file at all.
static int WriteEntry(const ArchiveEntry& entry, const char* entryName, const char* name) {
    if (!EntryNameAccepted(entry, entryName)) {
        ReportPayloadFault(kFaultUnsafeName, name);
        return 0;
    }
    ReadResult result = entry.CheckSizes();
    if (result.status != kReadSound) {
        ReportEntryFault(name, result);
        return 0;
    }
    char info[kEntryInfoCapacity];
    entry.CopyInfo(info, sizeof info);
    H_FILE file;
    // Never over a file that is already there: the cleaning left none, so one is a link, a
    // second name of an earlier entry, or someone else's. DELETE: a failed entry's file goes
    // again through its own handle.
    if (!file.Open(name, CREATE_NEW, GENERIC_READ | GENERIC_WRITE | DELETE)) {
        ReportPayloadFault(kFaultCreate, name, file.lastError);
        return 0;
    }
    FileSink sink(file);
    result = entry.StreamData(sink);
    if (result.status == kReadSound) {
        // After the last write, which would change it again.
        file.SetWriteTimeFromInfo(info, 0);
        char text[kEntryTextCapacity + 48];
        TextFormat(text, sizeof text, "Fichier extrait : %s (%d octets)", name,
                   entry.DecodedSize());
        ReportToLog(kLogRun, text);
        return 1;
    }
    // What was written goes when the handle closes.
    DeleteOnClose(file.handle);
    if (result.status == kReadDecodeError && result.code == kErrSinkRefused)
        ReportPayloadFault(kFaultWrite, name, file.lastError);
    else
        ReportEntryFault(name, result);
    return 0;
}

// A step of the run, what then the file or folder it concerns, on the run's log channel.
static void ReportStep(const char* what, const char* name) {
    char text[kFailureNameCapacity + 48];
    TextFormat(text, sizeof text, "%s : %s", what, name);
    ReportToLog(kLogRun, text);
}

void RemoveExtracted(TrustedFolder& held, const char* folderPath, const PayloadArchive& archive) {
    if (!held.Entered()) return;
    char entryName[kEntryNameCapacity], name[kEntryTextCapacity];
    char path[kFailureNameCapacity];
    // The entries' words were checked before anything was written; names are not decoded data.
    EntryCursor cursor = archive.Entries();
    while (archive.start && cursor.Skip() == kEntryFound) {
        CopyEntryName(cursor.Entry(), entryName, name);
        if (!EntryNameAccepted(cursor.Entry(), entryName)) continue;
        if (!JoinFolderFile(folderPath, name, path, sizeof path) || !held.RemoveFile(path, name))
            ReportStep("Fichier non supprim\u00e9", name);
    }
    ReportStep(held.RemoveSelf(folderPath) ? "Dossier supprim\u00e9" : "Dossier non supprim\u00e9",
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
    char entryName[kEntryNameCapacity], name[kEntryTextCapacity];
    while (cursor.Next() == kEntryFound) {
        CopyEntryName(cursor.Entry(), entryName, name);
        if (!WriteEntry(cursor.Entry(), entryName, name)) return failure.Set(kFailureEntry, name);
    }
    if (cursor.Status() == kEntryEnd) return 1;
    ReportWalkFault(cursor, name, sizeof name);
    return failure.Set(kFailureEntry, name);
}
