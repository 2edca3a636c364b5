// The folder packer as pack and exe both run it: its options, its progress and its messages.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "tools/sfxpack/CommandLine.h"

// The archive of a folder's files under the command's --method, --order, --jobs, --level and the
// flags below; prints the reason and returns kExitUsage for bad input.
int PackFolderForCommand(const char* command, const std::string& folder, const Arguments& args,
                         std::vector<uint8_t>* archive);
// The flags of pack, which exe takes too: -1 to -9, -q/-v, --follow-symlinks, --skip-subfolders.
std::vector<std::string> PackFlags();
