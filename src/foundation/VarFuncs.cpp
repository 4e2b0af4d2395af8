#include "foundation/VarFuncs.h"

#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

namespace {

bool SameType(const Variant& a, const Variant& b) { return a.Type() == b.Type(); }

} // namespace

Currency RoundToCents(double X) { return Currency::CentsFromDouble(X); }

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
