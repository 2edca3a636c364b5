#include "support/FileName.h"

#include "support/Text.h"

static int IsDeviceName(const char* name) {
    // The device part ends at the first dot; Windows also ignores blanks before it.
    int base = 0;
    while (name[base] && name[base] != '.')
        ++base;
    while (base > 0 && name[base - 1] == ' ')
        --base;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (base == TextLength(device) && TextSearch(name, device, 0, base) == 1) return 1;
    }
    if (base != 4) return 0;
    // Windows also reserves COM0/LPT0 and the superscript digits 1, 2 and 3 of Windows-1252.
    unsigned char digit = static_cast<unsigned char>(name[3]);
    if (!((digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3))
        return 0;
    return TextSearch(name, "COM", 0, 3) == 1 || TextSearch(name, "LPT", 0, 3) == 1;
}

// A base of at most 6 characters, "~", digits, and an extension of at most 3: the form of the
// short names Windows gives long ones, so such a name may be another file's second name.
static int IsShortAlias(const char* name) {
    int at = 0;
    while (name[at] && name[at] != '~' && name[at] != '.')
        ++at;
    if (name[at] != '~' || at > 6) return 0;
    int digits = ++at;
    while (name[at] >= '0' && name[at] <= '9')
        ++at;
    if (at == digits) return 0;
    if (name[at] == '\0') return 1;
    if (name[at] != '.') return 0;
    int extension = ++at;
    while (name[at] && name[at] != '.')
        ++at;
    return name[at] == '\0' && at - extension <= 3;
}

int FileNameFault(const char* name) {
    if (!name || !name[0]) return kNameEmpty;
    static const char kRefused[] = "\\/:*?\"<>|";
    int length = 0;
    for (; name[length]; ++length) {
        unsigned char c = static_cast<unsigned char>(name[length]);
        if (c < 0x20) return kNameControl;
        for (const char* r = kRefused; *r; ++r) {
            if (c == static_cast<unsigned char>(*r)) return kNameRefusedCharacter;
        }
    }
    char last = name[length - 1];
    if (last == '.' || last == ' ') return kNameTrailingDotOrSpace;
    if (IsDeviceName(name)) return kNameDevice;
    return IsShortAlias(name) ? kNameShortAlias : kNamePlain;
}

int IsPlainFileName(const char* name) {
    return FileNameFault(name) == kNamePlain;
}
