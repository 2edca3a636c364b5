#include "archive/CtMem.h"

int CtMem::s_blockCount = 0;
int CtMem::s_byteTotal = 0;

namespace {
// Every block that gets memory gets at least this much.
const int kMinimumBlock = 256;
} // namespace

CtMem::CtMem(int bytes) : handle(nullptr), size(0), data(nullptr) {
    ++s_blockCount;
    if (bytes == 0) return;
    // Negative sizes and sizes up to the minimum all get the minimum; a failure leaves the
    // block without memory, which its users check through data.
    Allocate(bytes > kMinimumBlock ? bytes : kMinimumBlock);
}

CtMem::~CtMem() {
    Release();
}

int CtMem::Allocate(int bytes) {
    if (bytes <= 0) return 0;
    if (!handle) {
        handle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, static_cast<SIZE_T>(bytes));
        if (!handle) return 0;
    } else {
        LocalUnlock(handle);
        HLOCAL moved = LocalReAlloc(handle, static_cast<SIZE_T>(bytes), 0);
        // A failed reallocation leaves the old memory ours: lock it again, keep the block as it
        // was.
        if (!moved) {
            data = static_cast<unsigned char*>(LocalLock(handle));
            return 0;
        }
        s_byteTotal -= size;
        handle = moved;
    }
    size = bytes;
    s_byteTotal += bytes;
    data = static_cast<unsigned char*>(LocalLock(handle));
    return data ? 1 : 0;
}

void CtMem::Release() {
    if (!handle) return;
    --s_blockCount;
    LocalUnlock(handle);
    LocalFree(handle);
    s_byteTotal -= size;
    handle = nullptr;
    data = nullptr;
    size = 0;
}

CtDynMemZone::CtDynMemZone() : CtMem(0x40000), field1(0), field2(0), field3(4), field4(0x20000) {}

CtDynMemZone::~CtDynMemZone() {}
