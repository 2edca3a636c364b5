// What the survey and the extraction share about payload entries: which entry names may become
// files, and how entry faults are reported.
#pragma once
#include "archive/PayloadArchive.h"

enum {
    kEntryInfoCapacity = 128,
    // An entry name as the installer's text (UTF-8): up to three bytes for each of its own.
    kEntryTextCapacity = 3 * (kEntryNameCapacity - 1) + 1,
};

// 1 when entry, read as name (its own Windows-1252 bytes), may be written as a file of the
// extraction folder: its whole name fits the name buffer (a cut name is another file's) and it is
// a plain file name.
int EntryNameAccepted(const ArchiveEntry& entry, const char* name);

// The entry's name, into name (kEntryNameCapacity bytes, Windows-1252) and text
// (kEntryTextCapacity bytes, UTF-8).
void CopyEntryName(const ArchiveEntry& entry, char* name, char* text);

enum PayloadFault {
    kFaultNoResource, // the installer carries no payload
    kFaultUnsafeName, // the name would write outside the folder or to a device
    kFaultCreate,     // the entry's file cannot be created (Windows error code)
    kFaultWrite,      // the entry's data was not all written (Windows error code)
    kFaultFolder,     // the extraction folder cannot be named, entered or created
};

// Reports a fault on the payload channel (then channel 0), naming the entry or folder.
void ReportPayloadFault(PayloadFault fault, const char* name, unsigned long code = 0);
// The same for an entry whose data could not be read: the reason, then the name.
void ReportEntryFault(const char* name, ReadResult result);
// Reports why the walk stopped before the end and names the entry it stopped at by its place
// ("#n"), since that entry's own words cannot be trusted, into name (capacity bytes).
void ReportWalkFault(const EntryCursor& cursor, char* name, int capacity);
