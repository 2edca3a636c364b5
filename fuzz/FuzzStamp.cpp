// The build stamp reader on any bytes: Find over the input, then key lookups in what it found.
#include "FuzzCheck.h"

#include "driver/BuildStamp.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > INT_MAX) return 0;
    // The first byte picks the window so that both bounds get exercised.
    const int32_t length = int32_t(size - 1);
    const int32_t window = data[0] & 1 ? length : (data[0] >> 1) % (length + 1);
    std::vector<unsigned char> bytes(data + 1, data + size); // exactly the input, no slack
    SERIAL_REF stamp;
    if (!stamp.Find(bytes.data(), length, window)) return 0;
    FUZZ_CHECK(memchr(stamp.stampCopy, 0, sizeof stamp.stampCopy) != nullptr);
    const char* keys[] = {"Z000", "", "*", "!", "Z"};
    for (const char* key : keys) {
        char value[kStampValueLength];
        int count = stamp.FindKey(key, value, kStampValueLength);
        FUZZ_CHECK(count >= 0 && count <= kStampValueLength);
    }
    StampFields fields;
    CutStampFields(stamp, &fields);
    return 0;
}
