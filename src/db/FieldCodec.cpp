#include "db/FieldCodec.h"

#include "platform/Codec.h"
#include "platform/Exceptions.h"
#include "platform/Rounding.h"
#include "platform/SysUtils.h"

#include <cmath>

namespace {

[[noreturn]] void CannotUseAs(const FieldDef& f, const char* what)
{
    throw EDatabaseError(
        QStringLiteral("Поле '%1' типа %2 нельзя использовать как %3").arg(f.name, FieldTypeName(f.type), what));
}

void CheckRange(const FieldDef& f, int64_t v, int64_t lo, int64_t hi)
{
    if (v < lo || v > hi)
        throw EDatabaseError(QStringLiteral("Значение %1 вне допустимого диапазона поля '%2' (от %3 до %4)")
                                 .arg(v)
                                 .arg(f.name)
                                 .arg(lo)
                                 .arg(hi));
}

double CheckFinite(const FieldDef& f, double v)
{
    if (!std::isfinite(v))
        throw EDatabaseError(QStringLiteral("Недопустимое числовое значение для поля '%1'").arg(f.name));
    return v;
}

// The first n characters (code points) of a text.
QString Truncated(const QString& s, int n)
{
    if (s.size() <= n)
        return s;
    int chars = 0;
    qsizetype i = 0;
    while (i < s.size() && chars < n) {
        i += (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) ? 2 : 1;
        ++chars;
    }
    return s.left(i);
}

QString BoolText(bool v) { return v ? QStringLiteral("True") : QStringLiteral("False"); }

bool ParseBool(const FieldDef& f, const QString& text)
{
    const QString t = text.trimmed();
    for (const char* yes : {"True", "T", "Yes", "Y", "Да", "Д"}) {
        if (t.compare(QString::fromUtf8(yes), Qt::CaseInsensitive) == 0)
            return true;
    }
    for (const char* no : {"False", "F", "No", "N", "Нет", "Н"}) {
        if (t.compare(QString::fromUtf8(no), Qt::CaseInsensitive) == 0)
            return false;
    }
    throw EConvertError(QStringLiteral("'%1' не является логическим значением для поля '%2'").arg(text, f.name));
}

} // namespace

DbValue StoreInteger(const FieldDef& f, int64_t v, bool forKey)
{
    switch (f.type) {
    case FieldType::Integer:
    case FieldType::AutoInc:
        if (!forKey)
            CheckRange(f, v, INT32_MIN, INT32_MAX);
        return DbValue::OfInt(v);
    case FieldType::Smallint:
        if (!forKey)
            CheckRange(f, v, -32768, 32767);
        return DbValue::OfInt(v);
    case FieldType::Float:
    case FieldType::DateTime: return DbValue::OfReal(double(v));
    case FieldType::Date: return DbValue::OfReal(double(v));
    case FieldType::Boolean: return DbValue::OfInt(v != 0 ? 1 : 0);
    case FieldType::String: return StoreString(f, IntToStr(v), forKey);
    default: CannotUseAs(f, "Integer");
    }
}

DbValue StoreFloat(const FieldDef& f, double v, bool forKey)
{
    switch (f.type) {
    case FieldType::Integer:
    case FieldType::AutoInc:
    case FieldType::Smallint: return StoreInteger(f, RoundToInt64(CheckFinite(f, v)), forKey);
    case FieldType::Float:
    case FieldType::DateTime: return DbValue::OfReal(CheckFinite(f, v));
    case FieldType::Date: return DbValue::OfReal(DateOf(CheckFinite(f, v)));
    case FieldType::Boolean: return DbValue::OfInt(v != 0.0 ? 1 : 0);
    case FieldType::String: return StoreString(f, FloatToStr(v), forKey);
    default: CannotUseAs(f, "Float");
    }
}

DbValue StoreString(const FieldDef& f, const QString& v, bool forKey)
{
    if (f.type == FieldType::String) {
        const QString t = Truncated(v, f.size);
        return t.isEmpty() ? DbValue() : DbValue::OfText(t.toUtf8());
    }
    if (f.type == FieldType::Blob)
        return StoreBlob(f, ToCp1251(v));
    if (v.trimmed().isEmpty())
        return DbValue();
    switch (f.type) {
    case FieldType::Integer:
    case FieldType::AutoInc:
    case FieldType::Smallint: return StoreInteger(f, StrToInt64(v), forKey);
    case FieldType::Float: return StoreFloat(f, StrToFloat(v), forKey);
    case FieldType::Date: return StoreDateTime(f, StrToDate(v), forKey);
    case FieldType::DateTime: return StoreDateTime(f, StrToDateTime(v), forKey);
    case FieldType::Boolean: return StoreBoolean(f, ParseBool(f, v));
    default: CannotUseAs(f, "String");
    }
}

DbValue StoreBoolean(const FieldDef& f, bool v)
{
    switch (f.type) {
    case FieldType::Boolean:
    case FieldType::Integer:
    case FieldType::Smallint: return DbValue::OfInt(v ? 1 : 0);
    case FieldType::Float: return DbValue::OfReal(v ? 1.0 : 0.0);
    case FieldType::String: return StoreString(f, BoolText(v));
    default: CannotUseAs(f, "Boolean");
    }
}

