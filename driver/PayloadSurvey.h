// The payload survey: finds the installer's payload and, in it, the product name of the
// install descriptor and the pre-install program. Writes nothing, starts nothing.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "driver/ArchiveSurvey.h"

// Views the resource "EXE_DATA" id 1 of module (nullptr: the process's own module) as the
// archive. 1, or 0 with the archive left empty and the absence reported.
int FindPayload(HMODULE module, PayloadArchive& archive);

// The run options module carries (resource "EXE_OPTS" id 1), or 0 without them.
uint32_t ReadRunOptions(HMODULE module = nullptr);

// The installer's survey of its own payload: FindPayload then SurveyArchive, whose result it
// gives.
int SurveyPayload(PayloadArchive& archive, char* productName, char* preInstallName, char* faultName,
                  HMODULE module = nullptr);
