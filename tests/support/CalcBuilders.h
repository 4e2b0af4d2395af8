#pragma once
// Builders of the calculation's test data, through the program's own code,
// on the shared data-folder fixture (DataFolderFixture.h):
//
//   class MyTest : public CalcTest {};           // the data base open, calc's lists made
//   AddBuiltInKinds();                            // the directory's built-in kinds
//   AddTaxType(1, "Основной");
//   TTaxTableSpec table;
//   table.DateBeg = EncodeDate(2024, 1, 1);
//   table.Lines = {{0, 0, 12}, {1000, 120, 20}};
//   AddTaxTable(1, table);
//   SaveMonthTotals(17, EncodeDate(2024, 3, 1), {{dnPNPay, 0, 240}});   // February's totals
//
//   AddCalendar(0, EncodeDate(2024, 1, 1), EncodeDate(2024, 12, 31), {{3, 160}});  // March: 160 hours
//   qint32 n = AddKind({.DopNum = 250, .Naim = "Доплата", .Formula = 1, .Sum = 500});
//   TCardSpec card; card.Okl = 16800; card.SpnTabl = 1;
//   qint32 tabn = AddCard(card);
//   SaveInput(tabn, {{2, 80, 0}});                // the working month's input (VVOD)
//
// The tax rows are written with the data module's record routines and the
// program's income-tax list is marked, so its next use reads them.

#include "data/FirstStart.h" // AddBuiltInKinds
#include "platform/DateTime.h"
#include "support/DataFolderFixture.h"

#include <QList>
#include <QPair>
#include <QString>

// A test on an open data base with the calculation's lists (InitCalc) too.
class CalcTest : public AppContextTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

// One PNL row.
struct TTaxLineSpec {
    double Sum = 0; // lower limit
    double SumNal = 0; // tax at the limit
    double Proc = 0; // percent of the excess
};

// One PN row with its lines.
struct TTaxTableSpec {
    TDateTime DateBeg = 0;
    bool FYear = false;
    double Sum = 0;
    double SumMinZp = 0;
    int KMinZp = 0;
    double CursValut = 1;
    int Metod = 1;
    TDateTime YearBeg = 0;
    TDateTime YearEnd = 0;
    QList<TTaxLineSpec> Lines;
};

// A PNT row.
void AddTaxType(int tip, const QString& naim);
// A PN row of the type with its PNL rows; answers its NUM.
int AddTaxTable(int tip, const TTaxTableSpec& table);

// One reserved entry of last month's totals.
struct TMonthTotal {
    qint32 DopNum = 0;
    double Time = 0;
    double Sum = 0;
};
// The employee's totals of the month before `date`, written as a kind-4
// entry list writes them (NCARC).
void SaveMonthTotals(qint32 tabNum, TDateTime date, const QList<TMonthTotal>& totals);

// A monthly calendar under number (0: the main one) with one table over
// dateBeg..dateEnd; lines of the default 172.2 hours and 8.2-hour days
// unless hours gives a line's hours by its month (1..12).
void AddCalendar(qint32 number, TDateTime dateBeg, TDateTime dateEnd, const QList<QPair<int, double>>& hours = {});

// A kind of the directory (DP row), saved; the directory is read again.
struct TKindSpec {
    qint32 DopNum = 0;
    QString Naim;
    bool Uder = false;
    qint32 Formula = 1; // calculation method code
    double Sum = 0; // default sum
    qint32 StadiaF = 100;
    qint32 StadiaD = -1;
    bool Individ = false;
    bool Deleted = false;
    bool FBalans = false;
};
qint32 AddKind(const TKindSpec& kind);
// A DPT table (Tip 0 base, 1 deductions) of the kind holding the numbers,
// made its TABL (or VLIST); answers its number.
qint32 SetKindTable(qint32 dopNum, int tip, const QList<qint32>& numbers);
// The built-in kind of a type (AddBuiltInKinds first).
qint32 KindOfTip(int tip);

// A working employee's card (SR), saved under a new number with his
// permanent accruals (SRD); answers the number.
struct TCardSpec {
    QString Fio = QStringLiteral("Иванов Иван Иванович");
    qint32 Podr = 1;
    qint32 Ksop = 0; // pay system
    double Okl = 0;
    qint32 Calendar = 0;
    qint32 SpnTabl = 1;
    double LgotaPN = 1;
    double Vychet = 0;
    qint32 MinZarp = 0;
    TDateTime DateRelease = 0;
    QList<qint32> Permanent; // kinds
};
qint32 AddCard(const TCardSpec& card);
// The workshop "Цех" (department 2 under the enterprise row 1) with one
// working employee of that name; answers his number.
qint32 AddWorkshopEmployee(const QString& fio = QStringLiteral("Петров Петр Петрович"));

// One input entry.
struct TInputSpec {
    qint32 DopNum = 0;
    double Time = 0;
    double Sum = 0;
    double Proc = 0;
};
// The employee's input of the working month (VVOD), replaced.
void SaveInput(qint32 tabNum, const QList<TInputSpec>& input);

// The small enterprise of the calculation dump's references
// (tests/fixtures/calcdump): two departments of five employees in March
// 2024, 160 hours, tax 13%, a user formula, a scale, a piece-worker, one
// released in February and one without his calendar. Answers the number
// of the employee of "one.txt".
qint32 BuildDumpEnterprise();
