// The survey's walk over a payload archive: the product name of the install descriptor and the
// pre-install program. Portable: it needs no window or resource.
#pragma once
#include "archive/PayloadArchive.h"

enum { kProductNameCapacity = 128, kPreInstallNameCapacity = 128 };

// What the survey looks for, by entry name (letter case ignored). The program started with
// the product name of the descriptor, from the extraction folder.
constexpr char kInstallProgramName[] = "install.exe";
// 1 for an install descriptor: a name holding ".kvr".
int IsDescriptorName(const char* name);
// 1 for a pre-install program: "AutoInst_" then a name holding ".exe".
int IsPreInstallName(const char* name);

// Walks the archive: productName (128 bytes) gets the "Install=" value of the first ".kvr"
// entry that has a non-empty one, preInstallName (128 bytes) the last "AutoInst_" ".exe"
// entry. Both are emptied first; an empty buffer means nothing of that kind was found.
// Returns 1, or 0 when a ".kvr" entry it had to read failed or the walk stopped at a damaged
// entry: faultName (kEntryNameCapacity bytes) then names that entry ("#n" for the n-th when its
// own words cannot be trusted). A payload that is not there is no fault here.
int SurveyArchive(const PayloadArchive& archive, char* productName, char* preInstallName,
                  char* faultName);

// The "Install=" value of a descriptor's data (size bytes, then at least one zero byte): the
// bytes after the key up to the first control character, at most 127 of them (a longer name is
// cut: it is only shown), into productName. Leaves productName as it was without the key.
void CopyInstallValue(const unsigned char* data, int size, char* productName);
