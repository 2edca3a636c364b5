#include "support/FileTimeInfo.h"

#include "support/Text.h"

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
    TextKeyValue(info, length, "\r\nDWCL=", lowText, sizeof lowText);
    TextKeyValue(info, length, "\r\nDWCH=", highText, sizeof highText);
    if (lowText[0] == 0 && highText[0] == 0) return 0;
    *low = DecimalToWord(lowText);
    *high = DecimalToWord(highText);
    return 1;
}
