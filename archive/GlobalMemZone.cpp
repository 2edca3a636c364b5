#include "archive/CtMem.h"

// Built among the static objects before the program's entry and released once at exit.
CtDynMemZone g_GlobalMemZone;
