#include "platform/VariantOps.h"
#include "platform/Exceptions.h"
#include "platform/Rounding.h"

#include <cstdint>

namespace {

enum class Kind { Int, Curr, Real, Str };

[[noreturn]] void RaiseInvalidVariantOp() { throw EVariantError(QStringLiteral("Invalid variant operation")); }

Kind KindOf(const Variant& v)
{
    switch (v.Type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Smallint:
    case VarType::Integer:
    case VarType::Byte:
    case VarType::Int64: return Kind::Int;
    case VarType::Currency: return Kind::Curr;
    case VarType::Single:
    case VarType::Double:
    case VarType::Date: return Kind::Real;
    case VarType::String: return Kind::Str;
    case VarType::Null: break;
    }
    RaiseInvalidVariantOp();
}

Variant FromInt64(int64_t v)
{
    if (v >= INT32_MIN && v <= INT32_MAX)
        return Variant(static_cast<int>(v));
    return Variant(static_cast<double>(v));
}

enum class Arith { Add, Sub, Mul };

double RealOp(Arith op, double x, double y)
{
    switch (op) {
    case Arith::Add: return CheckFloat(x + y);
    case Arith::Sub: return CheckFloat(x - y);
    case Arith::Mul: return CheckFloat(x * y);
    }
    return 0.0;
}

Variant Arithmetic(Arith op, const Variant& a, const Variant& b)
{
    if (a.Type() == VarType::Double && b.Type() == VarType::Double)
        return Variant(RealOp(op, a.AsDouble(), b.AsDouble()));
    const Kind ka = KindOf(a), kb = KindOf(b);
    if (ka == Kind::Real || kb == Kind::Real || ka == Kind::Str || kb == Kind::Str)
        return Variant(RealOp(op, a.AsDouble(), b.AsDouble()));
    if (ka == Kind::Curr || kb == Kind::Curr) {
        switch (op) {
        case Arith::Add: return Variant(a.AsCurrency() + b.AsCurrency());
        case Arith::Sub: return Variant(a.AsCurrency() - b.AsCurrency());
        case Arith::Mul: return Variant(Currency::FromDouble(CheckFloat(a.AsDouble() * b.AsDouble())));
        }
    }
    const int64_t x = a.AsInt64(), y = b.AsInt64();
    int64_t r;
    bool overflow = false;
    switch (op) {
    case Arith::Add: overflow = __builtin_add_overflow(x, y, &r); break;
    case Arith::Sub: overflow = __builtin_sub_overflow(x, y, &r); break;
    case Arith::Mul: overflow = __builtin_mul_overflow(x, y, &r); break;
    }
    if (overflow)
        return Variant(RealOp(op, static_cast<double>(x), static_cast<double>(y)));
    return FromInt64(r);
}

// An operand of and / or / not: a Boolean, or a 32-bit integer.
struct Logical {
    bool isBool;
    int value;
};

Logical LogicalOperand(const Variant& v)
{
    switch (v.Type()) {
    case VarType::Null: RaiseInvalidVariantOp();
    case VarType::Empty: return {false, 0};
    case VarType::Boolean: return {true, v.AsBoolean() ? -1 : 0};
    case VarType::String: {
        const QString s = v.AsString();
        if (s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return {true, -1};
        if (s.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return {true, 0};
        return {false, v.AsInteger()};
    }
    default: return {false, v.AsInteger()};
    }
}

// Empty takes the kind of the other side: "" against a string, 0 otherwise.
Variant EmptyAgainst(const Variant& other)
{
    if (other.Type() == VarType::String)
        return Variant(QString());
    return Variant(0);
}

} // namespace

Variant VarAdd(const Variant& a, const Variant& b)
{
    // Empty joins a string as "".
    const bool sa = a.IsString() || a.IsEmpty(), sb = b.IsString() || b.IsEmpty();
    if (sa && sb && (a.IsString() || b.IsString()))
        return Variant(a.AsString() + b.AsString());
    return Arithmetic(Arith::Add, a, b);
}

Variant VarSub(const Variant& a, const Variant& b) { return Arithmetic(Arith::Sub, a, b); }

Variant VarMul(const Variant& a, const Variant& b) { return Arithmetic(Arith::Mul, a, b); }

Variant VarDiv(const Variant& a, const Variant& b)
{
    KindOf(a);
    KindOf(b);
    const double x = a.AsDouble(), y = b.AsDouble();
    if (y == 0.0)
        RaiseZeroDivide();
    return Variant(CheckFloat(x / y));
}

Variant VarNeg(const Variant& a)
{
    switch (KindOf(a)) {
    case Kind::Int: {
        const int64_t x = a.AsInt64();
        int64_t r;
        if (__builtin_sub_overflow(int64_t(0), x, &r))
            return Variant(-static_cast<double>(x));
        return FromInt64(r);
    }
    case Kind::Curr: return Variant(-a.AsCurrency());
    case Kind::Real:
    case Kind::Str: break;
    }
    return Variant(-a.AsDouble());
}

Variant VarAnd(const Variant& a, const Variant& b)
{
    const Logical x = LogicalOperand(a), y = LogicalOperand(b);
    if (x.isBool && y.isBool)
        return Variant((x.value & y.value) != 0);
    return Variant(x.value & y.value);
}

Variant VarOr(const Variant& a, const Variant& b)
{
    const Logical x = LogicalOperand(a), y = LogicalOperand(b);
    if (x.isBool && y.isBool)
        return Variant((x.value | y.value) != 0);
    return Variant(x.value | y.value);
}

Variant VarNot(const Variant& a)
{
    const Logical x = LogicalOperand(a);
    if (x.isBool)
        return Variant(x.value == 0);
    return Variant(~x.value);
}

int VarCompare(const Variant& a, const Variant& b)
{
    KindOf(a);
    KindOf(b);
    if (a.IsEmpty() || b.IsEmpty()) {
        if (a.IsEmpty() && b.IsEmpty())
            return 0;
        return a.IsEmpty() ? Variant::Compare(EmptyAgainst(b), b) : Variant::Compare(a, EmptyAgainst(a));
    }
    return Variant::Compare(a, b);
}

bool VarIsTrue(const Variant& v)
{
    if (v.IsNull())
        RaiseInvalidVariantOp();
    return v.AsBoolean();
}
