#pragma once
// The two rounding rules of the program on doubles, and the range-checked
// conversions to integers. Money is rounded by Currency alone
// (platform/Currency.h): it applies the same two rules in whole
// ten-thousandths, and RoundToCents, RoundToKop and RoundMoney are names
// over it.

#include <cstdint>

// Below this magnitude a sum, a percent or an amount counts as zero.
constexpr double kZeroThreshold = 1e-7;

inline bool IsZero(double v) { return v < kZeroThreshold && v > -kZeroThreshold; }

// Halves to even, as the old runtime's Round and its float-to-integer
// conversions did.
double RoundHalfEven(double v);
// Halves away from zero: displayed and formatted numbers.
double RoundHalfAway(double v);

// To a 64-bit integer, halves to even; raises EOverflow / EInvalidOp when
// the value does not fit.
int64_t RoundToInt64(double v);
// Toward zero, with the same range check.
int64_t TruncToInt64(double v);
// 32-bit versions, range-checked against the 32-bit range.
int RoundToInt(double v);
int TruncToInt(double v);

// Raises the program's floating-point failure for NaN (invalid operation)
// and infinity (overflow); returns v otherwise.
double CheckFloat(double v);
