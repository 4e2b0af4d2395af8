#pragma once
// Money in memory: a 64-bit integer of 1/10000, and the one home of the
// rules that round money.

#include <QString>
#include <compare>
#include <cstdint>

class Currency {
public:
    // Where a half of the last unit kept goes: to the even neighbour, as the
    // old runtime rounded; away from zero, as amounts shown and stored in
    // kopecks are.
    enum class Halves { ToEven, AwayFromZero };
    // Rounding to the settings' step: whole steps only, or one step more
    // (even on an exact multiple).
    enum class StepMode { Down, Up };

    constexpr Currency() = default;
    static constexpr Currency FromRaw(int64_t raw)
    {
        Currency c;
        c.raw_ = raw;
        return c;
    }
    // value * 10000 rounded halves to even, as the old runtime stored a float
    // into a currency; raises EOverflow outside the range.
    static Currency FromDouble(double value);
    static constexpr Currency FromInt(int64_t units) { return FromRaw(units * 10000); }
    // Kopecks of a double: first to 6 decimals with halves to even, then to
    // 2 with halves away from zero, so 2.3449999 gives 2.35 and 2.34499 gives
    // 2.34. Beyond about 9.2e12 raises EConvertError "RoundToCents: ...".
    static Currency CentsFromDouble(double x);
    // Whole steps of x: x / step taken to 6 decimals (halves to even), its
    // whole part (toward zero), one more with StepMode::Up, times step, then
    // to kopecks as CentsFromDouble; 1.15 at the step 0.01 stays 1.15. The
    // step must be above 0 (0 raises EOverflow).
    static Currency FromDoubleBySteps(double x, double step, StepMode mode);

    constexpr int64_t Raw() const { return raw_; }
    double ToDouble() const { return static_cast<double>(raw_) / 10000.0; }
    bool IsZero() const { return raw_ == 0; }
    // To 0..4 decimals in whole ten-thousandths, no double on the way:
    // Rounded(2, Halves::AwayFromZero) is the amount in kopecks.
    Currency Rounded(int decimals, Halves halves) const;

    Currency operator-() const;
    Currency& operator+=(Currency other);
    Currency& operator-=(Currency other);
    friend Currency operator+(Currency a, Currency b) { return a += b; }
    friend Currency operator-(Currency a, Currency b) { return a -= b; }
    // The product and quotient go through doubles and are rounded back, as
    // the old runtime computed them on the floating-point unit.
    friend Currency operator*(Currency a, double b) { return FromDouble(a.ToDouble() * b); }
    friend Currency operator/(Currency a, double b);

    friend constexpr bool operator==(Currency a, Currency b) { return a.raw_ == b.raw_; }
    friend constexpr auto operator<=>(Currency a, Currency b) { return a.raw_ <=> b.raw_; }

private:
    int64_t raw_ = 0;
};
