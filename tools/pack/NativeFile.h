// The file operations that differ between POSIX and Windows, for the packer and sfxpack.
// NativeFile_posix.cpp or NativeFile_win32.cpp holds them; CMake builds the one that fits.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>

// A file descriptor, or a Windows HANDLE; both systems use -1 for none.
using NativeFile = intptr_t;
const NativeFile kNoFile = -1;

// False when closing failed (a write the system had kept back did not reach the disk).
bool CloseFile(NativeFile file);

// Closes its file when it goes.
class ScopedFile {
  public:
    explicit ScopedFile(NativeFile file = kNoFile) : file_(file) {}
    ~ScopedFile() {
        if (file_ != kNoFile) CloseFile(file_);
    }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    NativeFile Get() const { return file_; }
    // Closes now; false when closing failed.
    bool Close() {
        NativeFile file = file_;
        file_ = kNoFile;
        return file == kNoFile || CloseFile(file);
    }
    // Hands the file over without closing it.
    NativeFile Release() {
        NativeFile file = file_;
        file_ = kNoFile;
        return file;
    }
    void Reset(NativeFile file) {
        Close();
        file_ = file;
    }

  private:
    NativeFile file_;
};

// Opens path for reading without blocking (a FIFO would wait for a writer) and, unless
// followLinks, without following a symbolic link; then checks through the open file that it is
// a regular file and gives its size and last-write time (a Windows FILETIME). kNoFile with a
// one-line reason naming path.
NativeFile OpenRegularFile(const std::string& path, bool followLinks, uint64_t* size,
                           uint64_t* fileTime, std::string* error);

// Reads up to count bytes; 0 at the end of the file, -1 on an error.
long ReadSome(NativeFile file, uint8_t* into, size_t count);

// Creates name for writing, exclusively, so that nothing planted there (a link above all) is
// ever opened. kNoFile with *taken set when the name exists, or with a one-line reason.
NativeFile CreateNewFile(const std::string& name, bool* taken, std::string* error);

// Writes everything and flushes it to the disk.
bool WriteAll(NativeFile file, const uint8_t* bytes, size_t length);
// Writes everything, leaving the flush to FlushFile (a file written piece by piece).
bool WriteBytes(NativeFile file, const uint8_t* bytes, size_t length);
bool FlushFile(NativeFile file);

// Sets the last-write time (a Windows FILETIME) and leaves the access time alone.
bool SetWriteTime(NativeFile file, uint64_t fileTime);

// The running program's own path, or empty when the system does not tell.
std::string OwnProgramPath();
