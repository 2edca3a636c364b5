// The payload survey: finds the installer's payload and, in it, the product name of the
// install descriptor and the pre-install program. Writes nothing, starts nothing.
#pragma once
#include <windows.h>

#include "archive/PayloadArchive.h"

enum { kProductNameCapacity = 128, kPreInstallNameCapacity = 128 };

// Views the resource "EXE_DATA" id 1 of module (nullptr: the process's own module) as the
// archive. 1, or 0 with the archive left empty and the absence reported.
int FindPayload(HMODULE module, PayloadArchive& archive);

// Walks the archive: productName (128 bytes) gets the "Install=" value of the first ".kvr"
// entry that has a non-empty one, preInstallName (128 bytes) the last "AutoInst_" ".exe"
// entry. Both are emptied first; an empty buffer means nothing of that kind was found.
void SurveyArchive(const PayloadArchive& archive, char* productName, char* preInstallName);

// The installer's survey of its own payload: FindPayload then SurveyArchive.
void SurveyPayload(PayloadArchive& archive, char* productName, char* preInstallName,
                   HMODULE module = nullptr);
