#pragma once
// The record of the open data base (AppContext()): its folder and INI, the
// settings read from them, the lock, the data module, the domain lists,
// the current numbers the windows pass to each other and the last formula
// error. data/Startup fills it in start-up order and empties it in
// reverse; the names the units use (DM(), DNList(), PNList(),
// UserFormulaList(), Cfg, DataFolder(), DataIni()) are one-line accessors
// over it. Code that computes takes it, or a narrow interface of it
// (IFormulaContext), as an argument and reads no global.
//
// The hooks that higher layers fill (DataHooks()) live beside it: they
// belong to the program, not to one data base.
//
//   StartUp(TStartStep::DataModule);  // data/Startup.h: the record filled
//   PNList()->FindPodr(7);
//   T_Formula f(AppContext());
//   ShutDown();                       // emptied in reverse

#include "data/Globals.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>
#include <memory>

class DataFolderLock;
class TDM;
class TIniFile;
class T_Calendar;
class T_CalendarList;
class T_DNList;
class T_PNList;
class T_UserFormulaList;
struct TPropisRow;

// ---------------------------------------------------------------- domain lists

// The long-lived lists the data module keeps current, in reload order.
enum class TDomainList { Departments, Accruals, IncomeTax, Calendars, UserFormulas };

// What the data module does with a list; the lists register here when they
// exist. Every part may stay empty.
struct TDomainListHooks {
    std::function<void()> Create; // at the data module's creation
    std::function<void()> Load; // after the tables opened; by ReloadAllLists
    std::function<void()> MarkForReload; // its rows changed: read again at next use
    std::function<void()> Destroy; // at the data module's destruction
};
void SetDomainListHooks(TDomainList list, TDomainListHooks hooks);

// A list of a later layer (its class is unknown here), owned by the record
// and made and freed by that layer's hooks.
class TListSlot {
public:
    template <class List> List* Get() const { return static_cast<List*>(list_.get()); }
    template <class List> List& Make()
    {
        auto list = std::make_shared<List>();
        List& made = *list;
        list_ = std::move(list);
        return made;
    }
    void Reset() { list_.reset(); }
    explicit operator bool() const { return list_ != nullptr; }

private:
    std::shared_ptr<void> list_; // keeps the list's own deleter
};

// The hooks of a list that lives in holder (a member of the record, which
// outlives the hooks): made at creation, read again by Reload, marked by
// SetLoaded(false), dropped at destruction.
template <class List> TDomainListHooks OwnedListHooks(std::unique_ptr<List>& holder)
{
    TDomainListHooks hooks;
    hooks.Create = [&holder] { holder = std::make_unique<List>(); };
    hooks.Load = [&holder] {
        if (holder)
            holder->Reload();
    };
    hooks.MarkForReload = [&holder] {
        if (holder)
            holder->SetLoaded(false);
    };
    hooks.Destroy = [&holder] { holder.reset(); };
    return hooks;
}
template <class List> TDomainListHooks OwnedListHooks(TListSlot& slot)
{
    TDomainListHooks hooks;
    hooks.Create = [&slot] { slot.Make<List>(); };
    hooks.Load = [&slot] {
        if (List* list = slot.Get<List>())
            list->Reload();
    };
    hooks.MarkForReload = [&slot] {
        if (List* list = slot.Get<List>())
            list->SetLoaded(false);
    };
    hooks.Destroy = [&slot] { slot.Reset(); };
    return hooks;
}

// ---------------------------------------------------------------- the hooks

// What the higher layers plug into the data layer. Each may stay empty.
struct TDataHooks {
    std::array<TDomainListHooks, 5> Lists; // by TDomainList
    std::function<qint32()> TNPosition; // the main window's personnel number
    std::function<qint32()> DNPosition; // the accrual book's kind
    std::function<void()> ReserveCopy; // the reserve copy before an upgrade
    std::function<void(const QString&)> SplashText; // the data module's creation steps
    std::function<void()> DataReplaced; // an import or a restore put other data in place
    std::function<QString(qint32 tabn)> FioLookup; // a name by personnel number
    std::function<bool(const QString& fileName, QList<TPropisRow>& rows, QString& error)> PropisReader;
    std::function<bool(quint8 operation)> RightsPolicy;
};
TDataHooks& DataHooks();

