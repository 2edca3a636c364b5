// The one place that raises an exception outside the decoder: kept apart so the text
// utilities need no unwind tables in the stub.
#include "support/UnsignedDivide.h"

void UnsignedDivide(uint32_t dividend, uint32_t divisor, uint32_t* quotient, uint32_t* remainder) {
    if (divisor == 0) throw CtExceptionDiv0();
    uint32_t d = divisor;
    int shifts = 0;
    while (!(d & 0x80000000u) && d * 2 <= dividend) {
        d *= 2;
        ++shifts;
    }
    uint32_t q = 0;
    uint32_t r = dividend;
    for (int i = 0; i <= shifts; ++i) {
        q *= 2;
        if (r >= d) {
            r -= d;
            q += 1;
        }
        d >>= 1;
    }
    *quotient = q;
    *remainder = r;
}
