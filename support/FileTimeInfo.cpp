#include "support/FileTimeInfo.h"

#include "support/Text.h"

namespace {

const char kLowKey[] = "\r\nDWCL=";
const char kHighKey[] = "\r\nDWCH=";

} // namespace

uint32_t DecimalToWord(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    return negative ? 0u - value : value;
}

int InfoWriteTime(const char* info, int length, uint32_t* low, uint32_t* high) {
    char lowText[16] = {0};
    char highText[16] = {0};
    TextKeyValue(info, length, kLowKey, lowText, sizeof lowText);
    TextKeyValue(info, length, kHighKey, highText, sizeof highText);
    if (lowText[0] == 0 && highText[0] == 0) return 0;
    *low = DecimalToWord(lowText);
    *high = DecimalToWord(highText);
    return 1;
}

int WriteTimeText(uint64_t fileTime, char* buffer, int capacity) {
    if (capacity < kWriteTimeTextCapacity) {
        if (capacity > 0) buffer[0] = 0;
        return 0;
    }
    return TextFormat(buffer, capacity, "%s%lu%s%lu", kLowKey,
                      static_cast<unsigned long>(static_cast<uint32_t>(fileTime)), kHighKey,
                      static_cast<unsigned long>(static_cast<uint32_t>(fileTime >> 32)));
}