// ---------------------------------------------------------------- the record

// The last formula error of a calculation, shown by the main window in the
// formula editor. DopNum -1 means none.
struct TFormulaError {
    qint32 DopNum = -1;
    int Line = 0; // 0-based
    int Col = 1; // 1-based
    QString Message;
};

// What a formula reads of the open data base: the directory of entries
// that belong to no directory, the user formulas, and where a failing
// formula is kept.
class IFormulaContext {
public:
    virtual ~IFormulaContext() = default;
    virtual T_DNList* FormulaDirectory() = 0;
    virtual T_UserFormulaList* FormulaTexts() = 0;
    virtual TFormulaError& LastFormulaError() = 0;
};

class TAppContext final : public IFormulaContext {
public:
    TAppContext();
    ~TAppContext() override;
    TAppContext(const TAppContext&) = delete;
    TAppContext& operator=(const TAppContext&) = delete;

    // ---- the data folder and its INI
    // The folder itself is kept by the table layer's session (which cannot
    // see the record); the record is the only one that sets it.
    QString DataFolder() const;
    // Opens the data INI there ("/" added); an empty text closes it.
    void SetDataFolder(const QString& folder);
    std::unique_ptr<TIniFile> DataIni;
    bool DataFolderIsNetwork = false;
    // "NetWorkCFG" of the program INI, read and written by the set-up.
    QString LocalPath, NetworkPath, DriverLocalPath, DriverNetworkPath;

    // ---- the settings
    Tcfg Cfg;
    Tcfg CfgLoaded; // what the data INI held when Cfg was last read or written
    bool RoundSReported = false;
    qint32 CurrentUser = 0;

    // ---- the lock
    std::unique_ptr<DataFolderLock> Lock;
    QString LockError;
    bool FirstConnection = true;

    // ---- the domain lists (made and freed by the data module's hooks)
    std::unique_ptr<T_PNList> Departments;
    std::unique_ptr<T_DNList> Accruals;
    std::unique_ptr<T_UserFormulaList> UserFormulas;
    TListSlot Calendars;
    TListSlot IncomeTax;

    // ---- the data module (declared after the lists: it goes first)
    std::unique_ptr<TDM> DM;

    // ---- the current numbers
    qint32 LastTabNum = 0; // the last selected personnel number
    qint32 LastDopNum = 0; // the last selected accrual number
    TFormulaError FormulaError;

    T_DNList* FormulaDirectory() override { return Accruals.get(); }
    T_UserFormulaList* FormulaTexts() override { return UserFormulas.get(); }
    TFormulaError& LastFormulaError() override { return FormulaError; }
};
TAppContext& AppContext();

// The lists' step of the start-up: registers the departments, the accrual
// directory, the work calendars and the user formulas with the data
// module's hooks (create, load, mark for reload, destroy). Calling it again changes nothing.
void InitAppContext();
// Frees the lists still alive, removes their hooks and clears the current
// numbers and the formula error.
void DoneAppContext();

// nullptr while the data module does not exist (or InitAppContext was not called).
T_PNList* PNList();
T_UserFormulaList* UserFormulaList();
T_CalendarList* CalendarList();
// The program-wide calendar lookup over CalendarList().
T_Calendar* Calendar();

// Change notifications of the domain lists go out only while the
// application runs: not during start-up, not while it shuts down. main()
// sets it around the event loop; tests set it with ScopedApplicationRunning.
bool ApplicationRunning();
void SetApplicationRunning(bool running);

class ScopedApplicationRunning {
public:
    explicit ScopedApplicationRunning(bool running = true) : old_(ApplicationRunning())
    {
        SetApplicationRunning(running);
    }
    ~ScopedApplicationRunning() { SetApplicationRunning(old_); }
    ScopedApplicationRunning(const ScopedApplicationRunning&) = delete;
    ScopedApplicationRunning& operator=(const ScopedApplicationRunning&) = delete;

private:
    bool old_;
};
