// What the survey and the extraction share about payload entries: the block that holds an
// entry's decoded data, which entry names may become files, and how entry faults are reported.
#pragma once
#include "archive/PayloadArchive.h"

// An entry's decoded data goes into a block of its size and kEntrySlack spare zero bytes, so
// that a text in it always ends. ReadEntry yields only decoded sizes that leave that room.
enum { kEntryNameCapacity = 64, kEntryInfoCapacity = 128, kEntrySlack = 10 };

// 1 when entry index, read as name, may be written as a file of the extraction folder: its
// whole name fits the name buffer (a cut name is another file's) and it is a plain file name.
int EntryNameAccepted(const PayloadArchive& archive, int index, const char* name);

enum PayloadFault {
    kFaultNoResource, // the installer carries no payload
    kFaultNoMemory,   // the entry's data block got no memory
    kFaultUnsafeName, // the name would write outside the folder or to a device
    kFaultCreate,     // the entry's file cannot be created (Windows error code)
    kFaultWrite,      // the entry's data was not all written (Windows error code)
    kFaultFolder,     // the extraction folder cannot be named, entered or created
};

// Reports a fault on the payload channel (then channel 0), naming the entry or folder.
void ReportPayloadFault(PayloadFault fault, const char* name, unsigned long code = 0);
