#pragma once
// Operators on Variant with the old runtime's rules, as user formulas use
// them. Each operator raises the program's exceptions and never yields NaN
// or infinity:
// - Null refuses every operator (EVariantError); Empty counts as 0 or "".
// - Boolean True is -1 in arithmetic.
// - "+" of two strings (or a string and Empty) concatenates; any other mix with a string converts
//   the string to a number ("," or "." as the decimal point), EVariantError
//   when it is not one.
// - A real operand (Double, Single, Date, or a string) makes the result a
//   Double; otherwise a Currency operand makes it Currency; otherwise the
//   integers are added in 64 bits and the result is an Integer when it fits
//   in 32 bits, a Double when it does not (no silent wrap).
// - "/" is always a real division: Double, EZeroDivide for a zero divisor.
// - and / or / not work on Booleans (giving a Boolean) or on 32-bit integers
//   (giving an Integer); reals are rounded halves to even, outside the
//   32-bit range EVariantError.
// - Comparison: numbers as numbers, two strings case-sensitively, a string
//   against a number as numbers.
// Overflow raises EOverflow, an invalid result EInvalidOp.

#include "platform/Variant.h"

Variant VarAdd(const Variant& a, const Variant& b);
Variant VarSub(const Variant& a, const Variant& b);
Variant VarMul(const Variant& a, const Variant& b);
Variant VarDiv(const Variant& a, const Variant& b);
Variant VarNeg(const Variant& a);
Variant VarAnd(const Variant& a, const Variant& b);
Variant VarOr(const Variant& a, const Variant& b);
Variant VarNot(const Variant& a);
// -1, 0, 1.
int VarCompare(const Variant& a, const Variant& b);
// The truth of a condition: numbers other than 0, "True"/"False" or a
// number in a string; EVariantError otherwise.
bool VarIsTrue(const Variant& v);

inline Variant operator+(const Variant& a, const Variant& b) { return VarAdd(a, b); }
inline Variant operator-(const Variant& a, const Variant& b) { return VarSub(a, b); }
inline Variant operator*(const Variant& a, const Variant& b) { return VarMul(a, b); }
inline Variant operator/(const Variant& a, const Variant& b) { return VarDiv(a, b); }
inline Variant operator-(const Variant& a) { return VarNeg(a); }
