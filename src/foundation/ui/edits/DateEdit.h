#pragma once
// The program's one date field. Qt's date edit types into the section under
// the cursor, so a whole date typed after a click lands in the wrong places,
// and Tab walks its sections. Here a date is typed as a whole: the focus
// (Tab or a click) selects it, the first key typed starts a new text
// wherever the cursor stands, and the text becomes the date as soon as its
// year is whole, or when the clerk leaves the field (Tab, Shift+Tab, Enter,
// a click elsewhere). A text that is no date is refused with the field named
// and the clerk stays in it; Esc puts back the date the field had before the
// typing. The calendar opens from the button, Alt+Down or F4.

#include "platform/DateTime.h"

#include <QDateEdit>

class Tyq_DateEdit : public QDateEdit {
    Q_OBJECT
public:
    explicit Tyq_DateEdit(QWidget* parent = nullptr);

    // The date as the program keeps it; the "no date" (day 0) shows empty.
    TDateTime Value() const;
    void SetValue(TDateTime value);
    // Whether a typed text waits to become the date.
    bool Typing() const { return typing_; }
    // Makes the typed text the date. A text that is no date raises
    // EConvertError naming the field and leaves the text as it is.
    void CommitTyped();

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowTyped();
    void EndTyping();
    // Commits, and on a refusal tells the clerk and keeps him in the field.
    bool LeaveTyping();
    void OpenCalendar();

    bool typing_ = false;
    bool selectOnRelease_ = false;
    QString typed_;
    QDate entered_; // the date when the field took the focus
};

// A date field showing and taking "dd.mm.yyyy", with the calendar pop-up in
// Russian; the program's "no date" (day 0) shows empty. Every date field of
// the program is made here.
Tyq_DateEdit* MakeDateEdit(QWidget* parent, const char* name);
