#pragma once
// Date routines over TDateTime; only the date part of a value is used.

#include "platform/DateTime.h"

#include <QString>

class Variant;

// "YYYYMMDD" to a date. Another length raises EConvertError
// "S to D: Conversion Error"; non-digits or an impossible date raise the
// conversion error of the number or the date.
TDateTime StoD(const QString& S);
// A date as "YYYYMMDD".
QString DtoS(TDateTime D);

int MonthOfDate(TDateTime D);
int YearOfDate(TDateTime D);
TDateTime FirstDayOfMonth(TDateTime D);
TDateTime LastDayOfMonth(TDateTime D);
// D becomes the first day of the month N months later / earlier.
void IncMonthStart(TDateTime& D, int N);
void DecMonthStart(TDateTime& D, int N);
TDateTime FirstDayOfYear(TDateTime D);
TDateTime LastDayOfYear(TDateTime D);
// The first day of D's month N years later.
TDateTime IncYearMonthStart(TDateTime D, int N);

// "Январь".."Декабрь"; the genitive "Января".."Декабря". Another N raises
// EConvertError "MonthNameByNum: Неверный номер месяца [N]".
QString MonthNameByNum(int N, bool Genitive = false);
// An integer as the month number, a float truncated, a date by its month;
// other types raise EConvertError "MonthName: Неверный тип данных".
QString MonthName(const Variant& Value, bool Genitive = false);
TDateTime VariantToDate(const Variant& V);
