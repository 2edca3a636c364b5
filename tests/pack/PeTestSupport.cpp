#include "tests/pack/PeTestSupport.h"

#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

std::vector<uint8_t> LoadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void SaveFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string ProbePath(const std::string& name) {
    return std::string(SFX_PROBE_DIR) + "/" + name;
}

std::string ScratchPath(const std::string& name) {
    fs::path folder = fs::path(SFX_PROBE_DIR) / "scratch";
    fs::create_directories(folder);
    return (folder / name).string();
}

namespace {

std::string ReadText(const std::string& path) {
    std::vector<uint8_t> bytes = LoadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

CommandResult RunCommand(const std::string& command) {
    static int serial = 0;
    std::string out = ScratchPath("cmd" + std::to_string(++serial) + ".out");
    std::string err = out + ".err";
    CommandResult r;
    int status = system((command + " >'" + out + "' 2>'" + err + "' </dev/null").c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadText(out);
    r.err = ReadText(err);
    fs::remove(out);
    fs::remove(err);
    return r;
}

ProbeReport RunProbe(const std::string& exe, const std::string& dll) {
    std::string command = std::string(SFX_WINE_RUN) + " '" + exe + "'";
    if (!dll.empty()) command += " '" + dll + "'";
    CommandResult r = RunCommand(command);
    ProbeReport report;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, 8, "payload ") == 0) report.payload = line;
        if (line.compare(0, 9, "resource ") == 0) report.resources.push_back(line);
        if (line.compare(0, 9, "checksum ") == 0) report.checksum = line;
        if (line.compare(0, 7, "module ") == 0) report.module = line;
    }
    std::sort(report.resources.begin(), report.resources.end());
    return report;
}

uint32_t Fnv1a(const std::vector<uint8_t>& bytes) {
    uint32_t hash = 2166136261u;
    for (uint8_t b : bytes)
        hash = (hash ^ b) * 16777619u;
    return hash;
}

std::string PayloadLine(const std::vector<uint8_t>& bytes) {
    char line[64];
    snprintf(line, sizeof line, "size=%zu fnv=%08x", bytes.size(), Fnv1a(bytes));
    return line;
}
