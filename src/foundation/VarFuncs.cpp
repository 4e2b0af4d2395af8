#include "foundation/VarFuncs.h"

#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <cmath>

namespace {

bool SameType(const Variant& a, const Variant& b) { return a.Type() == b.Type(); }

} // namespace

Currency RoundToCents(double X)
{
    // Computed in this order on purpose; the old program did the same on the
    // x87 unit with more bits, so values a last bit off a half may differ.
    const double scaled = (X * 100.0) * 10000.0;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2e18)
        throw EConvertError(QStringLiteral("RoundToCents: Число вне допустимого диапазона (%1)").arg(FloatToStr(X)));
    const int64_t t = std::llrint(scaled); // the default rounding mode: halves to even
    const int64_t cents = X > 0 ? (t + 5000) / 10000 : (t - 5000) / 10000;
    return Currency::FromRaw(cents * 100);
}

Currency SubtractAsCurrency(double A, double B) { return Currency::FromDouble(A - B); }

Variant Max(const Variant& A, const Variant& B)
{
    if (!SameType(A, B))
        throw EConvertError(QStringLiteral("Max(): Разные типы переменных"));
    return Variant::Compare(A, B) > 0 ? A : B;
}

Variant Min(const Variant& A, const Variant& B)
{
    if (!SameType(A, B))
        throw EConvertError(QStringLiteral("Min(): Разные типы переменных"));
    return Variant::Compare(A, B) < 0 ? A : B;
}

double MaxOfArray(const QList<double>& Values)
{
    if (Values.isEmpty())
        throw EConvertError(QStringLiteral("MaxOfArray: Пустой массив"));
    double r = Values.first();
    for (const double v : Values)
        if (v > r)
            r = v;
    return r;
}

double MinOfArray(const QList<double>& Values)
{
    if (Values.isEmpty())
        throw EConvertError(QStringLiteral("MinOfArray: Пустой массив"));
    double r = Values.first();
    for (const double v : Values)
        if (v < r)
            r = v;
    return r;
}

bool EQ(const Variant& A, const Variant& B)
{
    if (!SameType(A, B))
        throw EConvertError(QStringLiteral("EQ(): Разные типы переменных"));
    if (A.IsString())
        return A.AsString().compare(B.AsString(), Qt::CaseInsensitive) == 0;
    return Variant::Compare(A, B) == 0;
}

QString xStr(const Variant& V)
{
    switch (V.Type()) {
    case VarType::Boolean: return V.AsBoolean() ? QStringLiteral(".T.") : QStringLiteral(".F.");
    case VarType::Smallint:
    case VarType::Integer:
    case VarType::Byte:
    case VarType::Int64: return IntToStr(V.AsInt64());
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency: return FloatToStr(V.AsDouble());
    case VarType::Date: return DateToStr(V.AsDate());
    case VarType::String: return V.AsString();
    case VarType::Null: return QStringLiteral("???");
    case VarType::Empty: break;
    }
    throw EConvertError(QStringLiteral("xStr: Ошибка преобразования в строку"));
}

Variant CopyVariant(const Variant& V) { return V; }

int IndexOfInt(const QList<int>& Values, int X) { return static_cast<int>(Values.indexOf(X)); }

int IndexOfVariant(const QList<Variant>& Values, const Variant& X)
{
    // An element that cannot be compared with X (a text against a number)
    // is simply not equal to it.
    for (qsizetype i = 0; i < Values.size(); ++i) {
        try {
            if (Values[i] == X)
                return static_cast<int>(i);
        } catch (const EVariantError&) {
        }
    }
    return -1;
}
