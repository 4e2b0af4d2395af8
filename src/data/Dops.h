#pragma once
// The directory of accrual and deduction kinds: one T_Dop per DP row, the
// tables of accrual numbers the kinds refer to (DPT), filtered and sorted
// views for pickers and books, and the built-in kinds the calculation needs.
//
//   T_DNList* dn = DNList();                  // the program's directory
//   if (T_Dop* d = dn->FindDop(3)) ...        // loads DP and DPT on first use
//   T_DNSubList view(dn, 1 | 2);              // current accruals and deductions
//   view.SetSortMode(2);                      // by the shown name
//   dn->SetLoaded(false);                     // after a write: read again at next use

#include "foundation/TypeList.h"
#include "platform/DateTime.h"

#include <QList>
#include <QSet>
#include <QString>

#include <memory>

class Cursor;
class T_DNList;
class T_DNSubList;

// ---------------------------------------------------------------- tables of accrual numbers

// A named list of accrual numbers, one DPT row: the base table of a kind
// (Tip 0) or the deductions taken before it (Tip 1).
class T_DopTabl : public T_yqIntegerList {
public:
    T_DopTabl() = default;
    ~T_DopTabl() override;

    qint32 Num = -1; // NUM; -1 = appended under the next free number on Save
    qint32 DopNum = 0; // the owning kind
    qint32 Tip = 0;
    QString Naim;

    // The current DPT row; a bad INFO BLOB raises "Ошибка загрузки таблицы
    // начисления №N". Afterwards the table counts as unchanged.
    void LoadFromTable(Cursor& dpt);
    // Appends (Num -1) or rewrites the row of Num on the open DPT cursor;
    // answers Num. Call it inside a transaction on DPT.
    int Save(Cursor& dpt);
    // The same on its own cursor and transaction.
    int Save();

    // The numbers were changed since loading (or the table is new).
    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }

    // Every change of the numbers marks the table modified.
    void Put(int index, void* item) override;
    void SetCount(int newCount) override;
    int Add(void* item) override;
    void Clear() override;
    void* Delete(int index) override;
    void Exchange(int index1, int index2) override;
    void Insert(int index, void* item) override;
    void Move(int curIndex, int newIndex) override;
    void Pack() override;

private:
    bool modified_ = true;
};

// Owns every DPT table.
class T_TablList : public T_yqOwnerListOf<T_DopTabl> {
public:
    ~T_TablList() override;
    // Reads DPT from the first row (a bad row raises, see T_DopTabl).
    void Load();
    T_DopTabl* FindByNum(int num) const;
    // The first table of that kind and Tip.
    T_DopTabl* FindByOwner(int dopNum, int tip) const;
};

// The tables of one Tip (3 = all), not owned.
class T_TablSubList : public T_yqObjectListOf<T_DopTabl> {
public:
    void Fill(const T_TablList& tables, int tip);
    T_DopTabl* GetTable(int index) const { return Item(index); }
};

// ---------------------------------------------------------------- a kind

class T_Dop;

// A kind in a view with its check mark.
class T_MDop : public TObject {
public:
    explicit T_MDop(T_Dop* dop = nullptr, bool checked = false) : Dop(dop), Checked(checked) {}
    T_Dop* Dop = nullptr; // not owned
    bool Checked = false;
};

class T_Dop : public TObject {
public:
    explicit T_Dop(T_DNList* owner = nullptr);
    ~T_Dop() override;
    T_Dop(const T_Dop&) = delete;
    T_Dop& operator=(const T_Dop&) = delete;

