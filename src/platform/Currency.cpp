#include "platform/Currency.h"
#include "platform/Exceptions.h"
#include "platform/Rounding.h"
#include "platform/SysUtils.h"

#include <algorithm>
#include <cmath>

namespace {

// n / d (d above 0) to a whole number by the rule for halves.
int64_t DivideRounded(int64_t n, int64_t d, Currency::Halves halves)
{
    int64_t q = n / d;
    const int64_t r = n % d; // the sign of n
    const int64_t twice = (r < 0 ? -r : r) * 2;
    const bool half = twice == d;
    if (twice > d || (half && (halves == Currency::Halves::AwayFromZero || q % 2 != 0)))
        q += n < 0 ? -1 : 1;
    return q;
}

} // namespace

Currency Currency::FromDouble(double value) { return FromRaw(RoundToInt64(value * 10000.0)); }

Currency Currency::CentsFromDouble(double x)
{
    // Multiplied in this order on purpose; the old program did the same on
    // the x87 unit with more bits, so values a last bit off a half may differ.
    const double millionths = (x * 100.0) * 10000.0;
    if (!std::isfinite(millionths) || std::fabs(millionths) >= 9.2e18)
        throw EConvertError(QStringLiteral("RoundToCents: Число вне допустимого диапазона (%1)").arg(FloatToStr(x)));
    const int64_t kopecks = DivideRounded(static_cast<int64_t>(RoundHalfEven(millionths)), 10000, Halves::AwayFromZero);
    return FromRaw(kopecks * 100);
}

Currency Currency::FromDoubleBySteps(double x, double step, StepMode mode)
{
    double steps = std::trunc(RoundHalfEven(CheckFloat(x / step) * 1e6) / 1e6);
    if (mode == StepMode::Up)
        steps += 1;
    return CentsFromDouble(steps * step);
}

Currency Currency::Rounded(int decimals, Halves halves) const
{
    static constexpr int64_t kUnits[] = {10000, 1000, 100, 10, 1};
    const int64_t unit = kUnits[std::clamp(decimals, 0, 4)];
    int64_t r;
    if (__builtin_mul_overflow(DivideRounded(raw_, unit, halves), unit, &r))
        RaiseOverflow();
    return FromRaw(r);
}

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
