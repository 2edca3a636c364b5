// Unsigned division by shifts and subtraction, and the exception it raises on a zero divisor.
#pragma once
#include <stdint.h>

// Raised by UnsignedDivide on a zero divisor.
struct CtExceptionDiv0 {};

void UnsignedDivide(uint32_t dividend, uint32_t divisor, uint32_t* quotient, uint32_t* remainder);
