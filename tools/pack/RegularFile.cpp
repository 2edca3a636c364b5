#include "tools/pack/RegularFile.h"

#include "tools/pack/PackFolder.h"

#include <errno.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>

#include <filesystem>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

bool Fail(std::string* error, const std::string& reason) {
    *error = reason;
    return false;
}

#ifdef _WIN32
using Native = HANDLE;
const Native kNoFile = INVALID_HANDLE_VALUE;

void CloseNative(Native h) {
    CloseHandle(h);
}

// Reads up to count bytes; 0 at the end of the file, -1 on an error.
long ReadSome(Native h, uint8_t* into, size_t count) {
    DWORD got = 0;
    DWORD ask = count > 0x10000000 ? 0x10000000 : DWORD(count);
    return ReadFile(h, into, ask, &got, nullptr) ? long(got) : -1;
}
#else
using Native = int;
const Native kNoFile = -1;

void CloseNative(Native fd) {
    close(fd);
}

long ReadSome(Native fd, uint8_t* into, size_t count) {
    for (;;) {
        ssize_t got = read(fd, into, count);
        if (got >= 0 || errno != EINTR) return long(got);
    }
}
#endif

class InputHandle {
  public:
    explicit InputHandle(Native handle) : handle_(handle) {}
    ~InputHandle() {
        if (handle_ != kNoFile) CloseNative(handle_);
    }
    InputHandle(const InputHandle&) = delete;
    InputHandle& operator=(const InputHandle&) = delete;
    Native Get() const { return handle_; }

  private:
    Native handle_;
};

} // namespace

bool ReadRegularFile(const std::string& path, bool followLinks, uint64_t maxBytes,
                     RegularFile* file, std::string* error) {
#ifdef _WIN32
    // A reparse point opened as itself is a link, never its target.
    DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    InputHandle in(CreateFileW(std::filesystem::u8path(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, flags, nullptr));
    if (in.Get() == kNoFile)
        return Fail(error,
                    "cannot open " + path + " (error " + std::to_string(GetLastError()) + ")");
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(in.Get(), &info)) return Fail(error, "cannot read " + path);
    if (!followLinks && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return Fail(error, path + " is a symbolic link");
    if (GetFileType(in.Get()) != FILE_TYPE_DISK ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(error, path + " is not a regular file");
    uint64_t size = uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    file->fileTime =
        uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32 | info.ftLastWriteTime.dwLowDateTime;
#else
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
    InputHandle in(open(path.c_str(), flags));
    if (in.Get() == kNoFile) {
        if (errno == ELOOP && !followLinks) return Fail(error, path + " is a symbolic link");
        // A socket cannot be opened at all.
        if (errno == ENXIO) return Fail(error, path + " is not a regular file");
        return Fail(error, "cannot open " + path + ": " + strerror(errno));
    }
    struct stat st;
    if (fstat(in.Get(), &st) != 0)
        return Fail(error, "cannot read " + path + ": " + strerror(errno));
    if (!S_ISREG(st.st_mode)) return Fail(error, path + " is not a regular file");
    uint64_t size = uint64_t(st.st_size);
    file->fileTime = UnixToFileTime(int64_t(st.st_mtime), uint32_t(st.st_mtim.tv_nsec));
#endif
    if (size > maxBytes) return Fail(error, path + " is larger than an installer can hold");
    file->bytes.resize(size_t(size));
    for (size_t got = 0; got < file->bytes.size();) {
        long n = ReadSome(in.Get(), file->bytes.data() + got, file->bytes.size() - got);
        if (n < 0) return Fail(error, "cannot read " + path);
        if (n == 0) return Fail(error, path + " changed while it was read");
        got += size_t(n);
    }
    // A file that grew while it was read would be stored cut short.
    uint8_t more;
    long n = ReadSome(in.Get(), &more, 1);
    if (n != 0)
        return Fail(error, n < 0 ? "cannot read " + path : path + " changed while it was read");
    return true;
}
