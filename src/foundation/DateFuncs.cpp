#include "foundation/DateFuncs.h"

#include "platform/Exceptions.h"
#include "platform/SysUtils.h"
#include "platform/Variant.h"

#include <cmath>

namespace {

int DigitsToInt(const QString& part)
{
    int n = 0;
    for (const QChar c : part) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(part));
        n = n * 10 + (c.unicode() - '0');
    }
    return n;
}

void Decode(TDateTime d, int& y, int& m, int& day) { DecodeDate(d, y, m, day); }

// First day of the month Months after the month of D.
TDateTime ShiftMonthStart(TDateTime D, int Months)
{
    int y, m, d;
    Decode(D, y, m, d);
    const int64_t index = static_cast<int64_t>(y) * 12 + (m - 1) + Months;
    const int64_t ny = index >= 0 ? index / 12 : -((-index + 11) / 12);
    const int nm = static_cast<int>(index - ny * 12) + 1;
    if (ny < 1 || ny > 9999)
        return EncodeDate(ny < 1 ? 0 : 10000, nm, 1); // raises the date error
    return EncodeDate(static_cast<int>(ny), nm, 1);
}

} // namespace

TDateTime StoD(const QString& S)
{
    if (S.size() != 8)
        throw EConvertError(QStringLiteral("S to D: Conversion Error"));
    const int y = DigitsToInt(S.mid(0, 4));
    const int m = DigitsToInt(S.mid(4, 2));
    const int d = DigitsToInt(S.mid(6, 2));
    return EncodeDate(y, m, d);
}

QString DtoS(TDateTime D)
{
    int y, m, d;
    Decode(D, y, m, d);
    return QStringLiteral("%1%2%3")
        .arg(y, 4, 10, QLatin1Char('0'))
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(d, 2, 10, QLatin1Char('0'));
}

int MonthOfDate(TDateTime D)
{
    int y, m, d;
    Decode(D, y, m, d);
    return m;
}

int YearOfDate(TDateTime D)
{
    int y, m, d;
    Decode(D, y, m, d);
    return y;
}

TDateTime FirstDayOfMonth(TDateTime D) { return ShiftMonthStart(D, 0); }

TDateTime LastDayOfMonth(TDateTime D)
{
    int y, m, d;
    Decode(D, y, m, d);
    return EncodeDate(y, m, DaysInAMonth(y, m));
}

void IncMonthStart(TDateTime& D, int N) { D = ShiftMonthStart(D, N); }

void DecMonthStart(TDateTime& D, int N) { D = ShiftMonthStart(D, -N); }

TDateTime FirstDayOfYear(TDateTime D) { return EncodeDate(YearOfDate(D), 1, 1); }

TDateTime LastDayOfYear(TDateTime D) { return EncodeDate(YearOfDate(D), 12, 31); }

TDateTime IncYearMonthStart(TDateTime D, int N) { return ShiftMonthStart(D, 12 * N); }

QString MonthNameByNum(int N, bool Genitive)
{
    static const char* const names[12] = {"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август",
        "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};
    if (N < 1 || N > 12)
        throw EConvertError(QStringLiteral("MonthNameByNum: Неверный номер месяца [%1]").arg(N));
    QString name = QString::fromUtf8(names[N - 1]);
    if (!Genitive)
        return name;
    if (N == 3 || N == 8)
        return name + QStringLiteral("а");
    name.chop(1);
    return name + QStringLiteral("я");
}

QString MonthName(const Variant& Value, bool Genitive)
{
    switch (Value.Type()) {
    case VarType::Smallint:
    case VarType::Integer:
    case VarType::Byte:
    case VarType::Int64: {
        const int64_t n = Value.AsInt64();
        return MonthNameByNum(n >= INT32_MIN && n <= INT32_MAX ? static_cast<int>(n) : 0, Genitive);
    }
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency: {
        const double t = std::trunc(Value.AsDouble());
        return MonthNameByNum(t >= INT32_MIN && t <= INT32_MAX ? static_cast<int>(t) : 0, Genitive);
    }
    case VarType::Date: return MonthNameByNum(MonthOfDate(Value.AsDate()), Genitive);
    default: throw EConvertError(QStringLiteral("MonthName: Неверный тип данных"));
    }
}

TDateTime VariantToDate(const Variant& V) { return V.AsDate(); }
