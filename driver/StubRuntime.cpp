// The pieces of the C++ runtime that the stub replaces with smaller ones of its own. The stub
// runs on one thread and throws only inside the decompressor, which catches everything it throws.
#include <stdlib.h>

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

// The exception runtime's state of the current thread (the C++ ABI's layout: the caught
// exceptions' stack and the count of uncaught ones). The runtime keeps it in emulated
// thread-local storage, whose code would stay in the stub; with one thread, one record will do.
namespace __cxxabiv1 {
struct __cxa_eh_globals;
}
extern "C" __cxxabiv1::__cxa_eh_globals* __cxa_get_globals() noexcept {
    static struct {
        void* caughtExceptions;
        unsigned int uncaughtExceptions;
    } state;
    return reinterpret_cast<__cxxabiv1::__cxa_eh_globals*>(&state);
}
extern "C" __cxxabiv1::__cxa_eh_globals* __cxa_get_globals_fast() noexcept {
    return __cxa_get_globals();
}
