#include "framework/StartupObjects.h"

// C++ orders static objects only within one translation unit: the ones whose order matters are
// all defined here, in the order the program needs them.
AUTO_OBJET g_BitmapGroup(nullptr, "Groupe des BMPs");
CtDynMemZone g_GlobalMemZone;
HWND_REC_LOG g_LogReceiver("QorPassLogMess");

namespace {
struct DrawingResourcesMaker {
    DrawingResourcesMaker() { PALETTE::MakeDrawingResources(); }
};
DrawingResourcesMaker s_drawingResources;
} // namespace
