#pragma once
// The data module: the one set of long-lived table cursors that windows and
// domain objects share, with their master-detail links, and the record
// routines every part uses to write rows (append under a new number, set
// named fields from arrays, stamp the user, find the next number), and the
// object store "Bin".
//
//   CreateDataModule();                      // after OpenDataBase
//   DM()->tbzSP.First();                     // tbzSR follows: the department's staff
//   int n = AppendNumberedRecord(DM()->SP, {"NAIM"}, {Variant(QString("Цех"))});
//   DestroyDataModule();                     // at shutdown

#include "data/AppContext.h"
#include "db/Cursor.h"
#include "platform/DateTime.h"
#include "platform/Variant.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

#include <functional>

class T_Dop;

class TDM {
public:
    // Builds the cursors with their names, indexes, links and filter
    // handlers; opens nothing.
    TDM();
    // Frees the domain lists and closes every cursor.
    ~TDM();
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    // Creation at start-up: the domain lists, the tables opened, the lists
    // loaded, the SR fields cached.
    void MainDataModuleCreate();

    // The data base name every cursor of the module is bound to.
    static QString DataBaseName() { return QStringLiteral("QorDataBase"); }

    // Every cursor in opening order (masters before their details).
    const QList<Cursor*>& Tables() const { return tables_; }
    // A cursor by its component name (ignoring case); nullptr when none.
    Cursor* FindTable(const QString& name) const;

    // The enterprise row of SP under the next free number (never 0).
    int AddEnterpriseRecord();

    // ---- DP
    Cursor tb_DP, tbzDP, tbdDP, DP;
    // ---- SR, SP
    Cursor tb_SR;
    Cursor tbzSP, tb_SP, SP;
    Cursor tbzSR; // employees of tbzSP's current department (index PODR)
    Cursor SR;
    Cursor tb_SRH, tb_SRD; // index TABNUM
    // ---- POST, CTGR, STAFF
    Cursor tbaPost, Post;
    Cursor tbaCtgr, Ctgr; // tbaCtgr on index NAIM
    Cursor Staff;
    Cursor tbsSr;
    Cursor tbsStaff; // the staff row of tbsSr's POST
    Cursor tbsPost; // the post of tbsStaff
    Cursor tbsSRH, tbsSRD; // of tbsSr
    Cursor tbzSRH, tbzSRD; // of tbzSR
    // ---- KSOP, income tax
    Cursor tbaKsop;
    Cursor tbaPNT, tbaPN, tbaPNL; // PN of tbaPNT's TIP, PNL of tbaPN's NUM
    Cursor PNT, PN, PNL, tbsPNT;
    // ---- users
    Cursor USER, tbuUser;
    // ---- accrual tables, history, results
    Cursor tb_DPT, DPT;
    Cursor DPH;
    Cursor SRH, SRT, SRD;
    Cursor NC, VVOD, NCARC, VVARC;
    // ---- the object store
    Cursor Bin;

    // SR's fields read most often, cached when the tables opened.
    Field SrTABNUM, SrFIO, SrPODR, SrDATEBEG;

    // A kind of the directory that no DP row has, named for an accrual
    // number the directory lacks ("%s" stands for the number). Made with
    // the domain lists.
    std::unique_ptr<T_Dop> Dop;

private:
    QList<Cursor*> tables_;
    bool created_ = false;
};

// The program's data module (AppContext().DM); nullptr before CreateDataModule.
TDM* DM();
// Makes the data module and runs its creation (the tables are opened).
void CreateDataModule();
void DestroyDataModule();

// The enterprise row appended to that SP cursor (TDM::AddEnterpriseRecord
// on its own cursor); the import uses it with SP open exclusively.
int AddEnterpriseRecord(Cursor& sp);

// ---------------------------------------------------------------- domain lists

// TDomainList, TDomainListHooks, SetDomainListHooks and OwnedListHooks:
// data/AppContext.h (the hooks live in DataHooks()).

// Refreshes every open table, then reloads the departments, the accrual
// directory, the income-tax tables, the calendars and the user formulas,
// with the views off and the progress sink busy meanwhile.
void ReloadAllLists();

// Splash texts of the creation ("База данных", "Формы"); the splash window
// installs the hook.
void SetSplashTextHook(std::function<void(const QString&)> hook);
void SetSplashText(const QString& text);

// An import or a restore has put other data in place (another month,
// other settings, other departments): the main window installs the hook
// and shows the new data as a new start would.
void SetDataReplacedHook(std::function<void()> hook);
void AnnounceDataReplaced();

// ---------------------------------------------------------------- record routines

// Opens every cursor of the list, except those whose name begins with
// "TMP"; a failure is shown ("Ошибка при открытии таблицы" and what the
// table holds, in the clerk's words), once per table however many cursors
// it has, and the others still open. Stops when the application is
// terminating.
void OpenOwnedTables(const QList<Cursor*>& tables);

