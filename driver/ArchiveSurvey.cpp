#include "driver/ArchiveSurvey.h"

#include "archive/EntryData.h"
#include "driver/PayloadEntry.h"
#include "support/Text.h"

int IsDescriptorName(const char* name) {
    return TextSearch(name, ".kvr", 0, 0) != 0;
}

int IsPreInstallName(const char* name) {
    return TextPrefixEqual(9, name, "AutoInst_") && TextSearch(name, ".exe", 0, 0);
}

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

int SurveyArchive(const PayloadArchive& archive, char* productName, char* preInstallName,
                  char* faultName) {
    productName[0] = '\0';
    preInstallName[0] = '\0';
    faultName[0] = '\0';
    if (!archive.start) return 1; // no payload: its absence is reported once, by FindPayload
    char name[kEntryNameCapacity];
    EntryCursor cursor = archive.Entries();
    while (cursor.Next() == kEntryFound) {
        const ArchiveEntry& entry = cursor.Entry();
        entry.CopyName(name, sizeof name);
        // Only a program that the extraction writes can be started from the folder.
        if (IsPreInstallName(name) && EntryNameAccepted(entry, name))
            TextCopy(preInstallName, name, kPreInstallNameCapacity);
        if (productName[0] || !IsDescriptorName(name)) continue;
        EntryData data(entry);
        if (!data.Sound()) {
            // No descriptor; a later one may still name the product. The extraction stops at it.
            ReportEntryFault(name, data.result);
            if (!faultName[0]) TextCopy(faultName, name, kEntryNameCapacity);
            continue;
        }
        CopyInstallValue(data.Bytes(), entry.DecodedSize(), productName);
    }
    int whole = !faultName[0];
    if (cursor.Status() != kEntryEnd) {
        // The first fault is the one named.
        ReportWalkFault(cursor, whole ? faultName : name, kEntryNameCapacity);
        whole = 0;
    }
    return whole;
}
