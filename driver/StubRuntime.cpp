// The pieces of the C++ runtime that the stub replaces with smaller ones of its own. The stub
// throws only inside the decompressor, which catches everything it throws.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
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

// The start-up code registers the image's frame records, and the unwinder asks for the one that
// covers a code address. The runtime's own registry sorts the records into a table, behind a
// lock, a semaphore and an allocator; the stub throws only for a damaged entry, so a walk through
// the records in link order, as the runtime itself does before it sorts, is enough.
namespace {
const unsigned char* g_frameRecords; // ended by a zero length
void* g_frameObject;

struct FrameBases { // the runtime's dwarf_eh_bases
    void* textBase;
    void* dataBase;
    void* function;
};

uint32_t ReadWord32(const unsigned char* p) {
    uint32_t value;
    memcpy(&value, p, sizeof value);
    return value;
}

const unsigned char* SkipLeb128(const unsigned char* p) {
    while (*p++ & 0x80) {
    }
    return p;
}

// Past a pointer of the given encoding; nullptr for one a 32-bit image does not use.
const unsigned char* SkipEncoded(unsigned char encoding, const unsigned char* p) {
    if (encoding & 0x40) return nullptr; // aligned
    switch (encoding & 0x0f) {
    case 0x00:
    case 0x03:
    case 0x0b:
        return p + 4;
    case 0x02:
    case 0x0a:
        return p + 2;
    case 0x04:
    case 0x0c:
        return p + 8;
    case 0x01:
    case 0x09:
        return SkipLeb128(p);
    default:
        return nullptr;
    }
}

// A 4-byte pointer, absolute or relative to its own place; false for any other encoding.
bool ReadPointer(unsigned char encoding, const unsigned char*& p, uintptr_t& value) {
    unsigned format = encoding & 0x0f, application = encoding & 0x70;
    if (format != 0x00 && format != 0x03 && format != 0x0b) return false;
    if (application != 0x00 && application != 0x10) return false;
    value = ReadWord32(p) + (application ? uintptr_t(p) : 0);
    p += 4;
    return true;
}

// The encoding of the code addresses in the records of the common record at cie.
bool AddressEncoding(const unsigned char* cie, unsigned char& encoding) {
    const unsigned char* p = cie + 8; // past the length and the zero id
    unsigned char version = *p++;
    const char* augmentation = reinterpret_cast<const char*>(p);
    p += strlen(augmentation) + 1;
    encoding = 0x00; // absolute unless said otherwise
    if (augmentation[0] != 'z') return augmentation[0] == 0;
    p = SkipLeb128(SkipLeb128(p));            // the code and data alignment factors
    p = version == 1 ? p + 1 : SkipLeb128(p); // the return address column
    p = SkipLeb128(p);                        // the augmentation data's length
    for (const char* a = augmentation + 1; *a && p; ++a) {
        if (*a == 'R') {
            encoding = *p;
            return true;
        }
        if (*a == 'L')
            ++p;
        else if (*a == 'P')
            p = SkipEncoded(p[0], p + 1);
        else if (*a != 'S')
            return false;
    }
    return p != nullptr;
}
} // namespace

extern "C" void __register_frame_info(const void* begin, void* object) {
    g_frameRecords = static_cast<const unsigned char*>(begin);
    g_frameObject = object;
}
extern "C" void* __deregister_frame_info(const void*) {
    g_frameRecords = nullptr;
    return g_frameObject;
}

extern "C" const void* _Unwind_Find_FDE(void* pc, FrameBases* bases) {
    const unsigned char* p = g_frameRecords;
    for (uint32_t length; p && (length = ReadWord32(p)) != 0 && length != 0xffffffffu;
         p += 4 + length) {
        uint32_t cieOffset = ReadWord32(p + 4);
        if (cieOffset == 0) continue; // a common record
        unsigned char encoding;
        const unsigned char* field = p + 8;
        uintptr_t begin, range;
        if (!AddressEncoding(p + 4 - cieOffset, encoding) || !ReadPointer(encoding, field, begin) ||
            !ReadPointer(encoding & 0x0f, field, range))
            continue;
        // A record whose function the link dropped starts at 0.
        if (begin != 0 && uintptr_t(pc) - begin < range) {
            *bases = {nullptr, nullptr, reinterpret_cast<void*>(begin)};
            return p;
        }
    }
    return nullptr;
}