// Remembers the current index name and selects the primary index.
void SelectPrimaryIndex(Cursor& table, QString& oldIndexName);
// SelectPrimaryIndex for a scope: the old index comes back when it ends.
class PrimaryIndexScope {
public:
    explicit PrimaryIndexScope(Cursor& table);
    ~PrimaryIndexScope();
    PrimaryIndexScope(const PrimaryIndexScope&) = delete;
    PrimaryIndexScope& operator=(const PrimaryIndexScope&) = delete;

private:
    Cursor& table_;
    QString old_;
};

// The last value of the table's first field + 1 (1 for an empty table),
// read without moving the cursor or changing its index.
int GetNextNumber(Cursor& table);
// Selects the primary index, appends a row and writes the next number into
// its first field; the row stays in insert state. Answers the number.
int AppendNextNumber(Cursor& table);

// Appends a row under the next free number with the named fields set from
// the values (USER stamped when asked) and posts it; number and row are
// written in one transaction. Answers the number. Raises "Массив не может
// быть пуст" / "Не совпадают массивы" before anything is appended.
int AppendNumberedRecord(Cursor& table, const QStringList& names, const QList<Variant>& values, bool stamp = true);
// Appends a row (its first field = number, unless 0) with the named fields
// set and posts it. The cursor's index and range are kept.
void AppendRecordValues(
    Cursor& table, int number, const QStringList& names, const QList<Variant>& values, bool stamp = true);
// Sets the named fields of the current row and posts it.
void SetRecordValues(Cursor& table, const QStringList& names, const QList<Variant>& values, bool stamp = true);
// The row with that primary key ("Нет в справочнике" when absent), then as SetRecordValues.
void SetRecordValuesByKey(Cursor& table, const QList<Variant>& key, const QStringList& names,
    const QList<Variant>& values, bool stamp = true);
// Writes the current user number (CurrentUser) into the row's USER field,
// when it has one (the row must be in edit or insert state).
void StampUser(Cursor& table);
// A failure in any of these cancels the row: no half-written row is posted.

// The employee's department; false when the number is not in SR.
bool GetTabnPodr(int tabn, int& podr);
// The employee's name, or "Не найдено"; false when the number is not in SR.
bool GetFioByTabn(int tabn, QString& fio);
// The data module's DP (SR) cursor on that row, or the application
// exception "Начисление №N в справочнике не найдено" ("Табельный номер №N
// в справочнике не найден").
void FindDopOrError(int dopnum);
void FindTabnOrError(int tabn);

// Gives employee A the display number SNUM just before employee B of the
// same department, moving B and the rows after it up when the number below
// B is taken (numbers below 1 count as taken). False when A is B; "Нужен
// номер в том же подразделении" when the departments differ.
bool MoveTabnBefore(int tabnA, int tabnB);
// The same for accrual kinds in DP among the rows of B's UDER value.
bool MoveDopBefore(int dopnumA, int dopnumB);

// Deletes the department row and marks the department list for re-reading.
bool DeletePodrRecord(int num);
// Deletes the kind's history rows, its DP row and its user formula (one
// transaction), marks the accrual directory and the user formulas, and
// refreshes the open DPH, DP and Bin cursors.
bool DeleteDopRecord(int dopnum);
// Deletes the accrual table row and refreshes the open DPT cursors.
bool DeleteTablRecord(int num);

// Around the accrual editor's batch of rows; nothing to do.
inline void BeginBatchWrite() {}
inline void EndBatchWrite() {}

// From the first row to the first whose field equals the value (with
// `differ`: differs from it); true when such a row is current.
bool LocateByScan(Cursor& dataSet, const QString& fieldName, const Variant& value, bool differ = false);

// ---------------------------------------------------------------- the object store

// CLASS of the stored objects.
enum : int { binCalendars = 1, binUserFormulas = 2, binPaySheets = 3, binCalcTables = 4 };

// The key of a stored object version (index "INFO").
struct TBinKey {
    int Class = 0;
    int Vid = 0;
    int Tip = 0;
    int SubTip = 0;
    TDateTime DateBeg = 0;
    QList<Variant> Values() const;
};

// One row of the store.
struct TBinObject {
    TBinKey Key;
    TDateTime DateEnd = 0;
    QByteArray Info;
    int User = 0;
};

QString BinIndexName(); // "INFO"
// Selects "INFO" and finds the version with exactly this key.
bool BinFindKey(Cursor& bin, const TBinKey& key);
// The version in force at the date: the last one of the key's class, VID,
// TIP and SUBTIP whose DATEBEG is not after the date.
bool BinFindValid(Cursor& bin, int cls, int vid, int tip, int subTip, TDateTime date);
// Limits the cursor to the objects with these leading key values (CLASS first).
void BinSetRange(Cursor& bin, const QList<Variant>& leadingKey);
TBinObject BinCurrent(Cursor& bin);
// Stores the object under its key: the version found is rewritten, else a
// row is appended; USER is stamped. One transaction.
void BinWrite(Cursor& bin, const TBinKey& key, TDateTime dateEnd, const QByteArray& info);
