#include "driver/ArchiveSurvey.h"

#include "archive/EntryData.h"
#include "driver/PayloadEntry.h"
#include "support/Text.h"
#include "support/Unicode.h"

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
    char bytes[128];
    int n = 0;
    while (n < room && n < 127 && static_cast<unsigned char>(value[n]) >= 32) {
        bytes[n] = value[n];
        ++n;
    }
    bytes[n] = '\0';
    Cp1252ToUtf8(bytes, productName, kProductNameCapacity);
}

int SurveyArchive(const PayloadArchive& archive, char* productName, char* preInstallName,
                  char* faultName) {
    productName[0] = '\0';
    preInstallName[0] = '\0';
    faultName[0] = '\0';
    if (!archive.start) return 1; // no payload: its absence is reported once, by FindPayload
    char name[kEntryNameCapacity], text[kEntryTextCapacity];
    EntryCursor cursor = archive.Entries();
    while (cursor.Next() == kEntryFound) {
        const ArchiveEntry& entry = cursor.Entry();
        CopyEntryName(entry, name, text);
        // Only a program that the extraction writes can be started from the folder.
        if (IsPreInstallName(name) && EntryNameAccepted(entry, name))
            TextCopy(preInstallName, text, kPreInstallNameCapacity);
        if (productName[0] || !IsDescriptorName(name)) continue;
        EntryData data(entry);
        if (!data.Sound()) {
            // No descriptor; a later one may still name the product. The extraction stops at it.
            ReportEntryFault(text, data.result);
            if (!faultName[0]) TextCopy(faultName, text, kEntryTextCapacity);
            continue;
        }
        CopyInstallValue(data.Bytes(), entry.DecodedSize(), productName);
    }
    int whole = !faultName[0];
    if (cursor.Status() != kEntryEnd) {
        // The first fault is the one named.
        ReportWalkFault(cursor, whole ? faultName : text, kEntryTextCapacity);
        whole = 0;
    }
    return whole;
}
