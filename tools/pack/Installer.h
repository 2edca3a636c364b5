// An installer: the stub with a payload, its manifest's execution level and, when asked, an icon,
// version information and fixed time stamps.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "tools/pack/InstallerResources.h"

struct InstallerOptions {
    std::string executionLevel;        // none: the stub's own stays
    std::vector<IconImage> icon;       // none: the stub's icon stays the one shown
    std::vector<VersionField> version; // none: no version information
    bool fixedTime = false;            // the time stamps become timeStamp (reproducible builds)
    uint32_t timeStamp = 0;            // seconds since 1970-01-01 UTC
    uint32_t runOptions = 0;           // kRunWait, kRunCleanup; 0: no options resource
};

// The run options an installer carries (0 for none, or for a file that is no PE image).
uint32_t InstallerRunOptions(const std::vector<uint8_t>& file);

// False with a one-line reason for a stub that cannot take them (not a PE image, signed, no
// application manifest, ...).
bool BuildInstaller(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& payload,
                    const InstallerOptions& options, std::vector<uint8_t>* out, std::string* error);
