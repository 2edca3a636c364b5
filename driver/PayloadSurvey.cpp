#include "driver/PayloadSurvey.h"

#include "driver/PayloadEntry.h"
#include "support/RunOptions.h"

uint32_t ReadRunOptions(HMODULE module) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(kRunOptionsId), SFX_RUN_OPTIONS_TYPE);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    return RunOptionsOf(static_cast<const unsigned char*>(bytes),
                        found ? SizeofResource(module, found) : 0);
}

int FindPayload(HMODULE module, PayloadArchive& archive) {
    archive = PayloadArchive();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), "EXE_DATA");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || size > 0x7FFFFFFF) {
        ReportPayloadFault(kFaultNoResource, nullptr);
        return 0;
    }
    // The resource stays mapped for the life of the process; nothing frees it.
    archive.start = static_cast<const unsigned char*>(bytes);
    archive.length = static_cast<int32_t>(size);
    return 1;
}

int SurveyPayload(PayloadArchive& archive, char* productName, char* preInstallName, char* faultName,
                  HMODULE module) {
    FindPayload(module, archive);
    return SurveyArchive(archive, productName, preInstallName, faultName);
}
