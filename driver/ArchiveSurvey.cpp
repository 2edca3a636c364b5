#include "driver/ArchiveSurvey.h"

#include "archive/EntryData.h"
#include "driver/PayloadEntry.h"
#include "support/Text.h"

void CopyInstallValue(const unsigned char* data, int size, char* productName) {
    const char* text = reinterpret_cast<const char*>(data);
    const char* value = TextFindKey(text, "Install=", 0, size);
    if (!value) return;
    int room = size - static_cast<int>(value - text);
    int n = 0;
    while (n < room && n < kProductNameCapacity - 1 && static_cast<unsigned char>(value[n]) >= 32) {
        productName[n] = value[n];
        ++n;
    }
    productName[n] = '\0';
}

void SurveyArchive(const PayloadArchive& archive, char* productName, char* preInstallName) {
    productName[0] = '\0';
    preInstallName[0] = '\0';
    if (!archive.start) return; // no payload: its absence is reported once, by FindPayload
    char name[kEntryNameCapacity];
    EntryCursor cursor = archive.Entries();
    while (cursor.Next() == kEntryFound) {
        const ArchiveEntry& entry = cursor.Entry();
        entry.CopyName(name, sizeof name);
        // Only a program that the extraction writes can be started from the folder.
        if (TextPrefixEqual(9, name, "AutoInst_") && TextSearch(name, ".exe", 0, 0) &&
            EntryNameAccepted(entry, name))
            TextCopy(preInstallName, name, kPreInstallNameCapacity);
        if (productName[0] || !TextSearch(name, ".kvr", 0, 0)) continue;
        EntryData data(entry);
        if (!data.Sound()) {
            // No descriptor; a later one may still name the product. The extraction stops at it.
            ReportEntryFault(name, data.result);
            continue;
        }
        CopyInstallValue(data.Bytes(), entry.DecodedSize(), productName);
    }
    if (cursor.Status() != kEntryEnd) ReportReadResult(cursor.Result());
}
