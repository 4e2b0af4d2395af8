#pragma once
// An employee's accrual entries: one T_TabnDop per accrual kind, held in a
// T_TabnDopList of one of five kinds that decides where the entries come
// from and go to (SRD, VVOD/VVARC, NC/NCARC). Nothing else reads or writes
// those tables. The same rows carry the employee's running totals under
// the reserved numbers from dnFirstReserved up.
//
//   T_TabnDopList input(DNList(), tdkInput);
//   input.Date = Cfg.Workdate;
//   input.SetTabn(17);                          // reads VVOD
//   input.SetValues(3, 0, Currency::FromDouble(1500), 0);
//   input.Save();                               // the employee's VVOD rows replaced, all or nothing

#include "foundation/TypeList.h"
#include "platform/Currency.h"
#include "platform/DateTime.h"

#include <QSet>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class Cursor;
class T_Dop;
class T_DNList;

// Accrual numbers from dnFirstReserved up are no kinds: they are running
// totals stored as result entries.
inline constexpr qint32 dnFirstReserved = 2147163546;
inline constexpr qint32 dnBegin
    = 2147483637; // balance carried in: last month's dnVsego, never stored under this number
inline constexpr qint32 dnPNSumOsv = 2147483639; // sum exempt from income tax since the start of the tax year
inline constexpr qint32 dnPNDopOsv = 2147483640; // additionally exempt sum; time: number of additional minimal wages
inline constexpr qint32 dnPNSumAll = 2147483641; // total income of the tax year; time: months of income
inline constexpr qint32 dnPNSumTo = 2147483642; // taxable sum of the tax year
inline constexpr qint32 dnPNPay = 2147483643; // income tax paid in the tax year
inline constexpr qint32 dnNachis = 2147483644; // accrued in the month; time: time worked
inline constexpr qint32 dnUder = 2147483645; // deducted in the month; time: working-time norm
inline constexpr qint32 dnVsego = 2147483646; // to pay: previous dnVsego + dnNachis - dnUder

inline bool IsReservedDopNum(qint32 dopNum) { return dopNum >= dnFirstReserved; }

// The kinds of entry lists.
enum TTabnDopKind : quint8 {
    tdkPermanent = 1, // SRD
    tdkInput = 2, // VVOD; a past month from VVARC
    tdkResults = 3, // NC; a past month from NCARC; never written
    tdkMonthTotals = 4, // last month's totals in NCARC
    tdkNewResults = 5, // written to NC
};

// One entry of an employee for one accrual kind.
class T_TabnDop : public TObject {
public:
    // Bound: rows read into it must carry this personnel number.
    T_TabnDop(qint32 tabNum, T_DNList* owner, quint8 kind);

    T_DNList* Owner = nullptr;
    double Proc = 0; // percent
    Currency Sum;
    qint32 TabNum = 0;
    qint32 DopNum = 0;
    TDateTime DateEnd = 0; // last day of validity (permanent entries)
    TDateTime DateBeg = 0;
    double DTime = 0; // hours or days; a count for the reserved rows
    TDateTime DateOp = 0; // DATEVV of input, DATERAS of results
    quint8 Kind = 0; // the list kind it belongs to: which columns it has
    bool Matched = false; // marks new results matched with old ones
    bool Uder = false; // a deduction; from the kind when it is known
    bool Bound = true;

    // Reads the current row: "T_TabnDop: Не тот табельный номер" when a
    // bound entry meets another employee's row; an unknown Kind raises
    // "T_TabnDop: Неизвестный тип". Then the kind is looked up again.
    void LoadFromTable(Cursor& table);
    // Appends the row of its Kind (kind 4: rewrites the row of its DopNum
    // among the cursor's rows when there is one).
    void SaveToTable(Cursor& table);

    // The directory's kind of DopNum (nullptr when none), looked up once
    // per reading of the directory.
    T_Dop* GetDop();
    // When Bound: the kind is looked up again (and Uder taken from it).
    void RelinkDop();

private:
    void Link();

    T_Dop* dop_ = nullptr;
    quint64 dopGeneration_ = 0;
    bool dopLooked_ = false;
};

// The cursors of a run over many employees (the calculation of a
// department or the enterprise): each entry table opened once on its
// TABNUM index and lent to every list given the set, so no list opens its
// tables per employee; the cards (SR, primary index) for the run's own
// reads and writes of them. The set must outlive the lists that use it.
class TTabnCursors {
public:
    enum TTable { Srd, Vvod, Vvarc, Nc, Ncarc, Sr, TableCount };

    TTabnCursors();
    ~TTabnCursors();
    TTabnCursors(const TTabnCursors&) = delete;
    TTabnCursors& operator=(const TTabnCursors&) = delete;

    // The table's cursor, opened at first use; an edit left pending by a
    // failed write is cancelled.
    Cursor& Get(TTable table);

private:
    std::array<std::unique_ptr<Cursor>, TableCount> cursors_;
};

// Negative when a sorts before b: unknown kinds after known ones, accruals
// before deductions, then by the mode (2 shown name, 3 display order, 4 type
// among 1..3, then calculation stage; 1 nothing more), ties by number.
int CompareTabnDops(T_TabnDop* a, T_TabnDop* b, int mode);

