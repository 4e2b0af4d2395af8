#pragma once
// The program's own Variant with the old runtime's conversion rules
// (not QVariant): Boolean True is -1 in arithmetic, Empty converts to 0 or
// "", Null refuses every conversion.

#include "platform/Currency.h"
#include "platform/DateTime.h"

#include <QString>
#include <cstdint>

enum class VarType { Empty, Null, Smallint, Integer, Single, Double, Currency, Date, Boolean, String, Byte, Int64 };

class Variant {
public:
    Variant() = default;
    Variant(int16_t v) : type_(VarType::Smallint), i_(v) {}
    Variant(int v) : type_(VarType::Integer), i_(v) {}
    Variant(uint8_t v) : type_(VarType::Byte), i_(v) {}
    Variant(int64_t v) : type_(VarType::Int64), i_(v) {}
    Variant(long long v) : type_(VarType::Int64), i_(static_cast<int64_t>(v)) {}
    Variant(unsigned int v) : type_(VarType::Int64), i_(v) {}
    Variant(unsigned long v) : type_(VarType::Int64), i_(static_cast<int64_t>(v)) {}
    Variant(float v) : type_(VarType::Single), d_(v) {}
    Variant(double v) : type_(VarType::Double), d_(v) {}
    Variant(Currency v) : type_(VarType::Currency), i_(v.Raw()) {}
    Variant(bool v) : type_(VarType::Boolean), i_(v ? -1 : 0) {}
    Variant(const QString& v) : type_(VarType::String), s_(v) {}
    Variant(const char* v) : type_(VarType::String), s_(QString::fromUtf8(v)) {}
    Variant(QChar v) : type_(VarType::String), s_(v) {}

    static Variant Null();
    static Variant FromDate(TDateTime v);

    VarType Type() const { return type_; }
    bool IsEmpty() const { return type_ == VarType::Empty; }
    bool IsNull() const { return type_ == VarType::Null; }
    bool IsEmptyOrNull() const { return IsEmpty() || IsNull(); }
    // Smallint, Integer, Byte, Int64.
    bool IsOrdinal() const;
    // Ordinals and the floating kinds (Single, Double, Currency, Date).
    bool IsNumeric() const;
    bool IsString() const { return type_ == VarType::String; }

    // Conversions raise EVariantError when the value cannot be converted.
    int AsInteger() const;
    int64_t AsInt64() const;
    double AsDouble() const;
    Currency AsCurrency() const;
    TDateTime AsDate() const;
    bool AsBoolean() const;
    QString AsString() const;

    // The type's name as the old runtime wrote it in its messages.
    static QString TypeName(VarType t);

    // -1, 0, 1; the old runtime's comparison: numbers as numbers, strings
    // as strings (case-sensitive), a string against a number as numbers.
    static int Compare(const Variant& a, const Variant& b);
    friend bool operator==(const Variant& a, const Variant& b);

private:
    [[noreturn]] void RaiseCannotConvert(VarType to) const;

    VarType type_ = VarType::Empty;
    int64_t i_ = 0; // ordinals, Boolean (-1/0), Currency raw
    double d_ = 0.0; // Single, Double, Date
    QString s_;
};

// Delphi's VarIsNull / VarIsEmpty / VarToStr (Null gives "").
inline bool VarIsNull(const Variant& v) { return v.IsNull(); }
inline bool VarIsEmpty(const Variant& v) { return v.IsEmpty(); }
QString VarToStr(const Variant& v);
