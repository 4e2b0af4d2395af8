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
// The tax rows are written with the data module's record routines and the
// program's income-tax list is marked, so its next use reads them.

#include "platform/DateTime.h"
#include "support/DataFolderFixture.h"

#include <QList>
#include <QString>

// A test on an open data base with the calculation's lists (InitCalc) too.
class CalcTest : public AppContextTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

// GenerateConstDops on the program's directory; answers how many it made.
int AddBuiltInKinds();

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
