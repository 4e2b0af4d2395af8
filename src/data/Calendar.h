#pragma once
// Work calendars: for each period of a year (a month, a week, a run of N
// days) the working days, the working hours and the length of the working
// day. Stored in the object store Bin (CLASS 1): one header row per
// calendar (TIP 1: name and kind) and one row per table (TIP 0, DATEBEG and
// DATEEND its validity, INFO its lines). The data module makes the one list
// (CalendarList()); the calculation reads the norms through the
// program-wide lookup Calendar().
//
//   T_Calendar* c = Calendar();
//   if (c->Select(card.Calendar, date), !c->IsValid()) ...;  // a repeated date answers false
//   double norm = c->GetWorkHours();
//
// The list loads lazily: a writer calls SetLoaded(false); the next access
// reads Bin again. Every reading, clearing or freeing of a calendar, table
// or line raises Generation(), and so does a change notice: a T_Calendar
// forgets its selection then, also when Changed calls nobody.

#include "data/CalcMethods.h"
#include "foundation/Stream.h"
#include "foundation/TypeList.h"
#include "platform/DateTime.h"

#include <QString>

#include <memory>

class Cursor;
class T_CalendarList;
class T_CalendarTip;

// Kinds of calendar.
enum : quint8 { ckMonthly = 1, ckWeekly = 2, ckDays = 3 };

// The defaults of a new table's lines.
constexpr double kDefaultDayLength = 8.2;
constexpr double kMonthlyWorkDays = 21;
constexpr double kMonthlyWorkHours = 172.2;
// Calendar numbers run from 0 (the main calendar) to this.
constexpr int kMaxCalendarNumber = 9999;

// One period of a table. The setters mark it modified only on a change.
class T_C_Line : public TObject {
public:
    double WorkHours() const { return workHours_; }
    double WorkDays() const { return workDays_; }
    double DayLength() const { return dayLength_; }
    TDateTime DateBeg() const { return dateBeg_; }
    TDateTime DateEnd() const { return dateEnd_; } // inclusive
    qint32 Num() const { return num_; }

    void SetWorkHours(double value);
    void SetWorkDays(double value);
    void SetDayLength(double value);
    void SetDateBeg(TDateTime value);
    void SetDateEnd(TDateTime value);
    void SetNum(qint32 value);

    bool Holds(TDateTime date) const { return dateBeg_ <= date && date <= dateEnd_; }

    bool Modified = false;

private:
    friend class T_C_Table;
    double workHours_ = 0;
    double workDays_ = 0;
    double dayLength_ = 0;
    TDateTime dateBeg_ = 0;
    TDateTime dateEnd_ = 0;
    qint32 num_ = 0;
};

// The lines of one validity period of a calendar (Bin TIP 0).
class T_C_Table : public T_yqOwnerListOf<T_C_Line> {
public:
    explicit T_C_Table(T_CalendarTip* owner = nullptr);
    ~T_C_Table() override;

    qint32 Vid = 0; // the calendar's number
    TDateTime DateBeg = 0;
    TDateTime DateEnd = 0; // inclusive
    quint8 Version = 1;

    bool Holds(TDateTime date) const { return DateBeg <= date && date <= DateEnd; }
    // The first line holding the date, nullptr / -1 when none.
    T_C_Line* FindLine(TDateTime date) const;
    int IndexOfLine(TDateTime date) const;
    T_C_Line* GetLine(int index) const { return Item(index); }

    // The table or one of its lines.
    bool IsModified() const;
    // False also clears the lines' marks.
    void SetModified(bool modified);

    // The stream of INFO: the version byte 1, an int32 count, then per line
    // a version byte 1, five doubles (hours, days, day length, begin, end)
    // and an int32 number. A version other than 1 raises "Неподдерживаемая
    // версия календаря" both ways; a size that disagrees with the count
    // raises "Ошибка данных календаря" before anything is allocated.
    QByteArray SaveToBytes() const;
    void LoadFromBytes(const QByteArray& bytes);
    // VID, DATEBEG, DATEEND and the lines of the current Bin row.
    void LoadFromRow(Cursor& bin);

    // Its row read again; "Не найден календарь №N  от "date"" when gone.
    void Reload();
    // Only when modified: finds its row (CLASS 1, VID, TIP 0, SUBTIP 0,
    // DATEBEG) or appends one, then clears the marks.
    void Save();
    // Deletes its row; the same message when it is gone.
    void DeleteFromBase();

    T_CalendarTip* Owner() const { return owner_; }

protected:
    void DisposeObject(TObject* obj) override;

private:
    [[noreturn]] void RaiseNotFound() const;

    T_CalendarTip* owner_;
    bool modified_ = false;
};

// A calendar: its header (Bin TIP 1) and its tables.
class T_CalendarTip : public T_yqOwnerListOf<T_C_Table> {
public:
    explicit T_CalendarTip(quint8 kind = ckMonthly, T_CalendarList* owner = nullptr);
    ~T_CalendarTip() override;

    qint32 Number = 0; // 0 is the main calendar
    QString Name;
    quint8 Kind = ckMonthly;

    // The header stream: the name (WriteStr), then the kind as one raw byte;
    // a kind outside 1..3 reads as 1.
    QByteArray HeaderBytes() const;
    void LoadHeader(const QByteArray& bytes);

