#pragma once
// Money in memory: a 64-bit integer of 1/10000.

#include <QString>
#include <compare>
#include <cstdint>

class Currency {
public:
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

    constexpr int64_t Raw() const { return raw_; }
    double ToDouble() const { return static_cast<double>(raw_) / 10000.0; }
    bool IsZero() const { return raw_ == 0; }

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
