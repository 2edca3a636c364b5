// The few Win32 kernel calls the portable core needs. The win32 build calls the real
// functions; the host build gets a small stand-in of our own (HostKernel.cpp) with the
// semantics the core relies on: fresh memory zero-filled, a locked block does not move,
// reallocation keeps contents.
#pragma once
#ifdef _WIN32
#include <windows.h>
#else
#include <stddef.h>
#include <stdint.h>
typedef void* HLOCAL;
typedef unsigned int UINT;
typedef size_t SIZE_T;
typedef int BOOL;
#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalReAlloc(HLOCAL handle, SIZE_T bytes, UINT flags);
void* LocalLock(HLOCAL handle);
BOOL LocalUnlock(HLOCAL handle);
HLOCAL LocalFree(HLOCAL handle);
#endif
