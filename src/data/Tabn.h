#pragma once
// Personnel cards: one SR row per employee, keyed by TABNUM. `T_Tabn` is the
// short card of employee lists, `T_xTabn` the full card that is edited (with
// its comment in SRT and its permanent accruals and last month's totals),
// `T_dTabn` the read-only card of documents and the calculation, whose pay
// columns, comment and entry lists are read on first use. `T_TNList` holds
// the cards of one department and follows the department list.
//
//   T_xTabn card(DNList());
//   card.SetTabNum(-1);                 // a new employee under the next free number
//   card.New = true;
//   card.Fio = "Иванов Иван Иванович";
//   card.Podr = 3;
//   card.Save();                        // SR, SRT, SRD, NCARC: all or nothing
//
//   T_TNList cards(PNList());
//   cards.SetFilter(1);                 // working employees
//   cards.SetPodr(3);                   // read now
//
// A dismissed employee is stored with PODR 0 and his last department in
// OLDPODR; in memory he is Dismissed with Podr = that department.

#include "data/CalcMethods.h"
#include "data/Podr.h"
#include "foundation/TypeList.h"
#include "platform/Currency.h"
#include "platform/DateTime.h"
#include "platform/Variant.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

class Cursor;
class T_DNList;
class T_PNList;
class T_TabnDopList;
class TTabnCursors;

// "Табельный номер №N в справочнике не найден".
[[noreturn]] void RaiseTabnNotFound(qint32 tabNum);

// The number a new card gets: above every SR row and every personnel number
// that still has archived input or results, so an archive never passes to
// another employee. Read it under the write lock of SR when it is to be kept.
qint32 NextFreeTabNum();

class T_TabnBase : public TObject {
public:
    // Date starts at the working date.
    T_TabnBase();
    ~T_TabnBase() override;

    QString Fio; // may hold "|"-separated variants
    bool Dismissed = false;
    qint32 SNum = 0; // display order
    QString TabNomer; // the enterprise's own personnel code
    qint32 CUser = 0; // the user who last changed the card
    qint32 OldPodr = 0;
    qint32 Podr = 0; // for a dismissed card: the department he left
    bool Checked = false; // a mark in lists

    qint32 TabNum() const { return tabNum_; }
    virtual void SetTabNum(qint32 value);
    // The period the entry lists are read for.
    TDateTime Date() const { return date_; }
    virtual void SetDate(TDateTime value);

    // TABNUM, SNUM (below 1: TabNum), TABNOMER, FIO, OLDPODR, PODR, CUSER.
    virtual void LoadFromTable(Cursor& table);
    // The same columns taken from another card read from the row: the row
    // is not read again.
    void AssignColumns(const T_TabnBase& card);
    // Writes the card's columns into the table's current row and posts it;
    // answers the number written.
    virtual qint32 WriteToTable(Cursor& table) = 0;

    // Sets the number and reads the card; false when SR has no such row.
    bool LoadByTabNum(qint32 tabNum);
    // RaiseTabnNotFound when SR has no row of TabNum.
    void Load();
    // The same, answering false instead.
    bool TryLoad();
    // Locates the row (RaiseTabnNotFound), then WriteToTable.
    virtual void Save();

    // TabNomer when the settings show the enterprise's codes, else TabNum.
    QString GetNumberText() const;
    // The name in the settings' variant (FioVid).
    QString GetFio() const;
    // The part-th "|" variant (from 1); 0 or less: the whole text; past the
    // last variant: the first.
    QString GetFioPart(int part) const;

protected:
    // Reads the SR row of TabNum into the card; false when there is none.
    bool ReadRow();
    // PODR, OLDPODR as stored (dismissed: 0 and the department).
    qint32 StoredPodr() const { return Dismissed ? 0 : Podr; }
    qint32 StoredOldPodr() const { return Dismissed ? Podr : 0; }

private:
    qint32 tabNum_ = 0;
    TDateTime date_ = 0;
};

// The short card of employee lists.
class T_Tabn : public T_TabnBase {
public:
    static std::unique_ptr<T_Tabn> CreateByTabNum(qint32 tabNum, bool& found);

