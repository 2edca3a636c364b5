// The file-name filter on any name: an accepted name can only name a file of the folder it is
// written in, never a path, a stream, a device or a name Windows would change.
#include "FuzzCheck.h"

#include "support/FileName.h"

#include <ctype.h>
#include <stdint.h>
#include <string.h>
#include <string>

namespace {

// The name's base (before the first '.'), upper-cased, blanks at its end dropped.
std::string DeviceBase(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        c = char(toupper(static_cast<unsigned char>(c)));
    return base;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    std::string name(reinterpret_cast<const char*>(bytes), size);
    name = name.c_str(); // the name is a text: up to its first zero byte
    if (!IsPlainFileName(name.c_str())) return 0;
    FUZZ_CHECK(!name.empty());
    for (unsigned char c : name) {
        FUZZ_CHECK(c >= 32);
        FUZZ_CHECK(!strchr("\\/:*?\"<>|", c));
    }
    FUZZ_CHECK(name.back() != '.' && name.back() != ' ');
    const std::string base = DeviceBase(name);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        FUZZ_CHECK(base != device);
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0))
        FUZZ_CHECK(!(base[3] >= '1' && base[3] <= '9'));
    return 0;
}
