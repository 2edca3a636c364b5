// A movable, zero-initialised local memory block, locked for its whole life and freed by
// its destructor. A block that got no memory has data == nullptr: users must check.
#pragma once
#include "archive/Win32Kernel.h"

class CtMem {
  public:
    explicit CtMem(int size);
    virtual ~CtMem();
    CtMem(const CtMem&) = delete;
    CtMem& operator=(const CtMem&) = delete;

    int Allocate(int bytes);
    void Release();

    HLOCAL handle;
    int size;
    unsigned char* data;

    // Process-wide bookkeeping; nothing reads it but the tests.
    static int s_blockCount;
    static int s_byteTotal;
};

// The global reserve taken at start-up and given back at exit.
class CtDynMemZone : public CtMem {
  public:
    CtDynMemZone();
    ~CtDynMemZone() override;
    int field1, field2, field3, field4;
};

// The process's one reserve: a static object defined with the other start-up objects, whose
// order matters.
extern CtDynMemZone g_GlobalMemZone;
