#include "tools/pack/RegularFile.h"

#include "tools/pack/NativeFile.h"

namespace {

bool Fail(std::string* error, const std::string& reason) {
    *error = reason;
    return false;
}

} // namespace

bool ReadRegularFile(const std::string& path, bool followLinks, uint64_t maxBytes,
                     RegularFile* file, std::string* error) {
    uint64_t size = 0;
    ScopedFile in(OpenRegularFile(path, followLinks, &size, &file->fileTime, error));
    if (in.Get() == kNoFile) return false;
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