    bool Calculated = false; // DATERAS >= 1
    Currency Sum; // the amount of the last calculation
    TDateTime DateRas = 0; // the date of the last calculation; 0: none

    void LoadFromTable(Cursor& table) override;
    // SNUM, PODR, OLDPODR, DATERAS (0 when not Calculated), CUSER.
    qint32 WriteToTable(Cursor& table) override;
};

// The full card of the card window and the new-employee wizard.
class T_xTabn : public T_TabnBase {
public:
    explicit T_xTabn(T_DNList* dops);
    ~T_xTabn() override;
    static std::unique_ptr<T_xTabn> CreateByTabNum(T_DNList* dops, qint32 tabNum, bool& found);

    TDateTime DateBeg = 0;
    TDateTime DateRecept = 0; // hired
    TDateTime DateRelease = 0; // dismissed
    bool CheckChange = false;
    TDateTime DateRas = 0;
    double Sum = 0;
    qint32 Post = 0;
    qint32 Ctgr = 0;
    qint32 Ksop = 0; // pay system
    double Okl = 0;
    double Avan = 0;
    qint32 Fs = 0;
    qint32 MinZarp = 0;
    double Vychet = 0;
    double LgotaPN = 0;
    qint32 Calendar = 0; // work calendar number
    qint32 SpnTabl = 0; // income-tax table
    qint32 Order = 0;
    qint32 OrderRel = 0;
    bool FComment = false; // the card has a comment
    // Save appends the row under TabNum (-1: under NextFreeTabNum); an
    // existing number fails as a duplicate key.
    bool New = false;

    const QString& Comment() const { return comment_; }
    // Marks the comment for saving; FComment follows it.
    void SetComment(const QString& text);
    bool CommentChanged() const { return commentChanged_; }

    T_TabnDopList& Permanent() { return *permanent_; } // kind 1, SRD
    T_TabnDopList& MonthTotals() { return *monthTotals_; } // kind 4, NCARC

    // The base columns, the others, the comment (when FCOMMENT), then both
    // lists read again for the card's Date.
    void LoadFromTable(Cursor& table) override;
    // All columns into the located row.
    qint32 WriteToTable(Cursor& table) override;
    // In one transaction: the SR row (located, or appended when New), the
    // comment when changed, both entry lists. On a failure nothing is
    // written and the card keeps its number and flags.
    void Save() override;
    // Deletes the employee with his comment, history, permanent accruals,
    // input and results (SRT, SRH, SRD, VVOD, NC, SR) in one transaction;
    // the archives stay. The flag is not used.
    void DeleteFromBase(bool flag = false);

private:
    void Columns(QStringList& names, QList<Variant>& values) const;
    void SaveComment(qint32 tabNum);

    QString comment_;
    bool commentChanged_ = false;
    std::unique_ptr<T_TabnDopList> permanent_;
    std::unique_ptr<T_TabnDopList> monthTotals_;
};

// The read-only card of documents and the calculation. The pay columns come
// from SR on the first access of any of them (a missing row raises
// RaiseTabnNotFound), the comment from SRT, each list on its first use;
// setting TabNum or Date drops them all.
class T_dTabn : public T_TabnBase {
public:
    explicit T_dTabn(T_DNList* dops);
    ~T_dTabn() override;
    static std::unique_ptr<T_dTabn> CreateByTabNum(T_DNList* dops, qint32 tabNum, bool& found);

    void SetTabNum(qint32 value) override;
    void SetDate(TDateTime value) override;
    void LoadFromTable(Cursor& table) override;
    // Writes nothing.
    qint32 WriteToTable(Cursor& table) override;
    void Save() override {}

    TDateTime DateBeg();
    TDateTime DateRecept();
    TDateTime DateRelease();
    bool CheckChange();
    TDateTime DateRas();
    double Sum();
    qint32 Post();
    qint32 Ctgr();
    qint32 Ksop();
    double Okl();
    double Avan();
    qint32 Fs();
    qint32 MinZarp();
    double Vychet();
    double LgotaPN();
    qint32 Calendar();
    qint32 SpnTabl();
    qint32 Order();
    qint32 OrderRel();
    QString Comment();

