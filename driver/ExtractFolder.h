// The extraction folder: tmp_qor under the user's temporary directory, emptied of what an
// earlier run left and filled with every payload entry.
#pragma once
#include "archive/PayloadArchive.h"
#include "support/HFile.h"

enum { kCleanBatchPaths = 20 };

// The files collected by one pass of the cleaning.
struct CleanBatch {
    int foundCount = 0;
    char paths[kCleanBatchPaths][kFilePathCapacity];

    // ForEachFile's callback: collects path; 0 (stop) once the batch is full.
    int Add(const char* path, int userData);
};

// Leaves the folder's path (no final backslash) in folderPath and the process's current
// directory in the folder, cleans it and writes the entries. 1 once every entry is written;
// 0 at the first entry that is not (a damaged archive, data that does not read as stored, a
// refused name, a file that cannot be written: each reported), and 0, with nothing deleted or
// written, when the folder cannot be named without cutting its path, nor entered, nor created.
int ExtractPayload(char* folderPath, int folderPathCapacity, const PayloadArchive& archive);
