// The pieces of the C++ runtime that the stub replaces with smaller ones of its own. The stub
// throws only inside the decompressor, which catches everything it throws.
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
