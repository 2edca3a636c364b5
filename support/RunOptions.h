// The run options an installer carries in its signed image: resource "EXE_OPTS" id 1, one 32-bit
// little-endian word of the flags below. sfxpack writes it, the installer reads it before
// anything else; an installer without it runs as it always did.
#pragma once
#include <stdint.h>

#define SFX_RUN_OPTIONS_TYPE "EXE_OPTS"

enum : uint32_t {
    kRunOptionsId = 1,
    kRunOptionsSize = 4,
    kRunWait = 1,    // waits for install.exe and ends with its exit code
    kRunCleanup = 2, // then removes what it extracted and the folder; implies kRunWait
};

// The flags of the resource's bytes: less than a word is none; bytes after the word, and
// flags not listed, are left for later versions. Cleanup brings wait with it.
inline uint32_t RunOptionsOf(const unsigned char* bytes, uint32_t size) {
    if (!bytes || size < kRunOptionsSize) return 0;
    uint32_t word = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24;
    word &= kRunWait | kRunCleanup;
    return word & kRunCleanup ? word | kRunWait : word;
}
