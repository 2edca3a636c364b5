// Shared by the PE writer tests: files, commands and the probe programs' reports.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "tests/pack/RandomBytes.h"

std::vector<uint8_t> LoadFile(const std::string& path);
void SaveFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::string ProbePath(const std::string& name);   // a probe built for the tests
std::string ScratchPath(const std::string& name); // a file of the tests' own scratch folder

struct CommandResult {
    int exitCode = -1;
    std::string out, err;
};
CommandResult RunCommand(const std::string& command);

// What a probe prints under Wine: the payload line, the sorted resource lines, the checksums,
// and for a DLL where it was loaded and what its relocated code read.
struct ProbeReport {
    std::string payload;
    std::vector<std::string> resources;
    std::string checksum;
    std::string module;
};
// The probe program's own resources, or those of the DLL it loads.
ProbeReport RunProbe(const std::string& exe, const std::string& dll = "");

// The line a probe prints for a payload or resource of these bytes.
uint32_t Fnv1a(const std::vector<uint8_t>& bytes);
std::string PayloadLine(const std::vector<uint8_t>& bytes);
