#pragma once
// Day-based date-time: days since 30 December 1899, the time of day as the
// fraction. 0 means "no date" wherever the program stores dates.

#include <QDate>
#include <QDateTime>
#include <cstdint>

using TDateTime = double;

constexpr TDateTime NoDate = 0.0;
constexpr double MSecsPerDay = 86400000.0;

bool IsLeapYear(int year);
int DaysInAMonth(int year, int month);

bool TryEncodeDate(int year, int month, int day, TDateTime& out);
// Raises EConvertError "Invalid argument to date encode" on an impossible date.
TDateTime EncodeDate(int year, int month, int day);
void DecodeDate(TDateTime value, int& year, int& month, int& day);

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);

// The date part (toward zero, as the old runtime did) and the time part.
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);

// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime value);

// Same day of month where it exists, else the month's last day.
TDateTime IncMonth(TDateTime value, int months);

QDate ToQDate(TDateTime value);
TDateTime FromQDate(const QDate& date);
QDateTime ToQDateTime(TDateTime value);
TDateTime FromQDateTime(const QDateTime& dt);
