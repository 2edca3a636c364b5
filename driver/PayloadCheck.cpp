#include "driver/PayloadCheck.h"

#include "archive/EntryData.h"
#include "driver/ArchiveSurvey.h"
#include "driver/PayloadEntry.h"
#include "support/CodePage1252.h"
#include "support/Text.h"

namespace {

// Tab, line feed and carriage return are the only controls a descriptor's text holds.
int DescriptorTextGap(const unsigned char* text, int size) {
    for (int i = 0; i < size; ++i) {
        unsigned char c = text[i];
        bool control = c < 0x20 && c != '\t' && c != '\n' && c != '\r';
        if (control || !Cp1252Assigned(c)) return kGapDescriptorNot1252;
    }
    return LooksLikeUtf8(text, size_t(size)) ? kGapDescriptorUtf8 : kPayloadInstallable;
}

} // namespace

int CheckInstallable(const PayloadArchive& archive, char* descriptor) {
    descriptor[0] = '\0';
    int installProgram = 0;
    int descriptors = 0;
    int gap = kPayloadInstallable;
    char name[kEntryNameCapacity];
    EntryCursor cursor = archive.Entries();
    while (cursor.Next() == kEntryFound) {
        const ArchiveEntry& entry = cursor.Entry();
        entry.CopyName(name, sizeof name);
        if (!EntryNameAccepted(entry, name)) continue; // never written, so never started or read
        if (TextLength(name) == TextLength(kInstallProgramName) &&
            TextSearch(name, kInstallProgramName, 0, 0))
            installProgram = 1;
        if (!IsDescriptorName(name)) continue;
        if (++descriptors > 1) {
            if (descriptors == 2) TextCopy(descriptor, name, kEntryNameCapacity);
            continue;
        }
        TextCopy(descriptor, name, kEntryNameCapacity);
        EntryData data(entry);
        if (!data.Sound()) {
            gap = kGapDescriptorDamaged;
            continue;
        }
        char productName[kProductNameCapacity] = {};
        CopyInstallValue(data.Bytes(), entry.DecodedSize(), productName);
        gap = DescriptorTextGap(data.Bytes(), entry.DecodedSize());
        if (!productName[0]) gap = kGapNoInstallLine;
    }
    if (!installProgram) return kGapNoInstallProgram;
    if (descriptors == 0) return kGapNoDescriptor;
    return descriptors > 1 ? kGapTwoDescriptors : gap;
}
