#include "tools/pack/FileTimes.h"

namespace {

const int64_t kSecondsFrom1601To1970 = 11644473600LL;
const uint32_t kTicksPerSecond = 10000000u;

} // namespace

uint64_t UnixToFileTime(int64_t seconds, uint32_t nanoseconds) {
    if (seconds < -kSecondsFrom1601To1970) return 0;
    return uint64_t(seconds + kSecondsFrom1601To1970) * kTicksPerSecond + nanoseconds / 100;
}

void FileTimeToUnix(uint64_t fileTime, int64_t* seconds, uint32_t* nanoseconds) {
    *seconds = int64_t(fileTime / kTicksPerSecond) - kSecondsFrom1601To1970;
    *nanoseconds = uint32_t(fileTime % kTicksPerSecond) * 100u;
}
