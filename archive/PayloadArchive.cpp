#include "archive/PayloadArchive.h"

EntryCursor PayloadArchive::WalkTo(int index) const {
    EntryCursor cursor = Entries();
    // Entries before the wanted one are stepped over, their checkwords unread; a negative index
    // never matches and walks to the end.
    for (int step = 0; (step < index || index < 0) && cursor.Skip() == kEntryFound; ++step) {
    }
    cursor.Next();
    return cursor;
}

EntryStatus PayloadArchive::Locate(int index, const unsigned char** entry) const {
    EntryCursor cursor = WalkTo(index);
    if (cursor.Status() == kEntryFound) *entry = cursor.Entry().Bytes();
    return cursor.Status();
}

int PayloadArchive::ReadEntry(int index, char* name, int nameCapacity, char* info, int infoCapacity,
                              unsigned char* data, int* dataLength) const {
    EntryCursor cursor = WalkTo(index);
    if (cursor.Status() != kEntryFound) {
        if (cursor.Result().status != kReadSound) ReportReadResult(cursor.Result());
        return 0;
    }
    const ArchiveEntry& entry = cursor.Entry();
    if (name) entry.CopyName(name, nameCapacity);
    if (info) entry.CopyInfo(info, infoCapacity);
    if (dataLength) {
        if (data) entry.CopyData(data, *dataLength);
        *dataLength = entry.DecodedSize();
    }
    return 1;
}
