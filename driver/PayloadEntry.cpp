#include "driver/PayloadEntry.h"

#include "support/FileName.h"
#include "support/LogChannel.h"
#include "support/Text.h"
#include "support/Unicode.h"

int EntryNameAccepted(const ArchiveEntry& entry, const char* name) {
    if (entry.NameLength() > kEntryNameCapacity - 1) return 0;
    return IsPlainFileName(name);
}

void CopyEntryName(const ArchiveEntry& entry, char* name, char* text) {
    entry.CopyName(name, kEntryNameCapacity);
    Cp1252ToUtf8(name, text, kEntryTextCapacity); // three bytes a byte always fit
}

static void ReportNamed(const char* text, const char* name) {
    if (!name) name = "";
    char report[256];
    if (name[0])
        TextFormat(report, sizeof report, "%s : %s", text, name);
    else
        TextCopy(report, text, sizeof report);
    ReportToLog(kLogPayload, report);
}

void ReportPayloadFault(PayloadFault fault, const char* name, unsigned long code) {
    // In the order of PayloadFault.
    static const char* const kTexts[] = {
        "Ressource EXE_DATA absente", "Nom de fichier refus\u00e9",        "Erreur CreateFile %lu",
        "Erreur WriteFile %lu",       "Dossier d'extraction inutilisable",
    };
    char text[64];
    TextFormat(text, sizeof text, kTexts[fault], code);
    ReportNamed(text, name);
}

void ReportEntryFault(const char* name, ReadResult result) {
    char text[128];
    FormatReadResult(result, text, sizeof text);
    ReportNamed(text, name);
}

void ReportWalkFault(const EntryCursor& cursor, char* name, int capacity) {
    ReportReadResult(cursor.Result());
    TextFormat(name, capacity, "#%d", cursor.Index() + 1);
}
