#pragma once
// Calculation tables of an accrual kind computed by method 4097: named
// types of dated scales, kept in the object store Bin under CLASS 4
// (binCalcTables): per type a header row (VID = accrual, TIP = type,
// SUBTIP 0, INFO = the type stream) and one row per table (SUBTIP 1,
// DATEBEG/DATEEND, INFO = the table stream).
//
//   T_RtList list;
//   list.Vid = 250;
//   list.Load();
//   T_RtTip* tip = list.AddTip();          // the first free type number
//   tip->Naim = "Основная";
//   tip->AddTable()->SetDate(EncodeDate(2024, 1, 1));
//   tip->Save();                            // header and tables, one transaction
//
// Streams: a version byte 0, then tagged properties ending with tag 0;
// tags may come in any order. A table or type of another version reads as
// an empty object marked Unreadable, which Save refuses: its stored bytes
// stay as they are.

#include "data/CalcMethods.h"
#include "foundation/TypeList.h"
#include "platform/Currency.h"
#include "platform/DateTime.h"

#include <QString>

class Cursor;
class TStream;
class T_RtList;

// The last day of a type's last table: open.
inline constexpr TDateTime kRtOpenDate = 1000000;

class T_RtLine : public TObject {
public:
    double Lower = 0; // lower limit
    double Sum = 0; // amount at the limit
    double Proc = 0; // percent of the excess

    // A version other than 0 raises "T_RtLine.LoadData: Ошибка версии".
    void LoadData(TStream& stream);
    void SaveData(TStream& stream) const;
};

class T_RtTable : public T_yqOwnerListOf<T_RtLine> {
public:
    T_RtTable() = default;

    TDateTime DateBeg = 0;
    TDateTime DateEnd = 0; // the day before the type's next table begins
    bool ByYear = false;
    Currency Sum;
    Currency SumMinZp;
    double CursValut = 0;
    qint32 KMinZp = 0;
    qint32 Metod = 0;
    TDateTime YearEnd = 0;
    TDateTime YearBeg = 0;
    qint32 Vid = 0; // the owning accrual
    qint32 Tip = 0; // the type number
    qint64 Prim = 0; // the Bin row it was read from; 0 = not stored yet
    bool Unreadable = false; // stored in a version this program cannot read

    void SetDate(TDateTime date) { DateBeg = date; }
    TDateTime GetDateBeg() const { return DateBeg; }
    T_RtLine* AddLine();

    // The properties start from their defaults; the line count is bounded
    // by the bytes left ("Stream read error").
    void LoadData(TStream& stream);
    void SaveData(TStream& stream) const;
    QByteArray SaveToBytes() const;
    // SUBTIP must be 1 ("T_RtTable.LoadField 001"); PRIM, DATEBEG,
    // DATEEND, then INFO.
    void LoadFromRow(Cursor& row);
    // DATEBEG, DATEEND and INFO of the row in edit or insert state.
    void WriteRow(Cursor& row) const;
    // The table of Vid and Tip in force on DateBeg: the last one starting
    // on or before it, else the earliest. False, nothing read, when the
    // type has no table.
    bool LoadForDate();

private:
    void Reset();
};

class T_RtTip : public T_yqOwnerListOf<T_RtTable> {
public:
    explicit T_RtTip(T_RtList* owner = nullptr) : Owner(owner) {}

    T_RtList* Owner;
    QString Naim;
    qint32 Tip = 0;
    bool Unreadable = false; // its header or a table could not be read

    qint32 Vid() const;
    T_RtTable* GetTable(int index) const { return Item(index); }

    // The header row: SUBTIP must be 0 ("T_RtTip.LoadData - 001"); TIP,
    // then the type stream.
    void LoadData(Cursor& row);
    void LoadStream(TStream& stream);
    void SaveStream(TStream& stream) const;
    // Its header and its tables, in start-date order.
    void Load();
    // A new empty table of the type, added.
    T_RtTable* AddTable();
    // Writes the header and replaces the type's table rows by its tables
    // (kept rows by their identity, the rest deleted), one transaction.
    // Refused for an unreadable type and for two tables of one start date.
    void Save();
    // Deletes every row of the type.
    void DeleteFromBase();

private:
    friend class T_RtList;
    void LoadTables();
    void ChainDates();
};

class T_RtList : public T_yqOwnerListOf<T_RtTip> {
public:
    T_RtList() = default;
    ~T_RtList() override;

    qint32 Vid = 0; // the accrual

    // Every type of Vid with its tables.
    void Load();
    // The types' names with their numbers as the objects.
    void FillStrings(TStringItems& strings) const;
    T_RtTip* FindTip(qint32 tip) const;
    int IndexOfTip(qint32 tip) const;
    // A new type under the first number from 1 that no type uses, added.
    T_RtTip* AddTip();
};

// The record a calculation by table passes on: the accrual it is for, and
// what the scale gave.
class T_RtResult : public TObject {
public:
    qint32 DopNum = 0;
    double Base = 0; // the entry's base handed in
    qint32 Tip = 0; // the type whose table was used; 0: none in force
    TDateTime DateBeg = 0; // that table's first day
    double Amount = 0;
    void Assign(const T_RtResult& source) { *this = source; }
};

// The scale's amount for a base, as the income tax of a month without the
// year's totals: the exempt sum (KMinZp x SumMinZp + Sum) x CursValut is
// taken off, the rest divided by the rate and rounded to kopecks; the line
// whose lower limit it reaches (the first counts from 0, the last has no
// end) gives its sum at the limit plus the percent of the excess; the
// result goes back through the rate, rounded to kopecks. Nothing below the
// exempt sum or without lines. A rate of 0 raises "Неверный курс валюты в
// таблице расчета начисления №N".
double RtScaleAmount(const T_RtTable& table, double base, qint32 dopNum);

// Keeps the calculation tables of one accrual for the pay calculation.
class T_Rt : public TObject {
public:
    explicit T_Rt(T_RtList* list) : List(list) {}
    T_RtList* List; // not owned, loaded

    // The table of the lowest type number holding the date; nullptr when
    // that type has none (a date before its first table included).
    const T_RtTable* FindTable(TDateTime date) const;
    // Result gets the base, the table used and the amount (0 without a
    // table); answers whether a table was in force.
    bool Calc(TDateTime date, double base, T_RtResult& result) const;
};
