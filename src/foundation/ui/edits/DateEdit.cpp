#include "foundation/ui/edits/DateEdit.h"

#include "foundation/Messages.h"
#include "foundation/ui/base/Beep.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/base/UiTypes.h"
#include "foundation/ui/edits/FieldValues.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QSignalBlocker>

namespace {

// The program's "no date" as the field holds it.
const QDate NoDay(1899, 12, 30);

// The date a typed text stands for: "16.11.2026", "16,11,26", "16/11",
// "16112026"; invalid when it is none. Whole once the year has four digits.
QDate TypedDate(const QString& typed, bool* whole)
{
    QString s = typed.trimmed();
    s.replace(QLatin1Char(','), QLatin1Char('.')).replace(QLatin1Char('/'), QLatin1Char('.'));
    if (!s.contains(QLatin1Char('.')) && (s.size() == 4 || s.size() == 6 || s.size() == 8)) {
        s.insert(2, QLatin1Char('.'));
        s.insert(5, QLatin1Char('.'));
        if (s.size() == 6)
            s.chop(1); // "dd.mm."
    }
    const QStringList parts = s.split(QLatin1Char('.'));
    if (whole)
        *whole = parts.size() == 3 && parts[2].size() == 4;
    TDateTime d = 0;
    return TryStrToDate(s, d) ? ToQDate(d) : QDate();
}

} // namespace

Tyq_DateEdit::Tyq_DateEdit(QWidget* parent) : QDateEdit(parent)
{
    setLocale(QLocale(QLocale::Russian, QLocale::Russia)); // the calendar's month and day names
    setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    setCalendarPopup(true);
    // The program's "no date" (day 0, 30.12.1899) shows empty.
    setMinimumDate(NoDay);
    setSpecialValueText(QStringLiteral(" "));
    lineEdit()->installEventFilter(this);
    // A date set from outside (a window, the calendar) ends the typing.
    connect(this, &QDateEdit::dateChanged, this, [this] {
        if (typing_)
            EndTyping();
    });
}

TDateTime Tyq_DateEdit::Value() const { return date() <= NoDay ? TDateTime(0) : FromQDate(date()); }

void Tyq_DateEdit::SetValue(TDateTime value) { setDate(value < 1 ? NoDay : ToQDate(DateOf(value))); }

QValidator::State Tyq_DateEdit::validate(QString& input, int& pos) const
{
    // The typed text is read when it is whole or left, not section by section.
    return typing_ ? QValidator::Intermediate : QDateEdit::validate(input, pos);
}

void Tyq_DateEdit::ShowTyped()
{
    const QSignalBlocker block(lineEdit()); // Qt's own section handling stays out
    lineEdit()->setText(typed_);
    lineEdit()->setCursorPosition(typed_.size());
}

void Tyq_DateEdit::EndTyping()
{
    typing_ = false;
    typed_.clear();
    const QSignalBlocker block(lineEdit());
    const bool special = !specialValueText().isEmpty() && date() == minimumDate();
    lineEdit()->setText(special ? specialValueText() : textFromDateTime(dateTime()));
    lineEdit()->selectAll();
}

void Tyq_DateEdit::CommitTyped()
{
    if (!typing_)
        return;
    QDate d;
    if (typed_.trimmed().isEmpty() && minimumDate() <= NoDay)
        d = NoDay;
    else
        d = TypedDate(typed_, nullptr);
    if (!d.isValid())
        RaiseFieldError(typed_, FieldCaption(this), TypedKind::Date);
    typing_ = false; // the date change below is the field's own
    setDate(d); // a date outside the field's range goes to its nearest bound
    EndTyping();
}

bool Tyq_DateEdit::LeaveTyping()
{
    try {
        CommitTyped();
        return true;
    } catch (const EConvertError& e) {
        // The clerk stays with the refused text selected; a key starts anew.
        lineEdit()->selectAll();
        setFocus(Qt::OtherFocusReason);
        ShowError(e.Message());
        return false;
    }
}

