// The pieces of the C++ runtime that the stub replaces with smaller ones of its own. The stub
// throws only inside the decompressor, which catches everything it throws.
#include <stdlib.h>
#include <unwind.h>

#include <typeinfo>

// The runtime's default terminate handler prints the uncaught exception's name through a C++
// demangler that would make up a third of the stub; terminating needs no name.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    abort();
}
} // namespace __gnu_cxx

// The runtime's operator new throws std::bad_alloc, which nothing in the stub catches: it ends in
// the terminate handler above. Ending there directly leaves the exception's type information and
// the new-handler machinery out of the stub.
void* operator new(size_t size) {
    if (void* block = malloc(size ? size : 1)) return block;
    abort();
}

// The stub starts no thread, so the exception runtime's per-thread state can be one static
// record: the runtime's own keeps it in emulated thread-local storage, with its allocator and the
// thread library's keys behind it.
namespace {
struct ExceptionGlobals { // the runtime's __cxa_eh_globals
    void* caughtExceptions;
    unsigned int uncaughtExceptions;
};
ExceptionGlobals g_exceptionGlobals;
} // namespace

// An exception object comes with the runtime's record in front of it; the runtime finds the record
// by this size. Its own allocator adds a reserve pool for when memory runs out, a mutex for the
// pool and the thread library behind it: the stub allocates from the heap and stops when it is
// exhausted, as operator new does.
namespace {
struct ThrownRecord { // the runtime's __cxa_refcounted_exception, field for field
    int referenceCount;
    struct {
        std::type_info* exceptionType;
        void (*exceptionDestructor)(void*);
        void (*unexpectedHandler)();
        void (*terminateHandler)();
        void* nextException;
        int handlerCount;
        int handlerSwitchValue;
        const unsigned char* actionRecord;
        const unsigned char* languageSpecificData;
        _Unwind_Ptr catchTemp;
        void* adjustedPtr;
        _Unwind_Exception unwindHeader;
    } exception;
};
} // namespace

extern "C" void* __cxa_allocate_exception(size_t size) noexcept {
    char* block = static_cast<char*>(calloc(1, sizeof(ThrownRecord) + size));
    if (!block) abort();
    return block + sizeof(ThrownRecord);
}
extern "C" void __cxa_free_exception(void* object) noexcept {
    free(static_cast<char*>(object) - sizeof(ThrownRecord));
}

extern "C" void* __cxa_get_globals() noexcept {
    return &g_exceptionGlobals;
}
extern "C" void* __cxa_get_globals_fast() noexcept {
    return &g_exceptionGlobals;
}

// The start-up code patches the references the linker could not resolve directly to data in a
// DLL. The stub imports only functions, so the list is empty, and the patcher, which would bring
// its section walk along, is left out; should an import of data ever appear, the stub stops at
// once instead of running with an unpatched reference.
extern "C" char __RUNTIME_PSEUDO_RELOC_LIST__[], __RUNTIME_PSEUDO_RELOC_LIST_END__[];
extern "C" void _pei386_runtime_relocator() {
    if (+__RUNTIME_PSEUDO_RELOC_LIST_END__ != +__RUNTIME_PSEUDO_RELOC_LIST__) abort();
}
