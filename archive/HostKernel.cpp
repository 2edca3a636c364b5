// Host stand-in for the movable local memory of the Win32 kernel, with just the behaviour the
// archive code relies on: LMEM_ZEROINIT memory is zero-filled, a locked block does not move,
// reallocation keeps the contents. An unlocked block always moves on reallocation, so stale
// addresses show up in tests instead of working by luck.
#include "archive/Win32Kernel.h"

#include <stdlib.h>
#include <string.h>

namespace {

struct HostBlock {
    unsigned char* bytes;
    size_t size;
    int locks;
};

// What a block holds without LMEM_ZEROINIT: visible garbage, never accidental zeros.
const unsigned char kUninitialised = 0xA5;

unsigned char* NewBytes(size_t bytes, UINT flags) {
    unsigned char* memory = static_cast<unsigned char*>(malloc(bytes ? bytes : 1));
    if (memory) memset(memory, (flags & LMEM_ZEROINIT) ? 0 : kUninitialised, bytes);
    return memory;
}

} // namespace

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    HostBlock* block = static_cast<HostBlock*>(malloc(sizeof(HostBlock)));
    if (!block) return nullptr;
    block->bytes = NewBytes(bytes, flags);
    if (!block->bytes) {
        free(block);
        return nullptr;
    }
    block->size = bytes;
    block->locks = 0;
    return block;
}

HLOCAL LocalReAlloc(HLOCAL handle, SIZE_T bytes, UINT flags) {
    HostBlock* block = static_cast<HostBlock*>(handle);
    if (!block) return nullptr;
    if (block->locks > 0) {
        // A locked block may only change size in place.
        if (bytes > block->size) return nullptr;
        block->size = bytes;
        return block;
    }
    unsigned char* moved = NewBytes(bytes, flags);
    if (!moved) return nullptr;
    memcpy(moved, block->bytes, bytes < block->size ? bytes : block->size);
    free(block->bytes);
    block->bytes = moved;
    block->size = bytes;
    return block;
}

void* LocalLock(HLOCAL handle) {
    HostBlock* block = static_cast<HostBlock*>(handle);
    if (!block) return nullptr;
    ++block->locks;
    return block->bytes;
}

BOOL LocalUnlock(HLOCAL handle) {
    HostBlock* block = static_cast<HostBlock*>(handle);
    if (!block || block->locks == 0) return 0;
    --block->locks;
    return block->locks > 0;
}

HLOCAL LocalFree(HLOCAL handle) {
    HostBlock* block = static_cast<HostBlock*>(handle);
    if (block) {
        free(block->bytes);
        free(block);
    }
    return nullptr;
}
