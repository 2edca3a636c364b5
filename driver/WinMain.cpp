// The installer's entry point.
#include <stdlib.h>
#include <windows.h>

#include "driver/Appli.h"
#include "driver/DllSearch.h"
#include "driver/HostWindow.h"
#include "framework/Palette.h"
#include "support/Win32Forward.h"

// Before the start-up objects and the entry code, any of which may load a DLL: a DLL planted
// beside a downloaded installer is never loaded.
__attribute__((constructor(101))) static void RestrictDllSearchFirst() {
    RestrictDllSearch();
}

// The runtime's default terminate handler prints the uncaught exception's name through a C++
// demangler that would make up a third of the stub. The stub throws only inside the
// decompressor, which catches everything it throws; terminating needs no name.
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

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand) {
    // The command line is not copied: it lives as long as the process, and the install sequence
    // hands it whole to install.exe.
    APPLI application("QorExe", instance, previousInstance, commandLine, showCommand);
    if (PALETTE::s_appIcon) DestroyIcon(PALETTE::s_appIcon);
    PALETTE::s_appIcon = ForwardLoadIcon(instance, "G_ICON");
    application.Start();
    return application.exitCode;
}
