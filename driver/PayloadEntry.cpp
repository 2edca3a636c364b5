#include "driver/PayloadEntry.h"

#include "support/FileName.h"
#include "support/LogChannel.h"
#include "support/Text.h"

int EntryNameAccepted(const PayloadArchive& archive, int index, const char* name) {
    const unsigned char* at = nullptr;
    if (archive.Locate(index, &at) != kEntryFound) return 0;
    if (ArchiveEntry(at).NameLength() > kEntryNameCapacity - 1) return 0;
    return IsPlainFileName(name);
}

void ReportPayloadFault(PayloadFault fault, const char* name, unsigned long code) {
    // In the order of PayloadFault.
    static const char* const kTexts[] = {
        "Ressource EXE_DATA absente",
        "M\xE9"
        "moire insuffisante",
        "Nom de fichier refus\xE9",
        "Erreur CreateFile",
        "Erreur WriteFile",
        "Dossier d'extraction inutilisable",
    };
    const char* text = kTexts[fault];
    if (!name) name = "";
    char report[256];
    if (fault == kFaultCreate || fault == kFaultWrite)
        TextFormat(report, sizeof report, "%s %lu : %s", text, code, name);
    else if (name[0])
        TextFormat(report, sizeof report, "%s : %s", text, name);
    else
        TextCopy(report, text, sizeof report);
    ReportToLog(kLogPayload, report);
}
