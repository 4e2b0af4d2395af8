#pragma once
// The pay calculation of one employee for the period of his card: the
// period's entries (input, automatic kinds, permanent accruals, the time
// balance) evaluated in stage order by their methods, the income tax, the
// running totals as reserved entries; then either the results saved (NC
// replaced, SR.SUM and DATERAS) or compared with the stored ones.
//
//   T_rTabn calc(CalcSources(AppContext()));
//   calc.SetTabNum(17);
//   calc.Load();                                  // SR row, the five lists
//   calc.OnError = [&](T_rTabn*, const QString& msg, bool&) { errors << msg; };
//   calc.CalcAndCompare();                        // nothing raises under a handler
//
// Everything read besides the employee's own rows comes from TCalcSources.
// Any fatal message leaves the employee uncalculated: nothing is saved and
// his DATERAS goes to 0.

#include "data/Tabn.h"
#include "platform/Currency.h"
#include "platform/SysUtils.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>

class IFormulaContext;
class TAppContext;
class T_CalendarList;
class T_DNList;
class T_Dop;
class T_PxList;
class T_PNList;
class T_RtList;
class T_TabnDop;
class T_TabnDopList;
class TTabnCursors;

// The calculation tables of the kinds calculated by table, each kind's
// read at its first request and kept: a run reads them once, not per
// employee.
class TRtTableCache {
public:
    TRtTableCache();
    ~TRtTableCache();
    TRtTableCache(const TRtTableCache&) = delete;
    TRtTableCache& operator=(const TRtTableCache&) = delete;

    T_RtList& Get(qint32 dopNum);

private:
    std::map<qint32, std::unique_ptr<T_RtList>> lists_;
};

// What one calculation reads besides the employee's rows; none owned.
struct TCalcSources {
    T_DNList* Dops = nullptr;
    T_CalendarList* Calendars = nullptr; // its lookup Calendar() is used
    T_PxList* Taxes = nullptr;
    IFormulaContext* Formulas = nullptr;
    T_PNList* Podrs = nullptr; // for the department and enterprise runs
    TDateTime Workdate = 0; // the period calculated
    bool AutoCalc = false; // the full norm as time-based pay when no time was entered
    bool PNReleased = false; // income tax also for dismissed employees
    bool PNInt = false;
    bool CalcCompare = false; // compare instead of saving
    // A run's shared cursors and tables (the batch runs make their own
    // when none are given); nullptr: each calculation opens and reads its own.
    TTabnCursors* Cursors = nullptr;
    TRtTableCache* RtTables = nullptr;
};
// The sources of the open data base (its lists and settings).
TCalcSources CalcSources(TAppContext& context);

class T_rTabn : public T_TabnBase {
public:
    // Sender, message; Raise asks for the message to end the calculation.
    using TErrorEvent = std::function<void(T_rTabn* sender, const QString& msg, bool& raise)>;

    explicit T_rTabn(const TCalcSources& sources);
    ~T_rTabn() override;
    T_rTabn(const T_rTabn&) = delete;
    T_rTabn& operator=(const T_rTabn&) = delete;
    static std::unique_ptr<T_rTabn> CreateByTabNum(const TCalcSources& sources, qint32 tabNum, bool& found);

    bool Calculated = false;
    double Okl = 0;
    double Avan = 0;
    double LgotaPN = 0;
    double Vychet = 0;
    double Sum = 0; // to pay
    qint32 Ksop = 0;
    qint32 Calendar = 0;
    qint32 MinZarp = 0;
    qint32 SpnTabl = 0;
    qint32 Fs = 0;
    TDateTime DateRecept = 0;
    TDateTime DateRelease = 0;
    TDateTime DateRas = 0;
    TErrorEvent OnError;
    bool CompareMode = false;

    T_TabnDopList& InputList() { return *input_; }
    T_TabnDopList& NewResults() { return *newResults_; }
    T_TabnDopList& Results() { return *results_; }
    T_TabnDopList& MonthTotals() { return *monthTotals_; }
    T_TabnDopList& Permanent() { return *permanent_; }
    const TCalcSources& Sources() const { return sources_; }

