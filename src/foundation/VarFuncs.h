#pragma once
// Money rounding and the Variant helpers.

#include "platform/Currency.h"
#include "platform/Variant.h"

#include <QList>
#include <QString>

// X rounded first to 6 decimals (halves to even), then to cents with halves
// away from zero: 2.3449999 gives 2.35, 2.34499 gives 2.34, -0.005 gives
// -0.01. Beyond about 9.2e12 raises EConvertError.
Currency RoundToCents(double X);
// A - B as Currency (rounded to 4 decimals): money compared with a tolerance.
Currency SubtractAsCurrency(double A, double B);

// The larger / smaller of two Variants of the same type (A when it wins,
// else B). Different types raise EConvertError.
Variant Max(const Variant& A, const Variant& B);
Variant Min(const Variant& A, const Variant& B);
// The largest / smallest element; an empty list raises EConvertError.
double MaxOfArray(const QList<double>& Values);
double MinOfArray(const QList<double>& Values);

// Equality of two Variants of the same type, strings ignoring letter case.
// Different types raise EConvertError "EQ(): Разные типы переменных".
bool EQ(const Variant& A, const Variant& B);
// Boolean ".T."/".F.", numbers and dates as text, Null "???"; Empty raises
// EConvertError "xStr: Ошибка преобразования в строку".
QString xStr(const Variant& V);
Variant CopyVariant(const Variant& V);

// Index of the first equal element, -1 when none. Elements that cannot be
// compared with X count as unequal.
int IndexOfInt(const QList<int>& Values, int X);
int IndexOfVariant(const QList<Variant>& Values, const Variant& X);
