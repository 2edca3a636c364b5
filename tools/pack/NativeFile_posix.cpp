#include "tools/pack/NativeFile.h"

#include "tools/pack/FileTimes.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

bool CloseFile(NativeFile file) {
    return close(int(file)) == 0;
}

NativeFile OpenRegularFile(const std::string& path, bool followLinks, uint64_t* size,
                           uint64_t* fileTime, std::string* error) {
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
    ScopedFile in(open(path.c_str(), flags));
    if (in.Get() == kNoFile) {
        if (errno == ELOOP && !followLinks)
            *error = path + " is a symbolic link";
        else if (errno == ENXIO) // a socket cannot be opened at all
            *error = path + " is not a regular file";
        else
            *error = "cannot open " + path + ": " + strerror(errno);
        return kNoFile;
    }
    struct stat st;
    if (fstat(int(in.Get()), &st) != 0) {
        *error = "cannot read " + path + ": " + strerror(errno);
        return kNoFile;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = path + " is not a regular file";
        return kNoFile;
    }
    *size = uint64_t(st.st_size);
    *fileTime = UnixToFileTime(int64_t(st.st_mtime), uint32_t(st.st_mtim.tv_nsec));
    return in.Release();
}

long ReadSome(NativeFile file, uint8_t* into, size_t count) {
    for (;;) {
        ssize_t got = read(int(file), into, count);
        if (got >= 0 || errno != EINTR) return long(got);
    }
}

NativeFile CreateNewFile(const std::string& name, bool* taken, std::string* error) {
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    *taken = fd < 0 && errno == EEXIST;
    if (fd < 0 && !*taken) *error = "cannot create " + name + ": " + strerror(errno);
    return fd < 0 ? kNoFile : fd;
}

bool WriteBytes(NativeFile file, const uint8_t* bytes, size_t length) {
    while (length > 0) {
        ssize_t wrote = write(int(file), bytes, length);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        bytes += wrote;
        length -= size_t(wrote);
    }
    return true;
}

bool FlushFile(NativeFile file) {
    return fsync(int(file)) == 0;
}

bool WriteAll(NativeFile file, const uint8_t* bytes, size_t length) {
    return WriteBytes(file, bytes, length) && FlushFile(file);
}

bool SetWriteTime(NativeFile file, uint64_t fileTime) {
    int64_t seconds;
    uint32_t nanoseconds;
    FileTimeToUnix(fileTime, &seconds, &nanoseconds);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(nanoseconds);
    return futimens(int(file), times) == 0;
}

std::string OwnProgramPath() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}
