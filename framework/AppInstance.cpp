#include "framework/AppInstance.h"

#include "support/Win32Forward.h"

MAIN_INSTANCE* g_CurrentInstance;
const char* g_AppCaption;

HINSTANCE CurrentModule() {
    return g_CurrentInstance ? g_CurrentInstance->instance : nullptr;
}

int ApplicationAllowsQuit() {
    return g_CurrentInstance ? g_CurrentInstance->CanQuit() : 1;
}

int AppMessageBox(const char* text, UINT style, HWND owner) {
    return ForwardMessageBox(owner, text, g_AppCaption, style);
}

MAIN_INSTANCE::MAIN_INSTANCE(HINSTANCE instance_) : instance(instance_) {
    if (g_CurrentInstance) AppMessageBox("Cr\u00e9ation multiple MAIN_INSTANCE ", MB_OK, nullptr);
    g_CurrentInstance = this;
}

MAIN_INSTANCE::~MAIN_INSTANCE() {
    g_CurrentInstance = nullptr;
}

void MAIN_INSTANCE::PumpAndWait(int) {}
int MAIN_INSTANCE::CanQuit() {
    return 1;
}
