// The extraction folder: tmp_qor under the user's temporary directory, emptied of what an
// earlier run left and filled with every payload entry.
#pragma once
#include "archive/PayloadArchive.h"
#include "driver/InstallFailure.h"

// Leaves the folder's path (no final backslash) in folderPath and the process's current
// directory in the folder, cleans it and writes the entries. 1 once every entry is written;
// 0, with failure saying why, when the folder cannot be named without cutting its path, made,
// entered or trusted (then nothing is deleted or written), when something in it cannot be
// cleared away, or at the first entry that is not written in full (a damaged archive, data that
// does not read as stored, a refused name, a file that cannot be written). Nothing may be
// started then.
int ExtractPayload(char* folderPath, int folderPathCapacity, const PayloadArchive& archive,
                   InstallFailure& failure);
