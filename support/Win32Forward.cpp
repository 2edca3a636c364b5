#include "support/Win32Forward.h"

#include "support/Unicode.h"

int ForwardMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    return MessageBoxW(owner, WideText(text), WideText(caption), style);
}

HANDLE ForwardCreateFile(const char* path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                         DWORD disposition, DWORD flags, HANDLE templateFile) {
    return CreateFileW(WideText(path), access, share, security, disposition, flags, templateFile);
}

HICON ForwardLoadIcon(HINSTANCE instance, const char* name) {
    return LoadIconA(instance, name);
}

BOOL ForwardSetWindowText(HWND window, const char* text) {
    return SetWindowTextW(window, WideText(text));
}

UINT ForwardRegisterWindowMessage(const char* name) {
    return RegisterWindowMessageA(name);
}