// The entries of one employee and one list kind; owns its entries, except
// those it took from another list with AddFrom.
class T_TabnDopList : public T_yqOwnerListOf<T_TabnDop> {
public:
    using TFilterEvent = std::function<void(T_TabnDopList* sender, T_TabnDop* entry, bool& accept)>;

    // Sort mode 1; follows the directory's reloads while both live.
    T_TabnDopList(T_DNList* owner, quint8 kind);
    ~T_TabnDopList() override;
    T_TabnDopList(const T_TabnDopList&) = delete;
    T_TabnDopList& operator=(const T_TabnDopList&) = delete;

    T_DNList* Owner() const { return owner_; }
    quint8 Kind() const { return kind_; }

    qint32 TabNum = 0; // the employee; SetTabn also reads his entries
    TFilterEvent OnFilter;
    TDateTime Date = 0; // the period the list is read for
    TDateTime OwnDate = 0; // dates new entries when set (see GetDate)
    TNotifyEvent OnChange;
    // A run's shared cursors; nullptr: the list opens its own per call.
    TTabnCursors* Cursors = nullptr;

    // Sets the number and reads the entries (Date first).
    void SetTabn(qint32 tabNum);
    // Reads the entries of TabNum for Date (nothing when TabNum < 1); an
    // unknown kind raises "T_TabnDopList: Неизвестный тип".
    void Load();
    // Writes the entries by kind, all or nothing: a failing entry does not
    // stop the others, but then nothing is written and the gathered texts
    // are raised after the kind's heading.
    void Save();
    void SavePermanent();
    // Only for the work month: input of another month is never written
    // over the current input.
    void SaveInput();
    void SaveMonthTotals();
    void SaveNewResults();

    T_TabnDop* GetTabnDop(int index) const { return Item(index); }
    T_TabnDop* FindTabnDop(qint32 dopNum) const;
    // All 0 when there is no entry.
    void GetValues(qint32 dopNum, double& time, Currency& sum, double& proc) const;
    Currency GetSum(qint32 dopNum) const;
    // Creates, changes or (all values zero) removes the entry of dopNum; the
    // sum is rounded to kopecks. Reserved numbers are never removed.
    void SetValues(qint32 dopNum, double time, Currency sum, double proc);

    // OwnDate when set, else Date.
    TDateTime GetDate() const { return OwnDate != 0 ? OwnDate : Date; }

    int SortMode() const { return sortMode_; }
    void SetSortMode(int mode);
    // Sorts (mode 0 keeps the order), then OnChange.
    void Sort();

    void GetDopNumbers(T_yqIntegerList& list) const;
    // Takes in every entry of other that this list does not hold yet; they
    // stay other's: this list never frees them.
    void AddFrom(const T_TabnDopList& other);
    // Empties the list, freeing only its own entries.
    void ClearRefs();
    void ClearMarks();

    // The directory was read again: every entry looks its kind up again.
    void DirectoryChanged(TObject* sender);

    // Own entries are freed, entries of other lists only dropped (so too by
    // SetCount, DeleteObject and FreeObject).
    void Clear() override;

protected:
    void DisposeObject(TObject* obj) override;

private:
    // Reads the ranged rows (dopNum bounds when given) into the list.
    void ReadRows(Cursor& table, qint32 fromDopNum, qint32 toDopNum, qint32 renumber = 0);
    bool DoFilter(T_TabnDop* entry);
    void DoChange();
    // Runs the write inside one transaction on the tables; the entries'
    // errors are gathered and raised after the heading.
    void SaveEntries(const QList<Cursor*>& tables, Cursor& target, const QString& heading,
        const std::function<void()>& before, const std::function<bool(T_TabnDop*)>& prepare);

    T_DNList* owner_;
    quint8 kind_;
    int sortMode_ = 1;
    QSet<const TObject*> borrowed_;
    TNotifyLink directoryLink_;
};

// ---------------------------------------------------------------- an employee's rows as a whole

// Deletes the employee's permanent accruals, input and results (SRD, VVOD,
// NC) in one transaction (a savepoint inside a caller's transaction that
// holds those tables); his archived rows stay.
void DeleteTabnEntries(qint32 tabNum);
// The employee has archived input or results (VVARC, NCARC).
bool HasArchivedEntries(qint32 tabNum);
// The highest personnel number with archived input or results; 0 when none.
qint32 LastArchivedTabNum();

// ---------------------------------------------------------------- the close of a period
// Each is a savepoint inside a caller's transaction that holds its tables;
// step runs once per row handled.

// Rows of the period's input (VVOD) and results (NC).
int InputRowCount();
int ResultRowCount();
// Every VVOD row goes to VVARC (all columns but the key), then VVOD is
// emptied.
void ArchiveInput(const std::function<void()>& step);
// Every NC row goes to NCARC, then NC is emptied.
void ArchiveResults(const std::function<void()>& step);
// VVARC rows with DATEVV outside [from, to] are deleted.
void TrimInputArchive(TDateTime from, TDateTime to);
// NCARC rows with DATERAS outside [from, to] are deleted.
void TrimResultArchive(TDateTime from, TDateTime to);
// Every employee's amount to pay (NC, dnVsego), paid-out rounded, becomes
// a VVOD row of dopNum dated period when above 0.
void PostNetPay(qint32 dopNum, TDateTime period, const std::function<void()>& step);