    // A run's shared cursors (a document formed over many cards): the card's
    // columns and lists are read through them; nullptr: through its own.
    TTabnCursors* Cursors = nullptr;

    // The entries of TabNum for Date, read on first use: kind 1 (SRD),
    // 2 (input), 3 (results), 4 (last month's totals).
    T_TabnDopList& GetList(quint8 kind);
    T_TabnDopList& GetSrdList() { return GetList(1); }
    T_TabnDopList& GetVvodList() { return GetList(2); }
    T_TabnDopList& GetNcList() { return GetList(3); }
    void ClearCache();

    // The text of a card field for documents: TABNUM, TABN (as shown), FIO,
    // FIO.<k>, PODR, DATEBEG, DATERECEPT, DATERELEASE, DATERAS, COMMENT,
    // POST, CTGR, KSOP, OKL, AVAN, FS, MINZARP, VYCHET, LGOTAPN, CALENDAR,
    // SPNTABL (any letter case). True when the text is not empty; an unknown
    // name gives false.
    bool GetFieldText(const QString& name, QString& text);

private:
    struct PayColumns;
    const PayColumns& Pay();

    T_DNList* dops_;
    std::unique_ptr<PayColumns> pay_;
    bool commentRead_ = false;
    QString comment_;
    std::array<std::unique_ptr<T_TabnDopList>, 4> lists_;
};

// Filter bits of a card list.
enum : quint8 {
    tfWorking = 1,
    tfDismissed = 2, // dismissed employees of every department (PODR 0)
};

// The cards of one department, owned; it registers with the department
// list, which marks it and reloads it when the departments change.
class T_TNList : public T_yqOwnerListOf<T_Tabn>, public T_PNCardList {
public:
    explicit T_TNList(T_PNList* owner);
    ~T_TNList() override;
    T_TNList(const T_TNList&) = delete;
    T_TNList& operator=(const T_TNList&) = delete;

    T_PNList* Owner() const { return owner_; }
    TNotifyEvent OnChange;

    qint32 Podr() const { return podr_; }
    // A change reads the list again.
    void SetPodr(qint32 podr);
    quint8 Filter() const { return filter_; }
    // A change reads the list again, else EnsureLoaded.
    void SetFilter(quint8 filter);
    int SortMode() const { return sortMode_; }
    // 1 by number, 2 by shown name, 3 by display order (CompareTabn); a
    // change sorts again.
    void SetSortMode(int mode);

    bool Loaded() const { return loaded_; }
    void EnsureLoaded();
    // Reads the department's cards (PODR index). An unknown department is
    // shown ("Не найдено подразделение №N"). With bit 2 the list reads the
    // rows of PODR 0: the dismissed employees of every department, and no
    // working ones (filter 3 too).
    void Reload() override;
    // Only false acts: read again at the next EnsureLoaded.
    void SetLoaded(bool loaded) override;
    void PNListDestroyed() override { owner_ = nullptr; }

    T_Tabn* FindTabn(qint32 tabNum) const;
    int IndexOfTabNum(qint32 tabNum) const;
    T_Tabn* GetTabn(int index) const { return Item(index); }
    void CheckAll();
    void UncheckAll();

    // Handlers get the list as the sender; an event is kept once.
    void AddNotify(const TNotifyEvent& event);
    void RemoveNotify(const TNotifyEvent& event);
    // For a TNotifyLink, which ends with whichever of the two goes first.
    T_yqNotifyEventList& Notifications() { return notify_; }

    // One line per card: the number as shown, a blank, the shown name; the
    // object is the personnel number. Answers the line of tabNum or -1.
    int FillStrings(TStringItems& strings, qint32 tabNum);

private:
    void Sort();
    void Changed();

    T_PNList* owner_;
    qint32 podr_ = -1;
    bool loaded_ = false;
    int sortMode_ = 0;
    quint8 filter_ = 0;
    T_yqNotifyEventList notify_;
};
