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
    if (base == 4 && name[3] >= '1' && name[3] <= '9') {
        return TextSearch(name, "COM", 0, 3) == 1 || TextSearch(name, "LPT", 0, 3) == 1;
    }
    return 0;
}

int IsPlainFileName(const char* name) {
    if (!name || !name[0]) return 0;
    static const char kRefused[] = "\\/:*?\"<>|";
    int length = 0;
    for (; name[length]; ++length) {
        unsigned char c = static_cast<unsigned char>(name[length]);
        if (c < 0x20) return 0;
        for (const char* r = kRefused; *r; ++r) {
            if (c == static_cast<unsigned char>(*r)) return 0;
        }
    }
    char last = name[length - 1];
    if (last == '.' || last == ' ') return 0;
    return !IsDeviceName(name);
}
