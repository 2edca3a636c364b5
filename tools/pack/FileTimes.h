// Windows FILETIME values (100 ns units since 1601-01-01 UTC) and Unix times, both ways: the
// packer records a file's time, sfxpack extract restores it.
#pragma once
#include <stdint.h>

// 0 for a time before 1601.
uint64_t UnixToFileTime(int64_t seconds, uint32_t nanoseconds);

// Whole seconds (rounded down) and the nanoseconds past them.
void FileTimeToUnix(uint64_t fileTime, int64_t* seconds, uint32_t* nanoseconds);
