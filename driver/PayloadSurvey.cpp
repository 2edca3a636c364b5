#include "driver/PayloadSurvey.h"

#include "archive/CtMem.h"
#include "driver/PayloadEntry.h"
#include "support/Text.h"

int FindPayload(HMODULE module, PayloadArchive& archive) {
    archive = PayloadArchive();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), "EXE_DATA");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || size > 0x7FFFFFFF) {
        ReportPayloadFault(kFaultNoResource, nullptr);
        return 0;
    }
    // The resource stays mapped for the life of the process; nothing frees it.
    archive.start = static_cast<const unsigned char*>(bytes);
    archive.length = static_cast<int32_t>(size);
    return 1;
}

// The "Install=" value of a descriptor's data: the bytes after the key up to the first
// control character, at most capacity - 1 of them (a longer name is cut: it is only shown).
static void CopyInstallValue(const unsigned char* data, int size, char* productName) {
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
    char name[kEntryNameCapacity] = {};
    int size = 0;
    for (int i = 0; archive.ReadEntry(i, name, sizeof name, nullptr, 0, nullptr, &size); ++i) {
        // Only a program that the extraction writes can be started from the folder.
        if (TextPrefixEqual(9, name, "AutoInst_") && TextSearch(name, ".exe", 0, 0) &&
            EntryNameAccepted(archive, i, name))
            TextCopy(preInstallName, name, kPreInstallNameCapacity);
        if (productName[0] || !TextSearch(name, ".kvr", 0, 0)) continue;
        CtMem block(size + kEntrySlack);
        if (!block.data) {
            // Its data cannot be read: no descriptor; a later one may still name the product.
            ReportPayloadFault(kFaultNoMemory, name);
            continue;
        }
        int capacity = size;
        archive.ReadEntry(i, nullptr, 0, nullptr, 0, block.data, &capacity);
        CopyInstallValue(block.data, size, productName);
    }
}

void SurveyPayload(PayloadArchive& archive, char* productName, char* preInstallName,
                   HMODULE module) {
    FindPayload(module, archive);
    SurveyArchive(archive, productName, preInstallName);
}