    qint32 DopNum = -1; // -1: not numbered yet
    QString Naim; // may hold variants separated by "|"
    bool Uder = false; // a deduction
    double Sum = 0; // default sum, rate or percent
    T_DNList* Owner = nullptr;
    bool New = false; // not yet in DP
    bool FBalans = false; // its time counts in the working-time balance
    bool FRazov = false; // one-off payment
    bool Deleted = false;
    bool Individ = false;
    bool FDayClock = false; // time entered in days
    qint32 NumValuta = 0;
    qint32 Tabl = 0; // DPT base table (Tip 0); 0 none, -1 made on save
    qint32 VList = 0; // DPT deductions table (Tip 1); 0 none, -1 made on save
    qint32 SNum = 0; // display order; below 1 becomes DopNum on save
    qint32 BaseNum = 0;
    qint32 Formula = 0; // calculation method code
    qint32 StadiaF = 0; // calculation stage of the formula
    qint32 StadiaD = 0; // calculation stage of the input data
    qint32 Nabor = 0;
    QString DopNomer; // the enterprise's own code
    T_DopTabl* VListTable = nullptr; // not owned
    T_DopTabl* TablTable = nullptr; // not owned
    TDateTime DateBeg = 0;
    qint32 Tip = 0; // built-in type 1..15, 0 for the clerk's kinds
    bool Nakopl = false;

    // All columns of the current DP row, then the tables by number in the
    // owner's table list (a missing one goes to the debug stop window).
    void LoadFromTable(Cursor& dp);
    // Reads the row of DopNum again; false when DP has none.
    bool Refresh();
    // Refresh, else "Начисление №N в справочнике не найдено".
    void RefreshOrFail();
    void LoadByNum(int dopNum);

    // A kind that is not New and has a number must still be in DP ("Начисление
    // №N в справочнике не найдено"); then the row, the new or changed tables
    // and all columns are written in one transaction; New := False. On a
    // failure the kind keeps its number, tables and flags.
    void Save();
    // The kind's history rows, its DP row and its user formula; the
    // directory is marked for reloading.
    void DeleteFromBase();

    // DOPNOMER when the settings show the enterprise's codes, else the number.
    QString GetNumberText() const;
    // The name variant the settings choose.
    QString GetName() const;
    // The part-th "|" variant; part <= 0 the whole text; a missing variant
    // gives the first.
    QString GetNamePart(int part) const;

    // Clears the list and adds a mark for every number of the VLIST table
    // that is a kind of the directory.
    void GetVychetList(T_yqOwnerListOf<T_MDop>& list) const;

private:
    void WriteToTable(Cursor& dp, Cursor& dpt);
    T_DopTabl* ExistingTable(qint32 num, T_DopTabl* table) const;

    // Tables this kind made while it has no directory to hold them.
    std::unique_ptr<T_DopTabl> ownTabl_, ownVList_;
};

// ---------------------------------------------------------------- the directory

// Built-in types of kinds.
enum : qint32 {
    dtBalans = 1, // working-time balance
    dtSdel = 2, // piece-work
    dtPovrem = 3, // time-work
    dtPremia = 4,
    dtOtpusk = 5,
    dtBolnich = 7,
    dtProchDopl = 8,
    dtPodoh = 9, // income tax
    dtPodohPrev = 10,
    dtPodohNext = 11,
    dtZarpPrev = 12,
    dtKassa = 13,
    dtAvans = 14,
    dtProchUder = 15,
};

class T_DNList : public T_yqOwnerListOf<T_Dop> {
public:
    T_DNList();
    // Detaches every view and frees the kinds; no handler is called.
    ~T_DNList() override;

    // Reads DP and DPT when marked; then the handlers and the views.
    void EnsureLoaded();
    void Reload();
    // Only false has an effect: the next access reads the tables again.
    void SetLoaded(bool loaded);
    bool Loaded() const { return loaded_; }
    // Frees the kinds, then Changed.
    void Clear() override;

    T_Dop* FindDop(int dopNum);
    T_Dop* GetDop(int index);
    int DopCount();
    // The kind of a built-in type (its slot; types 5 and 7 are searched).
    T_Dop* FindDopByTip(int tip);
    // The highest calculation stage of the kinds.
    int MaxStadiaF();

    T_TablList& Tables() { return tables_; }

