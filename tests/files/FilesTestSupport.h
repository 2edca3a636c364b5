// Scratch folders, file helpers and a log listener for the tests that run against the real
// file system (under Wine in the win32 build).
#pragma once
#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "archive/PayloadArchive.h"
#include "tests/support/LogCapture.h"
#include "tools/pack/ArchiveWriter.h"

// A fresh folder under the temporary directory, removed with its content when the test ends.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

  private:
    std::string path_;
};

void RemoveTree(const std::string& path);
void PutFile(const std::string& path, const std::string& bytes);
std::string FileBytes(const std::string& path); // "<missing>" when it cannot be read
bool Exists(const std::string& path);
uint64_t WriteTimeOf(const std::string& path);
// The names (not paths) of the files and folders in folder, sorted.
std::vector<std::string> NamesIn(const std::string& folder);

struct TestEntry {
    TestEntry(std::string entryName, std::string entryData, uint32_t entryMethod = kMethodInverted,
              std::string entryInfo = "")
        : name(entryName), data(entryData), method(entryMethod), info(entryInfo) {}
    std::string name;
    std::string data;
    uint32_t method;
    std::string info;
};

// A payload made in memory, viewed as the installer views its resource.
class TestPayload {
  public:
    static TestPayload Of(const std::vector<TestEntry>& entries);
    void Add(const TestEntry& entry);
    // An entry whose checkword does not match its bytes.
    void AddWithBadCheckword(const TestEntry& entry);
    // An entry whose decoded size no block can hold, though its stored stream could reach it.
    void AddHuge(const std::string& name, const std::string& data);
    // Stored bytes taken as they are, under any decoded size and method word.
    void AddStored(const std::string& name, const std::string& stored, int32_t decodedSize,
                   uint32_t method);
    PayloadArchive View() const;

  private:
    ArchiveWriter writer_;
};