DbValue StoreDateTime(const FieldDef& f, TDateTime v, bool forKey)
{
    switch (f.type) {
    case FieldType::Date: return DbValue::OfReal(DateOf(CheckFinite(f, v)));
    case FieldType::DateTime:
    case FieldType::Float: return DbValue::OfReal(CheckFinite(f, v));
    case FieldType::String: return StoreString(f, DateTimeToStr(v), forKey);
    default: CannotUseAs(f, "DateTime");
    }
}

DbValue StoreBlob(const FieldDef& f, const QByteArray& v)
{
    switch (f.type) {
    case FieldType::Blob: return v.isEmpty() ? DbValue() : DbValue::OfBlob(v);
    case FieldType::String: return StoreString(f, FromCp1251(v));
    default: CannotUseAs(f, "BLOB");
    }
}

DbValue StoreVariant(const FieldDef& f, const Variant& v, bool forKey)
{
    switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null: return DbValue();
    case VarType::Smallint:
    case VarType::Integer:
    case VarType::Byte:
    case VarType::Int64: return StoreInteger(f, v.AsInt64(), forKey);
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency: return StoreFloat(f, v.AsDouble(), forKey);
    case VarType::Date: return StoreDateTime(f, v.AsDate(), forKey);
    case VarType::Boolean: return StoreBoolean(f, v.AsBoolean());
    case VarType::String: return StoreString(f, v.AsString(), forKey);
    }
    return DbValue();
}

int64_t ReadInteger(const FieldDef& f, const DbValue& v)
{
    switch (v.kind) {
    case DbValue::Null: return 0;
    case DbValue::Int: return v.i;
    case DbValue::Real: return RoundToInt64(v.d);
    case DbValue::Text: return StrToInt64(QString::fromUtf8(v.bytes));
    case DbValue::Blob: CannotUseAs(f, "Integer");
    }
    return 0;
}

double ReadFloat(const FieldDef& f, const DbValue& v)
{
    switch (v.kind) {
    case DbValue::Null: return 0.0;
    case DbValue::Int: return double(v.i);
    case DbValue::Real: return v.d;
    case DbValue::Text: return StrToFloat(QString::fromUtf8(v.bytes));
    case DbValue::Blob: CannotUseAs(f, "Float");
    }
    return 0.0;
}

QString ReadString(const FieldDef& f, const DbValue& v)
{
    if (v.IsNull())
        return QString();
    switch (f.type) {
    case FieldType::String: return v.kind == DbValue::Text ? QString::fromUtf8(v.bytes) : QString();
    case FieldType::Blob: return FromCp1251(v.bytes);
    case FieldType::Integer:
    case FieldType::Smallint:
    case FieldType::AutoInc: return IntToStr(ReadInteger(f, v));
    case FieldType::Float: return FloatToStr(v.ToDouble());
    case FieldType::Date: return DateToStr(v.ToDouble());
    case FieldType::DateTime: return DateTimeToStr(v.ToDouble());
    case FieldType::Boolean: return BoolText(v.ToDouble() != 0.0);
    default: return QString();
    }
}

bool ReadBoolean(const FieldDef& f, const DbValue& v)
{
    switch (v.kind) {
    case DbValue::Null: return false;
    case DbValue::Int: return v.i != 0;
    case DbValue::Real: return v.d != 0.0;
    case DbValue::Text: return ParseBool(f, QString::fromUtf8(v.bytes));
    case DbValue::Blob: CannotUseAs(f, "Boolean");
    }
    return false;
}

TDateTime ReadDateTime(const FieldDef& f, const DbValue& v)
{
    switch (v.kind) {
    case DbValue::Null: return 0.0;
    case DbValue::Int:
    case DbValue::Real: return f.type == FieldType::Date ? DateOf(v.ToDouble()) : v.ToDouble();
    case DbValue::Text: return StrToDateTime(QString::fromUtf8(v.bytes));
    case DbValue::Blob: CannotUseAs(f, "DateTime");
    }
    return 0.0;
}

QByteArray ReadBlob(const FieldDef& f, const DbValue& v)
{
    if (v.kind == DbValue::Blob || (f.type == FieldType::Blob && v.kind == DbValue::Text))
        return v.bytes;
    if (v.IsNull())
        return QByteArray();
    return ToCp1251(ReadString(f, v));
}

Variant ReadVariant(const FieldDef& f, const DbValue& v)
{
    if (v.IsNull())
        return Variant::Null();
    switch (f.type) {
    case FieldType::Integer:
    case FieldType::AutoInc: return Variant(int(ReadInteger(f, v)));
    case FieldType::Smallint: return Variant(int16_t(ReadInteger(f, v)));
    case FieldType::Float: return Variant(ReadFloat(f, v));
    case FieldType::Date:
    case FieldType::DateTime: return Variant::FromDate(ReadDateTime(f, v));
    case FieldType::Boolean: return Variant(ReadBoolean(f, v));
    default: return Variant(ReadString(f, v));
    }
}

DbValue ZeroValue(const FieldDef& f)
{
    switch (f.type) {
    case FieldType::String: return DbValue::OfText(QByteArray(""));
    case FieldType::Float:
    case FieldType::Date:
    case FieldType::DateTime: return DbValue::OfReal(0.0);
    default: return DbValue::OfInt(0);
    }
}
