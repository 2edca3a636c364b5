// Thin forwarders over five Windows calls: each passes its arguments unchanged (texts and paths,
// UTF-8, as UTF-16) and returns the call's result. Callers go through them so that one place
// names these calls.
#pragma once
#include <windows.h>

int ForwardMessageBox(HWND owner, const char* text, const char* caption, UINT style);
HANDLE ForwardCreateFile(const char* path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                         DWORD disposition, DWORD flags, HANDLE templateFile);
HICON ForwardLoadIcon(HINSTANCE instance, const char* name);
BOOL ForwardSetWindowText(HWND window, const char* text);
UINT ForwardRegisterWindowMessage(const char* name);
