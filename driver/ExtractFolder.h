// The extraction folder: tmp_qor under the user's temporary directory, emptied of what an
// earlier run left and filled with every payload entry.
#pragma once
#include "archive/PayloadArchive.h"
#include "driver/InstallFailure.h"

class TrustedFolder;

// Leaves the folder's path (no final backslash) in folderPath and the process's current
// directory in the folder, cleans it and writes the entries. 1 once every entry is written;
// 0, with failure saying why, when the folder cannot be named without cutting its path, made,
// entered or trusted (then nothing is deleted or written), when something in it cannot be
// cleared away, or at the first entry that is not written in full (a damaged archive, data that
// does not read as stored, a refused name, a file that cannot be written). Nothing may be
// started then. held, when given, keeps the folder open beyond the extraction (for the cleanup).
int ExtractPayload(char* folderPath, int folderPathCapacity, const PayloadArchive& archive,
                   InstallFailure& failure, TrustedFolder* held = nullptr);

// Removes from the folder held (entered at folderPath) the files of the archive's entries, then
// the folder itself, each only as itself. What stays (a file another program holds open, a
// folder holding other things) is named on the run's log channel.
void RemoveExtracted(TrustedFolder& held, const char* folderPath, const PayloadArchive& archive);
