#pragma once
// The work calendars book: the calendars of the record's list, the tables
// (validity periods) of the chosen calendar and the lines of the chosen
// table, edited in place. The list and the program-wide lookup belong to
// the record; the book only subscribes to the list's change notices.

#include "foundation/ui/base/DialogBases.h"
#include "platform/DateTime.h"

#include <QFont>

class QComboBox;
class Tyq_DateEdit;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class TObject;
class T_CalendarList;
class T_CalendarTip;
class T_C_Table;
class Tyq_DrawGrid;

// A new calendar: name, kind (group item 0..2) and the first table's period.
class TFormNewCndrT : public TFormNewInput {
    Q_OBJECT
public:
    explicit TFormNewCndrT(QWidget* parent = nullptr);
    QLineEdit* edName = nullptr;
    QRadioButton* rbKind[3] = {};
    Tyq_DateEdit* deBeg = nullptr;
    Tyq_DateEdit* deEnd = nullptr;
    int KindIndex() const;

protected:
    bool CanAccept() override;
};

// A new table of a calendar: its period.
class TFormNewCndrP : public TFormNewInput {
    Q_OBJECT
public:
    explicit TFormNewCndrP(const QString& calendarName, QWidget* parent = nullptr);
    QLabel* lbName = nullptr;
    Tyq_DateEdit* deBeg = nullptr;
    Tyq_DateEdit* deEnd = nullptr;

protected:
    bool CanAccept() override;
};

class TFormSprClndr : public TForm {
    Q_OBJECT
public:
    explicit TFormSprClndr(QWidget* parent = nullptr);
    ~TFormSprClndr() override;

    QComboBox* cbTip = nullptr;
    Tyq_DrawGrid* dgDate = nullptr;
    Tyq_DrawGrid* dgTable = nullptr;
    QToolButton* btTipAdd = nullptr;
    QToolButton* btTipChange = nullptr;
    QToolButton* btTipDel = nullptr;
    QToolButton* btTblAdd = nullptr;
    QToolButton* btTblChange = nullptr;
    QToolButton* btTblDel = nullptr;

    T_CalendarTip* CurrentTip() const { return tip_; }
    T_C_Table* CurrentTable() const { return table_; }
    bool EditMode() const { return editMode_; }

    // The texts the grids show.
    QString DateCellText(int col, int row) const;
    QString TableCellText(int col, int row) const;

    // Leaving edit mode asks about a modified table (save or read again).
    void LeaveEditMode();
    void ToggleEditMode();
    void ChooseTip(int index);
    void SelectTableRow(int row);
    void Refresh();

    void AddTip();
    void RenameTip();
    void DeleteTip();
    void AddTable();
    void DeleteTable();
    // What storing an edited cell of dgTable does.
    void StoreCell(int col, int row, const QString& text);

    void done(int result) override;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetEditMode(bool on);
    void ListChanged(TObject* sender);
    void UpdateActions();
    void SizeDateColumns();
    void DrawDateCell(int col, int row, const QRect& rect);
    void DrawTableCell(int col, int row, const QRect& rect);
    void SizeTableHeader();
    void Changed();

    T_CalendarList* list_;
    T_CalendarTip* tip_ = nullptr;
    qint32 tipNum_ = -1;
    T_C_Table* table_ = nullptr;
    TDateTime tableDate_ = 0;
    bool editMode_ = false;
    bool filling_ = false;
    QFont headerFont_;
    QFont labelFont_;
};

// Answers whether the book is open to the calendars (the list was loaded).
void ShowSprClndr();
