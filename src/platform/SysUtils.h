#pragma once
// Text conversions of numbers and dates with the program's fixed format
// settings, and a Format that never throws on a mismatched argument.

#include "platform/Currency.h"
#include "platform/DateTime.h"
#include "platform/Variant.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <initializer_list>

QString IntToStr(int64_t value);
QString IntToHex(int64_t value, int digits);

// Leading and trailing blanks, a sign, decimal digits or "$"/"0x" hex.
// Raises EConvertError "'S' is not a valid integer value".
int StrToInt(const QString& s);
int StrToIntDef(const QString& s, int def);
bool TryStrToInt(const QString& s, int& out);
int64_t StrToInt64(const QString& s);
bool TryStrToInt64(const QString& s, int64_t& out);

// A decimal number; both "," and "." are taken as the decimal separator.
// Raises EConvertError "'S' is not a valid floating point value".
double StrToFloat(const QString& s);
double StrToFloatDef(const QString& s, double def);
bool TryStrToFloat(const QString& s, double& out);

enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// The decimal digits of a value: value = 0.Digits * 10^Exponent, rounded
// halves away from zero; Digits has no trailing zeros ("" for zero).
struct TFloatRec {
    bool Negative = false;
    int Exponent = 0;
    QString Digits;
    bool Special = false; // NaN or infinity; Digits then holds "NAN" / "INF"
};
// Rounded to Precision significant digits, or to Decimals after the point
// when Decimals >= 0 (whichever keeps fewer digits).
TFloatRec FloatToDecimal(double value, int precision, int decimals = -1);

// 15 significant digits; fixed form unless the value needs more than 15
// integer digits or is below 0.0001 ("1E20", "1E-5").
QString FloatToStr(double value);
QString FloatToStrF(double value, TFloatFormat format, int precision, int digits);
QString CurrToStr(Currency value);
// "0.00", "#,##0.00", "0.###", sections "pos;neg;zero", quoted literals.
QString FormatFloat(const QString& format, double value);

// Day 0, the program's "no date", gives "" (DateTimeToStr: the time alone).
QString DateToStr(TDateTime value);
QString TimeToStr(TDateTime value);
// Date and time; the time is left out when it is midnight.
QString DateTimeToStr(TDateTime value);
// Tokens of the old runtime: d dd ddd dddd m mm mmm mmmm yy yyyy h hh n nn
// s ss z zzz, "c", "/" and ":" for the separators, quoted literals.
QString FormatDateTime(const QString& format, TDateTime value);

// "dd.mm.yyyy", "d.m.yy" and "dd.mm" (current year); "/" and "-" are
// accepted as separators too. Raises EConvertError "'S' is not a valid date".
TDateTime StrToDate(const QString& s);
bool TryStrToDate(const QString& s, TDateTime& out);
// "h:nn" or "h:nn:ss". Raises EConvertError "'S' is not a valid time".
TDateTime StrToTime(const QString& s);
bool TryStrToTime(const QString& s, TDateTime& out);
TDateTime StrToDateTime(const QString& s);
bool TryStrToDateTime(const QString& s, TDateTime& out);

// Delphi's Format: %[index:][-][width][.precision]type with the types
// d u x e f g n m s p and %%; %f, %n and %m take two decimals by default.
// A missing argument formats as empty text; a mismatched one is converted
// as well as it can be. Never throws.
QString FormatList(const QString& format, const QList<Variant>& args);
template <typename... Args> QString Format(const QString& format, const Args&... args)
{
    return FormatList(format, QList<Variant>{Variant(args)...});
}
