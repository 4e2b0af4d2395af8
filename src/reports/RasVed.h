#pragma once
// Pay-sheet definitions: a numbered, named list of money columns, each
// summing a set of accrual and deduction numbers. Kept in the object store
// Bin under CLASS 3 (binPaySheets), VID = the number, TIP 0, SUBTIP 0. While
// a document is formed the same object gathers the employee's column values
// and the department and enterprise totals the templates print.
//
//   T_RasVed ved;
//   ved.Number = -1;                       // the first free number on Save
//   ved.Name = "Основная";
//   ved.AddColumn()->AddInteger(1);        // accrual 1 in column 1
//   ved.Save();
//   ved.AddTabn(results);                  // one employee's rows
//
// INFO: byte 1, int32 number, string name, int32 n, then n columns of
// byte 1, int32 position (1..n), string name, int32 m, m x int32 numbers.

#include "foundation/TypeList.h"

#include <QByteArray>
#include <QString>

class Cursor;
class TStream;
class T_TabnDopList;

// The highest number Save hands out.
inline constexpr qint32 kMaxRasVedNumber = 65356;

// A column: the accrual numbers it sums, and what it summed.
class T_RasVedItem : public T_yqIntegerList {
public:
    QString Name;
    qint32 Number = 0; // position 1..n after saving
    double V = 0; // the employee's value
    double S = 0; // department total
    double P = 0; // enterprise total

    // A version other than 1 raises "Неверная версия"; a count the bytes
    // left cannot hold is refused before anything is allocated.
    void LoadData(TStream& stream);
    void SaveData(TStream& stream) const;
};

class T_RasVedBase : public T_yqOwnerListOf<T_RasVedItem> {
public:
    T_RasVedBase() = default;
    ~T_RasVedBase() override;

    qint32 Number = 0; // -1: the first free number on Save
    QString Name;

    T_RasVedItem* Column(int index) const { return Item(index); }
    int ColumnCount() const { return Count(); }

    // The whole definition from the stream; on a failure it stays as it
    // was. The number inside the stream is taken as read.
    void LoadFromBytes(const QByteArray& info);
    QByteArray SaveToBytes() const;
    // The current Bin row's INFO; the number is the row's VID, so that Save
    // writes back to the row it came from.
    void LoadFromTable(Cursor& bin);
};

class T_RasVed : public T_RasVedBase {
public:
    T_RasVed();
    ~T_RasVed() override;

    bool PercentOn = false;
    double Rate = 1.0; // percent / 100 while PercentOn
    bool RoundByMoney = false; // the settings' money rounding instead of kopecks

    // Employee / department / enterprise. Negative parts hold magnitudes.
    double PD = 0, SPD = 0, PSPD = 0; // supplements in no column
    double PU = 0, SPU = 0, PSPU = 0; // deductions in no column
    double VSP = 0, SVSP = 0, PSVSP = 0; // balance carried in
    double SVSPP = 0, SVSPM = 0, PSVSPP = 0, PSVSPM = 0;
    double VNACH = 0, SVNACH = 0, PSVNACH = 0; // accrued
    double VUDER = 0, SVUDER = 0, PSVUDER = 0; // deducted
    double VSEGO = 0, SVSEGO = 0, PSVSEGO = 0; // to pay
    double SVSEGOP = 0, SVSEGOM = 0, PSVSEGOP = 0, PSVSEGOM = 0;

    // Nothing for -1; a missing row raises "Не найдена расчетная ведомость №N".
    void LoadByNumber(qint32 number);
    // A stored row of that number, whatever its bytes.
    static bool Exists(qint32 number);
    // Number -1 takes the first free number from 1 (above kMaxRasVedNumber:
    // "Превышен допустимый предел количества таблиц расчета"). Without
    // columns the row is deleted; otherwise the columns are numbered 1..n
    // and INFO is rewritten. One transaction.
    void Save();

    T_RasVedItem* AddColumn();
    // One column per source column with its accrual numbers.
    void AssignColumns(const T_RasVedBase& source);
    double ColumnValue(int index) const { return Column(index)->V; }
    double ColumnPodr(int index) const { return Column(index)->S; }
    double ColumnTotal(int index) const { return Column(index)->P; }

    // Off for 0 and 100.
    void SetPercent(double value);
    // The rate when on, then money rounding or kopecks. Money rounding pays
    // nothing below zero, so negatives go to kopecks and keep their sign.
    double Round(double x) const;

    void ClearEmployee();
    void ClearDepartment();
    void ClearEnterprise();
    void ClearTotals();
    // Frees the columns, then clears every total.
    void Clear() override;

    // One employee's rows: ordinary ones into the first column holding
    // their number (else PD or PU by the row's own deduction flag), the
    // reserved running totals into VSP, VNACH, VUDER and VSEGO.
    void AddTabn(const T_TabnDopList& rows);
};

// Every stored definition.
class T_RasVedList : public T_yqOwnerListOf<T_RasVed> {
public:
    T_RasVedList() = default;
    ~T_RasVedList() override;

    // A row that fails is reported ("Ошибка при загрузке настройки
    // расчетной ведомости №N") and the others still load.
    void LoadAll();
    T_RasVed* FindByNumber(qint32 number) const;
};
