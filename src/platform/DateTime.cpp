#include "platform/DateTime.h"
#include "platform/Exceptions.h"

#include <cmath>

namespace {

// Days from 0001-01-01 (proleptic Gregorian) to the old runtime's epoch.
constexpr int64_t kEpochDays = 693594;

int64_t DaysBeforeYear(int64_t y) // y >= 1
{
    --y;
    return y * 365 + y / 4 - y / 100 + y / 400;
}

const int kMonthDays[2][12]
    = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}, {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

} // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInAMonth(int year, int month)
{
    if (month < 1 || month > 12)
        return 0;
    return kMonthDays[IsLeapYear(year) ? 1 : 0][month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInAMonth(year, month))
        return false;
    int64_t days = DaysBeforeYear(year);
    for (int m = 1; m < month; ++m)
        days += DaysInAMonth(year, m);
    days += day - 1;
    // days counts from 0001-01-01 as day 0; the epoch 1899-12-30 is day 693593.
    out = static_cast<double>(days - (kEpochDays - 1));
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime d;
    if (!TryEncodeDate(year, month, day, d))
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    return d;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day)
{
    if (!std::isfinite(value) || std::fabs(value) > 3e6) {
        year = month = day = 0;
        return;
    }
    int64_t t = static_cast<int64_t>(std::trunc(value)) + (kEpochDays - 1); // day number from 0001-01-01, 0-based
    if (t < 0) {
        year = month = day = 0;
        return;
    }
    // Civil-from-days over 400-year cycles.
    int64_t y = 1;
    int64_t n400 = t / 146097;
    t %= 146097;
    int64_t n100 = t / 36524;
    if (n100 == 4)
        n100 = 3;
    t -= n100 * 36524;
    int64_t n4 = t / 1461;
    t %= 1461;
    int64_t n1 = t / 365;
    if (n1 == 4)
        n1 = 3;
    t -= n1 * 365;
    y += n400 * 400 + n100 * 100 + n4 * 4 + n1;
    int m = 1;
    const bool leap = IsLeapYear(static_cast<int>(y));
    while (t >= kMonthDays[leap ? 1 : 0][m - 1]) {
        t -= kMonthDays[leap ? 1 : 0][m - 1];
        ++m;
    }
    year = static_cast<int>(y);
    month = m;
    day = static_cast<int>(t) + 1;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out)
{
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
        return false;
    out = (((hour * 60.0 + min) * 60.0 + sec) * 1000.0 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec)
{
    TDateTime t;
    if (!TryEncodeTime(hour, min, sec, msec, t))
        throw EConvertError(QStringLiteral("Invalid argument to time encode"));
    return t;
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec)
{
    double frac = std::fabs(value - std::trunc(value));
    int64_t ms = static_cast<int64_t>(std::llround(frac * MSecsPerDay));
    if (ms >= static_cast<int64_t>(MSecsPerDay))
        ms = static_cast<int64_t>(MSecsPerDay) - 1;
    hour = static_cast<int>(ms / 3600000);
    min = static_cast<int>(ms / 60000 % 60);
    sec = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

TDateTime DateOf(TDateTime value) { return std::trunc(value); }

TDateTime TimeOf(TDateTime value) { return std::fabs(value - std::trunc(value)); }

int DayOfWeek(TDateTime value)
{
    // 30 Dec 1899 was a Saturday.
    int64_t d = static_cast<int64_t>(std::trunc(value));
    int r = static_cast<int>(((d - 1) % 7 + 7) % 7); // 0 = Sunday
    return r + 1;
}

TDateTime IncMonth(TDateTime value, int months)
{
    int y, m, d;
    DecodeDate(value, y, m, d);
    int64_t total = static_cast<int64_t>(y) * 12 + (m - 1) + months;
    int ny = static_cast<int>(total / 12);
    int nm = static_cast<int>(total % 12) + 1;
    int nd = std::min(d, DaysInAMonth(ny, nm));
    return EncodeDate(ny, nm, nd) + (value - std::trunc(value));
}

QDate ToQDate(TDateTime value)
{
    int y, m, d;
    DecodeDate(value, y, m, d);
    return y ? QDate(y, m, d) : QDate();
}

TDateTime FromQDate(const QDate& date)
{
    if (!date.isValid())
        return NoDate;
    return EncodeDate(date.year(), date.month(), date.day());
}

QDateTime ToQDateTime(TDateTime value)
{
    int h, n, s, ms;
    DecodeTime(value, h, n, s, ms);
    return QDateTime(ToQDate(value), QTime(h, n, s, ms));
}

TDateTime FromQDateTime(const QDateTime& dt)
{
    const QTime t = dt.time();
    return FromQDate(dt.date()) + EncodeTime(t.hour(), t.minute(), t.second(), t.msec());
}