void Tyq_DateEdit::OpenCalendar()
{
    // Qt opens its calendar from a press on the arrow only.
    const QPoint at(width() - 4, height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QDateEdit::mousePressEvent(&press);
}

void Tyq_DateEdit::keyPressEvent(QKeyEvent* event)
{
    GuardedCall([&] {
        const int key = event->key();
        const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
        if ((key == Qt::Key_Down && mods == Qt::AltModifier) || (key == Qt::Key_F4 && mods == Qt::NoModifier)) {
            if (typing_)
                EndTyping();
            OpenCalendar();
            return;
        }
        if (key == Qt::Key_Escape && (typing_ || (entered_.isValid() && date() != entered_))) {
            typing_ = false;
            if (entered_.isValid())
                setDate(entered_);
            EndTyping();
            return;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (typing_ && !LeaveTyping())
                return;
            QDateEdit::keyPressEvent(event);
            return;
        }
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            event->ignore();
            return;
        }
        const QString text = event->text();
        const bool erase = key == Qt::Key_Backspace || key == Qt::Key_Delete;
        const bool printable
            = text.size() == 1 && text[0].isPrint() && !(mods & (Qt::ControlModifier | Qt::AltModifier));
        if (erase || printable) {
            if (printable && !AcceptsTypedChar(TypedKind::Date, text[0])) {
                MessageBeep();
                return;
            }
            // The first key into a date not being typed starts a new text.
            const bool fresh = !typing_ || lineEdit()->hasSelectedText();
            if (fresh)
                typed_.clear();
            typing_ = true;
            if (erase) {
                typed_.chop(1);
            } else if (typed_.size() >= 10) {
                MessageBeep();
                return;
            } else {
                typed_ += text;
            }
            ShowTyped();
            bool whole = false;
            if (TypedDate(typed_, &whole).isValid() && whole)
                CommitTyped();
            return;
        }
        if (typing_ && mods == Qt::NoModifier)
            return; // arrows and the like would step Qt's sections in a text that is not yet a date
        QDateEdit::keyPressEvent(event);
    });
}

void Tyq_DateEdit::mousePressEvent(QMouseEvent* event)
{
    // The calendar's button drops a text being typed: the clerk picks instead.
    if (typing_)
        EndTyping();
    QDateEdit::mousePressEvent(event);
}

bool Tyq_DateEdit::focusNextPrevChild(bool next)
{
    // Tab leaves the field, never walks its day, month and year.
    if (typing_ && !LeaveTyping())
        return true;
    return QWidget::focusNextPrevChild(next);
}

void Tyq_DateEdit::focusInEvent(QFocusEvent* event)
{
    QDateEdit::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || typing_)
        return;
    entered_ = date();
    lineEdit()->selectAll();
    selectOnRelease_ = reason == Qt::MouseFocusReason;
}

void Tyq_DateEdit::focusOutEvent(QFocusEvent* event)
{
    GuardedCall([&] {
        const Qt::FocusReason reason = event->reason();
        if (typing_) {
            // Another window or the calendar taking the focus is no leaving.
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
                QWidget::focusOutEvent(event);
                return;
            }
            if (!LeaveTyping())
                return;
        }
        QDateEdit::focusOutEvent(event);
    });
}

bool Tyq_DateEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            if (typing_)
                return true; // the text being typed has no sections to click into
            break;
        case QEvent::MouseButtonRelease:
            if (selectOnRelease_ && !typing_) {
                // The click that gave the focus selects the whole date, not the
                // place it fell on.
                selectOnRelease_ = false;
                lineEdit()->event(event);
                lineEdit()->selectAll();
                return true;
            }
            break;
        default: break;
        }
    }
    return QDateEdit::eventFilter(watched, event);
}

Tyq_DateEdit* MakeDateEdit(QWidget* parent, const char* name) { return Named(new Tyq_DateEdit(parent), name); }
