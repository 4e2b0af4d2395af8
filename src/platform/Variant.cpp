#include "platform/Variant.h"
#include "platform/Exceptions.h"
#include "platform/Rounding.h"
#include "platform/SysUtils.h"

#include <cmath>

Variant Variant::Null()
{
    Variant v;
    v.type_ = VarType::Null;
    return v;
}

Variant Variant::FromDate(TDateTime v)
{
    Variant r;
    r.type_ = VarType::Date;
    r.d_ = v;
    return r;
}

bool Variant::IsOrdinal() const
{
    return type_ == VarType::Smallint || type_ == VarType::Integer || type_ == VarType::Byte || type_ == VarType::Int64;
}

bool Variant::IsNumeric() const
{
    return IsOrdinal() || type_ == VarType::Single || type_ == VarType::Double || type_ == VarType::Currency
        || type_ == VarType::Date;
}

QString Variant::TypeName(VarType t)
{
    switch (t) {
    case VarType::Empty: return QStringLiteral("Empty");
    case VarType::Null: return QStringLiteral("Null");
    case VarType::Smallint: return QStringLiteral("Smallint");
    case VarType::Integer: return QStringLiteral("Integer");
    case VarType::Single: return QStringLiteral("Single");
    case VarType::Double: return QStringLiteral("Double");
    case VarType::Currency: return QStringLiteral("Currency");
    case VarType::Date: return QStringLiteral("Date");
    case VarType::Boolean: return QStringLiteral("Boolean");
    case VarType::String: return QStringLiteral("String");
    case VarType::Byte: return QStringLiteral("Byte");
    case VarType::Int64: return QStringLiteral("Int64");
    }
    return QString();
}

void Variant::RaiseCannotConvert(VarType to) const
{
    throw EVariantError(
        QStringLiteral("Could not convert variant of type (%1) into type (%2)").arg(TypeName(type_), TypeName(to)));
}

double Variant::AsDouble() const
{
    switch (type_) {
    case VarType::Empty: return 0.0;
    case VarType::Smallint:
    case VarType::Integer:
    case VarType::Byte:
    case VarType::Int64:
    case VarType::Boolean: return static_cast<double>(i_);
    case VarType::Currency: return static_cast<double>(i_) / 10000.0;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date: return d_;
    case VarType::String: {
        double d;
        if (TryStrToFloat(s_, d))
            return d;
        break;
    }
    case VarType::Null: break;
    }
    RaiseCannotConvert(VarType::Double);
}

int64_t Variant::AsInt64() const
{
    switch (type_) {
    case VarType::Empty: return 0;
    case VarType::Smallint:
    case VarType::Integer:
    case VarType::Byte:
    case VarType::Int64:
    case VarType::Boolean: return i_;
    case VarType::Currency: return RoundToInt64(static_cast<double>(i_) / 10000.0);
    case VarType::Single:
    case VarType::Double:
    case VarType::Date:
        if (!std::isfinite(d_) || std::fabs(d_) >= 9.2e18)
            RaiseCannotConvert(VarType::Int64);
        return RoundToInt64(d_);
    case VarType::String: {
        int64_t n;
        if (TryStrToInt64(s_, n))
            return n;
        double d;
        if (TryStrToFloat(s_, d) && std::fabs(d) < 9.2e18)
            return RoundToInt64(d);
        break;
    }
    case VarType::Null: break;
    }
    RaiseCannotConvert(VarType::Int64);
}

int Variant::AsInteger() const
{
    int64_t v;
    try {
        v = AsInt64();
    } catch (const EVariantError&) {
        RaiseCannotConvert(VarType::Integer);
    }
    if (v < INT32_MIN || v > INT32_MAX)
        RaiseCannotConvert(VarType::Integer);
    return static_cast<int>(v);
}

Currency Variant::AsCurrency() const
{
    if (type_ == VarType::Currency)
        return Currency::FromRaw(i_);
    const double d = AsDouble();
    if (!std::isfinite(d) || std::fabs(d) >= 922337203685477.0)
        RaiseCannotConvert(VarType::Currency);
    return Currency::FromDouble(d);
}

TDateTime Variant::AsDate() const
{
    if (type_ == VarType::String) {
        TDateTime d;
        if (TryStrToDateTime(s_, d))
            return d;
        RaiseCannotConvert(VarType::Date);
    }
    try {
        return AsDouble();
    } catch (const EVariantError&) {
        RaiseCannotConvert(VarType::Date);
    }
}

bool Variant::AsBoolean() const
{
    switch (type_) {
    case VarType::Empty: return false;
    case VarType::Smallint:
    case VarType::Integer:
    case VarType::Byte:
    case VarType::Int64:
    case VarType::Boolean:
    case VarType::Currency: return i_ != 0;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date: return d_ != 0.0;
    case VarType::String: {
        if (s_.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (s_.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
        double d;
        if (TryStrToFloat(s_, d))
            return d != 0.0;
        break;
    }
    case VarType::Null: break;
    }
    RaiseCannotConvert(VarType::Boolean);
}

QString Variant::AsString() const
{
    switch (type_) {
    case VarType::Empty: return QString();
    case VarType::Smallint:
    case VarType::Integer:
    case VarType::Byte:
    case VarType::Int64: return IntToStr(i_);
    case VarType::Boolean: return i_ ? QStringLiteral("True") : QStringLiteral("False");
    case VarType::Currency: return FloatToStr(static_cast<double>(i_) / 10000.0);
    case VarType::Single:
    case VarType::Double: return FloatToStr(d_);
    case VarType::Date: return DateTimeToStr(d_);
    case VarType::String: return s_;
    case VarType::Null: break;
    }
    RaiseCannotConvert(VarType::String);
}

int Variant::Compare(const Variant& a, const Variant& b)
{
    auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    if (a.type_ == VarType::Null || b.type_ == VarType::Null || a.type_ == VarType::Empty
        || b.type_ == VarType::Empty) {
        // Empty and Null sort before every value and equal only themselves.
        auto rank = [](VarType t) { return t == VarType::Empty ? 0 : (t == VarType::Null ? 1 : 2); };
        const int ra = rank(a.type_), rb = rank(b.type_);
        return sign(ra, rb);
    }
    if (a.type_ == VarType::String && b.type_ == VarType::String)
        return sign(QString::compare(a.s_, b.s_, Qt::CaseSensitive), 0);
    const bool ordinalA = a.IsOrdinal() || a.type_ == VarType::Boolean;
    const bool ordinalB = b.IsOrdinal() || b.type_ == VarType::Boolean;
    if (ordinalA && ordinalB)
        return sign(a.i_, b.i_);
    return sign(a.AsDouble(), b.AsDouble());
}

bool operator==(const Variant& a, const Variant& b) { return Variant::Compare(a, b) == 0; }

QString VarToStr(const Variant& v) { return v.IsNull() ? QString() : v.AsString(); }
