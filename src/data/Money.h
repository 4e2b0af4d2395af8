#pragma once
// Money by the settings' rules: rounding, money texts, the amount in words
// from the table "PROPIS.DB" of the data folder, the month dates and the
// report variables drawn from the settings.

#include "db/TableDef.h"
#include "platform/Currency.h"
#include "platform/DateTime.h"
#include "platform/Variant.h"

#include <QList>
#include <QString>
#include <functional>

// An amount paid out, by the settings' step: below 0 gives 0; with Round
// off, RoundToKop; with Round on, whole steps (one more with RoundB, even
// on an exact multiple), then RoundToKop. The quotient is taken to 6
// decimals before its whole part, so 1.15 at the step 0.01 stays 1.15.
double RoundMoney(double x);
// Two decimals, halves away from zero (after 6 decimals).
double RoundToKop(double x);
// DecimalPos decimals: "1234,50".
QString FormatMoney(double x);
// One or two decimals, for hours and days: "8,0", "7,25".
QString FormatShortFloat(double x);
// Whole units, CurrencyDivider, two-digit hundredths, of the amount rounded
// to kopecks, the sign in front: "1234-05", "-1234-05", "0-00".
QString MoneyToText(Currency amount);

// The whole part of the amount in Russian words, with a capital first
// letter; "Минус " in front of a negative amount; "" for 0. Raises
// EAppException "Не найдена таблица сумм прописью PROPIS.DB" (the file
// missing) or "Не могу открыть базу с данными для формирования суммы
// прописью:" (unreadable), with the file, "Не заполнена база PROPIS.DB"
// for an empty table, and for one without the words an amount needs.
QString SpellNumber(Currency amount);
// The amount rounded to kopecks: the words, Rub, the two-digit hundredths
// and Kop: "Сто один руб. 05 коп."; " руб. 00 коп." for 0.
QString SpellMoney(Currency amount);
QString SpellMoneyInBrackets(Currency amount);

// One row of the amount-in-words table: a number in whole units, its words
// (NAME1) and the group word that follows them (NAME2).
struct TPropisRow {
    qint64 Number = 0;
    QString Name1;
    QString Name2;
};
// Reads the rows of the table file; false with the reason when it cannot.
using TPropisReader = std::function<bool(const QString& fileName, QList<TPropisRow>& rows, QString& error)>;
// Replaces the table layer's reader (tests); an empty one restores it.
void SetPropisReader(TPropisReader reader);
// The rows are read once and kept while the file stays the same; this
// drops them, so the next use reads the file again.
void ForgetPropis();
// The file of the amount-in-words table in the data folder.
QString PropisFileName();
// The table's definition: NUMBER (Float, the primary key), NAME1, NAME2.
TableDef PropisTableDef();
// Makes "PROPIS.DB" in the folder from the rows (refused when it exists).
void BuildPropisTable(const QList<TPropisRow>& rows, const QString& folder);
// The copy shipped beside the program file.
QString ShippedPropisFileName();
// Copies the shipped table into a data folder that lacks it. True when the
// folder has the table afterwards; a failed copy is reported.
bool EnsurePropisTable(const QString& dataFolder, const QString& shippedFile = ShippedPropisFileName());
// Reads the shipped seed of the table: UTF-8 lines "NUMBER<tab>NAME1<tab>NAME2",
// "#" comments and blank lines skipped. False with the line at fault.
bool ReadPropisSeed(const QString& fileName, QList<TPropisRow>& rows, QString& error);

// First and last day of the date's month; first day of the month before / after.
TDateTime GetMonthBeg(TDateTime date);
TDateTime GetMonthEnd(TDateTime date);
TDateTime GetPrevMonthBeg(TDateTime date);
TDateTime GetNextMonthBeg(TDateTime date);
// The day of the date lies in the month of Workdate.
bool IsInWorkMonth(TDateTime date);

// The name of the employee with this personnel number; the data module
// installs it. Without it every number answers "Не найдено".
using TFioLookup = std::function<QString(qint32 tabn)>;
void SetFioLookup(TFioLookup lookup);

// Report variables from the settings: NAME, NAMEAPP, NAIMGLBUH,
// NAIMDIRECTOR, FIOGLBUH, FIODIRECTOR, RUB, KOP, CURRENCYDIVIDER (letter
// case ignored). True, with the value, only when the value is not empty.
bool GetReportVariable(const QString& name, Variant& value);
