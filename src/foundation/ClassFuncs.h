#pragma once
// Class references (what the old code passed as "class of" values), the
// class look-ups over them, and the debug text of an argument list.
//
// A class is known by its C++ type information, so any class with a virtual
// function works, QObject descendants and plain data classes alike, with no
// registration. "Belongs to" means "is the class or derives from it".

#include "platform/Currency.h"
#include "platform/Variant.h"

#include <QList>
#include <QString>
#include <concepts>
#include <cstdint>
#include <type_traits>
#include <typeinfo>

class TClass {
public:
    constexpr TClass() = default; // the nil class
    explicit TClass(const std::type_info& info) : info_(&info) {}
    template <class T> static TClass Of() { return TClass(typeid(T)); }

    bool IsNil() const { return info_ == nullptr; }
    const std::type_info* Info() const { return info_; }
    // The readable class name ("TFormMain"); "" for the nil class.
    QString ClassName() const;
    // True when this class is Base or derives (publicly) from it. Nil
    // classes belong to nothing.
    bool InheritsFrom(TClass Base) const;

    friend bool operator==(TClass a, TClass b)
    {
        return a.info_ == b.info_ || (a.info_ && b.info_ && *a.info_ == *b.info_);
    }

private:
    const std::type_info* info_ = nullptr;
};

template <class T> TClass ClassOf() { return TClass::Of<T>(); }

// The class an object really has; nil for a nil object.
template <class T>
requires std::is_polymorphic_v<T> TClass ClassType(const T* Obj) { return Obj ? TClass(typeid(*Obj)) : TClass(); }

// Index of the first class that an object of class ObjClass belongs to
// (nil entries skipped), -1 when none or when ObjClass is nil.
int IndexOfClass(TClass ObjClass, const QList<TClass>& Classes);
template <class T>
requires std::is_polymorphic_v<T>
int IndexOfClass(const T* Obj, const QList<TClass>& Classes) { return IndexOfClass(ClassType(Obj), Classes); }

// An entry of TypeInArr: a class, or an object standing for its own class.
// Nothing else can be passed, so the old "not an object or class" message
// cannot arise.
class TTypeItem {
public:
    TTypeItem(TClass Class) : class_(Class) {}
    template <class T>
    requires std::is_polymorphic_v<T> TTypeItem(const T* Obj) : class_(ClassType(Obj)) {}
    TClass Class() const { return class_; }

private:
    TClass class_;
};

// Index of the first entry whose class Obj belongs to, -1 when none.
int TypeInArr(TClass ObjClass, const QList<TTypeItem>& Items);
template <class T>
requires std::is_polymorphic_v<T>
int TypeInArr(const T* Obj, const QList<TTypeItem>& Items) { return TypeInArr(ClassType(Obj), Items); }

// ---- ArgsToText ----

namespace FuncsDetail {
QString HexAddress(const void* p);
QString VariantArgText(const Variant& v);
QString FloatArgText(double v);
QString IntArgText(int64_t v);
QString JoinArgTexts(const QList<QString>& texts);

template <class T> QString ArgText(const T& v)
{
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_same_v<U, bool>)
        return v ? QStringLiteral(".T.") : QStringLiteral(".F.");
    else if constexpr (std::is_same_v<U, char>)
        return QString(QLatin1Char(v));
    else if constexpr (std::is_same_v<U, QChar> || std::is_same_v<U, char16_t>)
        return QString(QChar(v));
    else if constexpr (std::is_integral_v<U>)
        return IntArgText(static_cast<int64_t>(v));
    else if constexpr (std::is_floating_point_v<U>)
        return FloatArgText(static_cast<double>(v));
    else if constexpr (std::is_same_v<U, QString>)
        return v;
    else if constexpr (std::is_array_v<U> && std::is_same_v<std::remove_cv_t<std::remove_extent_t<U>>, char>)
        return QString::fromUtf8(v);
    else if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>)
        return v ? QString::fromUtf8(v) : QString();
    else if constexpr (std::is_same_v<U, Currency>)
        return FloatArgText(v.ToDouble());
    else if constexpr (std::is_same_v<U, Variant>)
        return VariantArgText(v);
    else if constexpr (std::is_same_v<U, TClass>)
        return QStringLiteral("Class=") + HexAddress(v.Info());
    else if constexpr (std::is_null_pointer_v<U>)
        return QStringLiteral("Ptr=nil");
    else if constexpr (std::is_pointer_v<U> && std::is_polymorphic_v<std::remove_pointer_t<U>>)
        return v ? QStringLiteral("Obj=") + HexAddress(dynamic_cast<const void*>(v)) : QStringLiteral("Obj=null");
    else if constexpr (std::is_pointer_v<U>)
        return v ? QStringLiteral("Ptr=") + HexAddress(v) : QStringLiteral("Ptr=nil");
    else
        return QStringLiteral("(Unknown)");
}
} // namespace FuncsDetail

// The debug text of an argument list: the items' texts joined by one blank,
// cut at 255 characters. Addresses take 16 hexadecimal digits.
template <class... Args> QString ArgsToText(const Args&... args)
{
    return FuncsDetail::JoinArgTexts(QList<QString>{FuncsDetail::ArgText(args)...});
}