    // Change handlers, each at most once; the index of the handler.
    int AddNotify(const TNotifyEvent& handler);
    void RemoveNotify(const TNotifyEvent& handler);
    // For subscriptions that end with their owner (TNotifyLink).
    T_yqNotifyEventList* NotifyList() { return &notify_; }
    // While the application runs (ApplicationRunning, not terminating):
    // every view is built again, then every handler is called. Errors are
    // gathered and shown once after "Обнаружены ошибки реинициализации
    // списка начислений:|". Otherwise the views rebuild at their next use.
    void Changed();

    // Creates the built-in kinds that no kind carries yet, each under the
    // free number nearest its wanted one (upward first); reloads when it
    // made any. Answers how many it made.
    int GenerateConstDops();

    // Grows with every re-reading or clearing: a kind pointer kept from an
    // earlier generation is stale.
    quint64 Generation() const { return generation_; }

private:
    friend class T_DNSubList;
    void Load();
    void FreeDops();
    void InvalidateViews();
    void RegisterView(T_DNSubList* view);
    void UnregisterView(T_DNSubList* view);

    T_TablList tables_;
    T_yqNotifyEventList notify_;
    QList<T_DNSubList*> views_;
    QList<T_Dop*> slots_; // indexed by TIP 0..15; only the types with a slot
    int maxStadiaF_ = 0;
    bool loaded_ = false;
    bool loading_ = false;
    quint64 generation_ = 0;
};

// ---------------------------------------------------------------- views

// Filter bits of a view.
enum : quint8 {
    dfAccruals = 1,
    dfDeductions = 2, // with neither of 1 and 2 both kinds are admitted
    dfDeleted = 4, // deleted kinds only, unless 8
    dfAlsoCurrent = 8, // with 4: deleted and current kinds
    dfWithTabl = 32,
    dfWithVList = 64,
    dfNoBalans = 128, // the working-time balance kind (TIP 1) left out
};

// A filtered, sorted view of the directory: kinds passing the filter bits,
// or the kinds of an explicit set of numbers. It follows the directory's
// reloads; check marks stay with their kinds across rebuilds.
class T_DNSubList : public T_yqOwnerListOf<T_MDop> {
public:
    // With a set, the set decides (see SetNabor).
    T_DNSubList(T_DNList* owner, quint8 filter, const T_yqIntegerList* nabor = nullptr);
    ~T_DNSubList() override;

    // Refused with "На T_DNSubList назначен набор" while a set is assigned.
    void SetFilter(quint8 filter);
    quint8 Filter() const { return filter_; }
    // The kinds of these numbers (copied); nullptr returns to the filter.
    void SetNabor(const T_yqIntegerList* nabor);
    bool HasNabor() const { return hasNabor_; }
    // 1 number, 2 shown name, 3 display order, 4 calculation stage; accruals
    // first in every mode.
    void SetSortMode(int mode);
    int SortMode() const { return sortMode_; }

    T_DNList* Owner() const { return owner_; }
    // These build the view first when needed.
    int DopCount();
    T_Dop* GetDop(int index);
    T_MDop* GetMDop(int index);
    T_MDop* FindMDop(int dopNum);
    // -1 when absent or negative.
    int IndexOfDopNum(int dopNum);

    void CheckAll() { SetAllChecked(true); }
    void UncheckAll() { SetAllChecked(false); }
    void SetAllChecked(bool checked);

    void Rebuild();
    void EnsureBuilt();
    bool Built() const { return built_; }

    // Called with the view after every build.
    TNotifyEvent OnChange;

private:
    friend class T_DNList;
    void Build();
    void Sort();
    bool Passes(const T_Dop& dop) const;
    // The directory is re-reading: drop the kind pointers.
    void Invalidate();

    T_DNList* owner_;
    quint8 filter_;
    bool hasNabor_ = false;
    QSet<qint32> nabor_;
    int sortMode_ = 1;
    bool built_ = false;
    QSet<qint32> checked_; // marks kept while the view is rebuilt
};

// ---------------------------------------------------------------- the program's directory

// The directory the data module made; nullptr before and after it.
T_DNList* DNList();
// Lets the data module create the directory, load it after its tables
// open, mark it for reloading, reload it (ReloadAllLists) and free it.
// Start-up calls it before CreateDataModule.
void InstallDNListHooks();
