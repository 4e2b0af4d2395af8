#include "platform/Rounding.h"
#include "platform/Exceptions.h"

#include <cfenv>
#include <cmath>

double RoundHalfEven(double v)
{
    // nearbyint follows the current rounding mode, which the program never changes.
    return std::nearbyint(v);
}

double RoundHalfAway(double v) { return std::round(v); }

namespace {
constexpr double kInt64Limit = 9223372036854775808.0; // 2^63

void CheckInt64Range(double v)
{
    if (std::isnan(v))
        RaiseInvalidOp();
    if (!(v < kInt64Limit && v >= -kInt64Limit))
        RaiseOverflow();
}

void CheckInt32Range(double v)
{
    if (std::isnan(v))
        RaiseInvalidOp();
    if (!(v <= 2147483647.0 && v >= -2147483648.0))
        RaiseOverflow();
}
} // namespace

int64_t RoundToInt64(double v)
{
    const double r = RoundHalfEven(v);
    CheckInt64Range(r);
    return static_cast<int64_t>(r);
}

int64_t TruncToInt64(double v)
{
    const double r = std::trunc(v);
    CheckInt64Range(r);
    return static_cast<int64_t>(r);
}

int RoundToInt(double v)
{
    const double r = RoundHalfEven(v);
    CheckInt32Range(r);
    return static_cast<int>(r);
}

int TruncToInt(double v)
{
    const double r = std::trunc(v);
    CheckInt32Range(r);
    return static_cast<int>(r);
}

double CheckFloat(double v)
{
    if (std::isnan(v))
        RaiseInvalidOp();
    if (std::isinf(v))
        RaiseOverflow();
    return v;
}
