// Whether a payload can install: what sfxpack checks before it builds an installer, by the
// rules the survey reads a payload with. Portable; the installer itself does not use it.
#pragma once
#include "archive/PayloadArchive.h"

enum PayloadGap {
    kPayloadInstallable,
    kGapNoInstallProgram,  // no install.exe entry: nothing would be started
    kGapNoDescriptor,      // no ".kvr" entry: no product name, nothing started
    kGapTwoDescriptors,    // more than one: only the first with a product name counts
    kGapDescriptorDamaged, // its data does not read back
    kGapNoInstallLine,     // no "Install=" line with a product name
    kGapDescriptorNot1252, // a control character or a byte code page 1252 leaves unassigned
    kGapDescriptorUtf8,    // saved as UTF-8: the dialog would show "DÃ©mo"
};

// The first gap, in the order above, or kPayloadInstallable; descriptor (kEntryNameCapacity
// bytes) gets the name of the descriptor concerned, or the second one for kGapTwoDescriptors.
int CheckInstallable(const PayloadArchive& archive, char* descriptor);
