#include "foundation/ClassFuncs.h"

#include "platform/SysUtils.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>

namespace {

// Walks the base classes recorded in the type information (the Itanium
// C++ ABI, which GCC and Clang follow on Linux).
bool Derives(const std::type_info* t, const std::type_info& base)
{
    if (*t == base)
        return true;
    if (const auto* si = dynamic_cast<const abi::__si_class_type_info*>(t))
        return Derives(si->__base_type, base);
    if (const auto* vmi = dynamic_cast<const abi::__vmi_class_type_info*>(t)) {
        for (unsigned i = 0; i < vmi->__base_count; ++i) {
            const auto& b = vmi->__base_info[i];
            if ((b.__offset_flags & abi::__base_class_type_info::__public_mask) && Derives(b.__base_type, base))
                return true;
        }
    }
    return false;
}

} // namespace

QString TClass::ClassName() const
{
    if (!info_)
        return QString();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(info_->name(), nullptr, nullptr, &status), std::free);
    return QString::fromUtf8(status == 0 && name ? name.get() : info_->name());
}

bool TClass::InheritsFrom(TClass Base) const
{
    if (!info_ || !Base.info_)
        return false;
    return Derives(info_, *Base.info_);
}

int IndexOfClass(TClass ObjClass, const QList<TClass>& Classes)
{
    if (ObjClass.IsNil())
        return -1;
    for (qsizetype i = 0; i < Classes.size(); ++i)
        if (!Classes[i].IsNil() && ObjClass.InheritsFrom(Classes[i]))
            return static_cast<int>(i);
    return -1;
}

int TypeInArr(TClass ObjClass, const QList<TTypeItem>& Items)
{
    if (ObjClass.IsNil())
        return -1;
    for (qsizetype i = 0; i < Items.size(); ++i)
        if (!Items[i].Class().IsNil() && ObjClass.InheritsFrom(Items[i].Class()))
            return static_cast<int>(i);
    return -1;
}

namespace FuncsDetail {

QString HexAddress(const void* p)
{
    return QStringLiteral("%1")
        .arg(static_cast<qulonglong>(reinterpret_cast<uintptr_t>(p)), static_cast<int>(sizeof(void*) * 2), 16,
            QLatin1Char('0'))
        .toUpper();
}

QString VariantArgText(const Variant& v)
{
    if (v.IsEmpty())
        return QStringLiteral("EmptyVariant");
    if (v.IsNull())
        return QStringLiteral("NullVariant");
    return v.AsString();
}

QString FloatArgText(double v) { return FloatToStr(v); }

QString IntArgText(int64_t v) { return IntToStr(v); }

QString JoinArgTexts(const QList<QString>& texts) { return texts.join(QLatin1Char(' ')).left(255); }

} // namespace FuncsDetail
