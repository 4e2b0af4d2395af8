#pragma once
// The month picker: six years side by side, twelve months each. The
// chosen date is the first day of the selected month.

#include "foundation/ui/base/FormBase.h"
#include "foundation/ui/controls/Bevel.h"
#include "platform/DateTime.h"

class QLabel;
class QToolButton;

class TFormMonthCalendar : public TForm {
    Q_OBJECT
public:
    explicit TFormMonthCalendar(QWidget* parent = nullptr);

    // Caption "Выбор месяца", today's month shown, nothing chosen yet.
    void Reset();
    // The range starts at B: B's year is the first column.
    void StartRange(TDateTime b);
    // X's year in the fifth column, X's month selected.
    void ShowDate(TDateTime x);
    // Selects D's month, moving the range only when D lies outside it.
    void SetDate(TDateTime d);
    // The range moves by N years; the selected column and row stay.
    void ShiftRange(int n);
    // Selects a cell of the month grid; a cell outside leaves none selected.
    void SelectCell(int col, int row);
    // Moves the selection as the keys do (Tab, Shift+Tab and the arrows).
    void MoveSelection(int key, bool shift);
    void Confirm();
    void Cancel();

    int FirstYear() const { return firstYear_; }
    TDateTime Base() const { return base_; }
    // The first day of the selected month, or 0.
    TDateTime Chosen() const { return chosen_; }

    QToolButton* sbLeft;
    QToolButton* sbRight;
    Tyq_Bevel* bvMonth; // the middle of the top strip
    QLabel* lbm;
    QLabel* lby;
    Tyq_Bevel* hc; // year headings
    Tyq_Bevel* bv; // month grid

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override { Cancel(); }

private:
    void SelectionChanged();
    void ApplyColours();

    int firstYear_ = 0;
    TDateTime base_ = 0;
    TDateTime chosen_ = 0;
    bool selecting_ = false;
    bool rightPressed_ = false;
};

// The first day of the chosen month when confirmed, otherwise D.
TDateTime SelectMonth(TDateTime d);
// The shared picker, created on first use.
TFormMonthCalendar* GetMonthCalendarForm();
void RemoveMonthCalendarForm();