    // Its tables from Bin (every TIP 0 row of its number), replacing these.
    void Load();
    // The header row found or appended, then every modified table; one
    // transaction.
    void Save();
    // Every Bin row of the calendar.
    void DeleteFromBase();

    // The first table holding the date, or nullptr.
    T_C_Table* FindTable(TDateTime date) const;
    T_C_Table* GetTable(int index) const { return Item(index); }
    // A new table with the default lines of the kind: monthly lines span the
    // calendar month of their first day (21 days, 172.2 hours), the others n
    // days (n - 2 working days from 7 on, else n - 1, at 8.2 hours each; n
    // is 7 for the weekly kind and when n <= 0). Lines are made from
    // dateBeg while their first day is not after dateEnd. A table starting
    // on another's first day is refused ("Календарь №N уже имеет таблицу от
    // "date""); an unknown kind raises "Неизвестный тип календаря".
    T_C_Table* AddTable(TDateTime dateBeg, TDateTime dateEnd, int n);

    T_CalendarList* Owner() const { return owner_; }

protected:
    void DisposeObject(TObject* obj) override;

private:
    friend class T_CalendarList;
    friend class T_C_Table;
    T_CalendarList* owner_;
};

class T_Calendar;

// Every calendar of Bin, with the program-wide lookup over them.
class T_CalendarList : public T_yqOwnerListOf<T_CalendarTip> {
public:
    T_CalendarList();
    ~T_CalendarList() override;

    // Reads every header row with its tables. A row that cannot be read is
    // reported ("Ошибка при загрузке календаря №N") and the others load.
    void Load();
    void EnsureLoaded();
    void Reload() { Load(); }
    // Only false acts: the next access reads Bin again.
    void SetLoaded(bool loaded);
    bool Loaded() const { return loaded_; }
    // Frees the calendars, then Changed.
    void Clear() override;
    // Every calendar, in one transaction.
    void SaveAll();

    // The calendar of that number, or nullptr / -1. (The list is loaded
    // first, as by every accessor below.)
    T_CalendarTip* FindTip(qint32 number);
    int IndexOfTip(qint32 number);
    T_CalendarTip* GetTip(int index);
    int TipCount();
    // The calendars' names with their numbers as objects (cleared first).
    void FillStrings(TStringItems& strings);
    // The table of that calendar holding the date, or nullptr.
    T_C_Table* FindTable(qint32 number, TDateTime date);
    // A new calendar of the kind under the first free number from 1 (0 on
    // an empty list: the main calendar), added, not saved. Beyond 9999:
    // "Нарушено ограничение на максимальное число календарей".
    T_CalendarTip* AddTip(quint8 kind);

    // Handlers get the list as the sender; an event is kept once.
    void AddNotify(const TNotifyEvent& event);
    void RemoveNotify(const TNotifyEvent& event);
    // Raises Generation(); while the application runs also calls every
    // handler (their errors are shown once, a line each).
    void Changed();
    quint64 Generation() const { return generation_; }

    // The predecessor's calendars from the memory files "qo.ca*" of the
    // folder: ".CAL" is the main calendar (0), ".CAn" the calendar n - 1
    // (below 1, or not a number: skipped). Each becomes a monthly calendar
    // with one table over the year of the date, its twelve lines from the
    // variables CALENDAYmm (days), CALENDACmm (hours) and CALENDARmm (day
    // length). Without a main calendar "Основной календарь не обнаружен" is
    // shown and nothing changes (false); otherwise every CLASS 1 row of Bin
    // is replaced by them in one transaction and they replace the list.
    bool ImportOldCalendars(const QString& folder, TDateTime date);

    // The lookup that lives with this list.
    T_Calendar& Calendar() { return *calendar_; }

private:
    friend class T_CalendarTip;
    friend class T_C_Table;
    void FreeItems();
    void Touch() { ++generation_; }

    bool loaded_ = false;
    quint64 generation_ = 0;
    T_yqNotifyEventList notify_;
    std::unique_ptr<T_Calendar> calendar_;
};

// A calendar, a table and a line selected by a calendar number and a date.
class T_Calendar : public TObject {
public:
    explicit T_Calendar(T_CalendarList* list);

    // A changed number forgets the date, table and line; a negative or
    // unknown one gives false (Number -1). The same date as before gives
    // false and changes nothing; so does a date <= 0. The table is kept
    // while it holds the new date. Answers IsValid().
    bool Select(qint32 number, TDateTime date);
    // A number >= 0, a date > 0, and a calendar, a table and a line.
    bool IsValid() const;
    // "Неверно определен календарь" when not valid.
    void CheckValid() const;
    double GetWorkHours() const;
    double GetDayLength() const;

    T_CalendarList* List() const { return list_; }
    qint32 Number() const;
    TDateTime Date() const;
    T_CalendarTip* Tip() const;
    T_C_Table* Table() const;
    T_C_Line* Line() const;

private:
    bool Current() const { return list_ != nullptr && generation_ == list_->Generation(); }
    void Forget();

    T_CalendarList* list_;
    quint64 generation_ = 0;
    qint32 number_ = -1;
    TDateTime date_ = 0;
    T_CalendarTip* tip_ = nullptr;
    T_C_Table* table_ = nullptr;
    T_C_Line* line_ = nullptr;
};
