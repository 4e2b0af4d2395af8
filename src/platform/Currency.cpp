#include "platform/Currency.h"
#include "platform/Exceptions.h"
#include "platform/Rounding.h"

Currency Currency::FromDouble(double value) { return FromRaw(RoundToInt64(value * 10000.0)); }

Currency Currency::operator-() const
{
    if (raw_ == INT64_MIN)
        RaiseOverflow();
    return FromRaw(-raw_);
}

Currency& Currency::operator+=(Currency other)
{
    int64_t r;
    if (__builtin_add_overflow(raw_, other.raw_, &r))
        RaiseOverflow();
    raw_ = r;
    return *this;
}

Currency& Currency::operator-=(Currency other)
{
    int64_t r;
    if (__builtin_sub_overflow(raw_, other.raw_, &r))
        RaiseOverflow();
    raw_ = r;
    return *this;
}

Currency operator/(Currency a, double b)
{
    if (b == 0.0)
        RaiseZeroDivide();
    return Currency::FromDouble(a.ToDouble() / b);
}