    // The SR columns, then each list read for the card's Date.
    void LoadFromTable(Cursor& table) override;
    // SUM and DATERAS of the card's row.
    qint32 WriteToTable(Cursor& table) override;

    // DateRelease from 1 January 1990 on, else a day beyond any period.
    TDateTime GetReleaseDate() const;
    bool Released() const;

    // The handler decides; without one a fatal message raises EAppException.
    // Answers whether it raised (never returns true).
    bool ReportError(const QString& msg, bool fatal);
    template <typename... Args> void Warning(const QString& fmt, const Args&... args)
    {
        ReportError(Format(fmt, args...), false);
    }
    template <typename... Args> void Error(const QString& fmt, const Args&... args)
    {
        ReportError(Format(fmt, args...), true);
    }
    // A fatal message was reported since the last Calculate began.
    bool Failed() const { return failed_; }

    void Calculate();
    // Saves (NC, SR in one transaction) or, in CompareMode, compares.
    void CompareResults();
    // Both; an exception is reported with the wrapper text and nothing is saved.
    void CalcAndCompare();

    // The entry's name for messages: "999".."990" for the totals, the
    // not-found text, or the kind's shown name.
    QString GetRowCaption(T_TabnDop* entry) const;

private:
    double TableBase(qint32 tabl) const;
    double StageBase(const T_Dop& kind) const;
    double VListSum(qint32 vlist) const;
    double PrevSum(qint32 dopNum) const;
    double PrevTime(qint32 dopNum) const;
    void MergeDuplicates();
    double TableAmount(T_TabnDop& entry, double base);
    void MarkUncalculated();

    TCalcSources sources_;
    bool failed_ = false;
    std::unique_ptr<T_TabnDopList> input_, newResults_, results_, monthTotals_, permanent_;
    std::unique_ptr<TRtTableCache> ownRtTables_; // without a run's cache
};

// ---------------------------------------------------------------- many employees

class IProgress;

// How a batch runs; the defaults are the main window's.
struct TCalcBatchOptions {
    TDateTime Date = 0; // 0: the working date
    IProgress* Progress = nullptr; // nullptr: the program's sink
    // Called after each employee's CalcAndCompare (also a failed one),
    // before his savepoint ends: dumps and benchmarks read the results here.
    // `calculated`: no fatal message left him uncalculated (warnings may
    // have been given).
    std::function<void(T_rTabn& calc, bool calculated)> OnCalculated;
};

// What a batch collected.
struct TCalcBatchResult {
    int Calculated = 0; // employees run through CalcAndCompare and stored with their department
    QList<qint32> NotCalculated; // those a fatal message left uncalculated
    qint32 FirstErrTabn = 0; // the first employee with error lines
    bool LastOk = true; // the outcome of the last employee
    bool Stopped = false; // the clerk stopped the run
    QStringList Errors; // every employee's lines, with his heading
    // Set when a department could not be stored: the run ended there. One
    // message ("title|details") naming it, the departments not reached and
    // how many employees were saved.
    QString SaveError;
};

// One employee: his lines, under "***  Ошибки при расчете. Табельный номер
// [N]" and followed by an empty line, are added to errors; true when
// there were none. Saves inside the caller's transaction as a savepoint.
bool CalcOneTabn(const TCalcSources& sources, qint32 tabNum, TDateTime date, QStringList& errors);
// The employees in order, one transaction per department given (each a
// list of personnel numbers), a savepoint per employee. The stop flag of
// the progress sink is read between employees; the department in hand
// keeps the employees done. A department that cannot be stored ends the
// run (SaveError); a folder that takes no writes ends it at once.
void CalcTabnGroups(const TCalcSources& sources, const QList<QList<qint32>>& groups, const TCalcBatchOptions& options,
    TCalcBatchResult& result);
// The working employees of a department.
void CalcPodr(const TCalcSources& sources, qint32 podr, const TCalcBatchOptions& options, TCalcBatchResult& result);
// Every department in list order but the enterprise rows and the
// dismissed group.
void CalcEnterprise(const TCalcSources& sources, const TCalcBatchOptions& options, TCalcBatchResult& result);
