// The static objects built before the entry function, in this order: the bitmap group, the
// global memory zone, the log receiver, then the drawing resources.
#pragma once
#include "archive/CtMem.h"
#include "framework/Objet.h"
#include "support/MessageLog.h"

extern AUTO_OBJET g_BitmapGroup;   // "Groupe des BMPs"
extern HWND_REC_LOG g_LogReceiver; // "QorPassLogMess"
