// Files and directories: a scoped file handle that writes a payload entry and restores its
// last-write time, and an enumeration of the files that match a pattern.
#pragma once
#include <windows.h>

enum { kFilePathCapacity = 256, kFileNameCapacity = 64 };

class H_FILE {
  public:
    H_FILE() = default;
    virtual ~H_FILE();
    H_FILE(const H_FILE&) = delete;
    H_FILE& operator=(const H_FILE&) = delete;

    // Shared for reading only while it is open. Opening again closes the earlier file.
    int Open(const char* path, DWORD disposition, DWORD access);
    // length -1: the bytes are a text, written without its terminator. Returns the count
    // written (0 when not open).
    DWORD Write(const void* bytes, int length);
    // Last-write time from the info keys "\r\nDWCL=" / "\r\nDWCH="; length 0 = the text's own.
    void SetWriteTimeFromInfo(const char* info, int length);

    HANDLE handle = INVALID_HANDLE_VALUE;
    char path[kFilePathCapacity] = {};
    DWORD bytesWritten = 0;
    DWORD lastError = 0;
};

// Joins the folder part of pattern (up to its last '\' or ':') with name into output.
// Returns the terminator's place, or nullptr with output emptied when the result would not
// fit in capacity: a cut path names another file.
char* PathJoin(const char* pattern, const char* name, char* output, int capacity);

// A file found by FindSearch: its name as UTF-8 (three bytes a unit: every name fits whole).
struct FoundFile {
    DWORD attributes;
    char name[3 * MAX_PATH];
};

// Owns a search handle so that every path out of the enumeration closes it.
class FindSearch {
  public:
    FindSearch(const char* pattern, FoundFile* found);
    ~FindSearch() {
        if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
    }
    FindSearch(const FindSearch&) = delete;
    FindSearch& operator=(const FindSearch&) = delete;
    bool Found() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Next(FoundFile* found);

  private:
    void Take(FoundFile* found);
    HANDLE handle_;
    WIN32_FIND_DATAW data_;
};

// Called for each file found; returns 0 to stop the enumeration.
typedef int (*FileCallback)(void* receiver, const char* path, int userData);

// Calls back with the full path of every file matching pattern, passing over names that
// begin with '.', folders, and names too long to join without cutting (64-byte name, 256-byte
// path). Returns the number of names seen that do not begin with '.'. A non-zero *stopFlag,
// read before every name, ends the enumeration.
int ForEachFileWith(const char* pattern, void* receiver, FileCallback callback, int userData,
                    const int* stopFlag);

template <class Receiver>
int ForEachFile(const char* pattern, Receiver& receiver,
                int (Receiver::*callback)(const char* path, int userData), int userData,
                const int* stopFlag = nullptr) {
    struct Binding {
        Receiver* receiver;
        int (Receiver::*callback)(const char*, int);
        static int Call(void* self, const char* path, int data) {
            Binding* b = static_cast<Binding*>(self);
            return (b->receiver->*b->callback)(path, data);
        }
    } binding{&receiver, callback};
    return ForEachFileWith(pattern, &binding, &Binding::Call, userData, stopFlag);
}
