#pragma once
// The program's one set of number, date and currency conventions: the
// Russian Windows defaults, fixed, never taken from the process locale.
// Date and time patterns use the old runtime's notation (m = month, n = minute).

#include <QChar>
#include <QString>

struct TFormatSettings {
    QChar DecimalSeparator = QLatin1Char(',');
    QChar ThousandSeparator = QChar(0x00A0);
    QChar DateSeparator = QLatin1Char('.');
    QChar TimeSeparator = QLatin1Char(':');
    QString ShortDateFormat = QStringLiteral("dd.mm.yyyy");
    QString LongDateFormat = QStringLiteral("d mmmm yyyy 'г.'");
    QString ShortTimeFormat = QStringLiteral("h:nn");
    QString LongTimeFormat = QStringLiteral("h:nn:ss");
    QString CurrencyString = QStringLiteral("р.");
    int CurrencyFormat = 3; // "1 р."
    int NegCurrFormat = 8; // "-1 р."
    int CurrencyDecimals = 2;
    QString TimeAMString;
    QString TimePMString;
    int TwoDigitYearCenturyWindow = 50;
};

const TFormatSettings& FormatSettings();
