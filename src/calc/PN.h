#pragma once
// Income tax: the progressive scales of PNT (types), PN (dated tables of a
// type) and PNL (lines of a table), held in memory by the one list of the
// application context (PxList()), and the calculator T_PN that computes a
// month's tax from the running totals of the tax year.
//
//   T_PN pn(PxList(), Cfg.PNInt);        // lives for one calculation
//   pn.Select(card.SpnTabl, date);
//   T_PNResult in, out;                   // in: last month's totals, the base
//   double tax = pn.Calc(in, out);        // out: the new totals and the tax
//
// A T_PN keeps pointers into the list: it must not outlive a reload of it.
// It notices one (the list's generation) and then counts as not selected.

#include "data/CalcMethods.h"
#include "foundation/TypeList.h"
#include "platform/Currency.h"
#include "platform/DateTime.h"

#include <QString>

class Cursor;
class T_PxTip;
class T_PxList;

// The last day of the last table of a type: open.
inline constexpr TDateTime kPxOpenDate = 1000000;

// One PNL row: the lower limit, the tax at it and the percent of the excess.
class T_PxLine : public TObject {
public:
    double Sum = 0;
    double SumNal = 0;
    double Proc = 0;
};

// One PN row with its lines in ascending limit order.
class T_PxTable : public T_yqOwnerListOf<T_PxLine> {
public:
    explicit T_PxTable(T_PxTip* owner = nullptr) : Owner(owner) {}

    T_PxTip* Owner;
    qint32 Num = 0;
    TDateTime DateBeg = 0;
    TDateTime DateEnd = kPxOpenDate; // the day before the type's next table
    bool FYear = false; // computed on the year's totals
    Currency Sum; // tax-free sum per month
    Currency SumMinZp; // the minimal wage
    double CursValut = 0; // currency rate
    qint32 KMinZp = 0; // minimal wages exempt for everybody
    qint32 Metod = 0; // 1, 2; 0 = no tax
    TDateTime YearEnd = 0;
    TDateTime YearBeg = 0;

    // The PN row's columns (money to 4 decimals), then its PNL rows.
    void Load(Cursor& row);
    T_PxLine* GetLine(int index) const { return Item(index); }
    // The owning type's name; empty without one.
    QString GetTipName() const;
};

// One PNT row with its tables in start-date order.
class T_PxTip : public T_yqOwnerListOf<T_PxTable> {
public:
    QString Naim;
    qint32 Tip = 0;

    // The PNT row, then the type's PN rows; each table ends the day before
    // the next one begins.
    void Load(Cursor& row);
    // Appends the table (owned now) and closes the one before it.
    void AddTable(T_PxTable* table);
    T_PxTable* GetTable(int index) const { return Item(index); }
    T_PxTable* LastTable() const { return Count() > 0 ? LastItem() : nullptr; }
    // The table holding the date; else the candidate rule (for a date
    // before every table: the one that begins last); nullptr without tables.
    T_PxTable* FindTable(TDateTime date) const;
};

// Every income-tax type. Loads at its first use and again after
// SetLoaded(false); Reload reads at once.
class T_PxList : public T_yqOwnerListOf<T_PxTip> {
public:
    T_PxList() = default;
    ~T_PxList() override;

    void Load();
    void Reload() { Load(); }
    void EnsureLoaded();
    // Only false acts: the next use reads the tables again.
    void SetLoaded(bool loaded);
    bool Loaded() const { return loaded_; }
    // Grows with every reading: a pointer into an earlier one is stale.
    quint64 Generation() const { return generation_; }

    T_PxTip* GetTip(int index);
    int IndexOfTip(qint32 tip);
    T_PxTip* FindTip(qint32 tip);
    // Each type's name with its number as the object.
    void FillStrings(TStringItems& strings);

private:
    bool loaded_ = false;
    quint64 generation_ = 0;
};

// The program's list; nullptr while the data module does not exist (or
// InitCalc was not called).
T_PxList* PxList();

// The input and output record of one tax calculation.
class T_PNResult : public TObject {
public:
    double PrevVsego = 0; // last month's amount to pay
    double SumAll = 0; // income of the tax year
    double Months = 0; // months of income
    double DopOsvCount = 0; // additional minimal wages exempt so far
    double DopOsv = 0; // additional exempt sum so far
    double SumOsv = 0; // exempt sum so far
    double SumTo = 0; // taxable income so far
    double Pay = 0; // tax paid so far
    qint32 MonthsInYear = 0; // months from the tax year's first month
    qint32 MonthNo = 0; // the current month in the tax year, from 1
    qint32 MinZarp = 0; // the employee's additional minimal wages
    double LgotaPN = 0; // the employee's share of tax, 0..1
    double Vychet = 0; // the employee's monthly exempt amount
    double Base = 0; // the month's taxable income
    double Tax = 0; // the tax computed

    void Clear() { *this = T_PNResult(); }
    void Assign(const T_PNResult& source) { *this = source; }
};

// The tax calculator over a list it does not own.
class T_PN : public TObject {
public:
    // pnInt: the settings' PNInt (the taxable amount in whole units).
    T_PN(T_PxList* list, bool pnInt) : List(list), PNInt(pnInt) {}

    T_PxList* List;
    bool PNInt;
    TDateTime Date = 0; // 0 = none
    qint32 Tip = -1; // -1 = none
    T_PxTable* Table = nullptr;
    T_PxTip* TipObj = nullptr;

    void Select(qint32 tip, TDateTime date);
    bool IsValid() const;
    // Out gets In's totals advanced and the tax; answers the tax (negative:
    // a refund of the year's overpayment).
    double Calc(const T_PNResult& in, T_PNResult& out);

private:
    quint64 generation_ = 0; // of the list when TipObj was found
};
