#include "foundation/ui/edits/NumEdit.h"

#include "foundation/Messages.h"
#include "foundation/ui/base/Beep.h"
#include "foundation/ui/edits/FieldValues.h"
#include "platform/Exceptions.h"
#include "platform/FormatSettings.h"
#include "platform/SysUtils.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <climits>
#include <cmath>

namespace {

bool IsAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

} // namespace

// ============================================================== base

Tyq_CustomNumEdit::Tyq_CustomNumEdit(QWidget* parent) : QLineEdit(parent)
{
    setObjectName(QStringLiteral("Tyq_CustomNumEdit"));
    displayFormat_ = QStringLiteral(",0.00");
    setAlignment(HorizontalAlignment(alignment_) | Qt::AlignVCenter);
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (OnChange)
            GuardedCall([this] { OnChange(this); });
    });
    DataChanged();
}

QString Tyq_CustomNumEdit::DefaultDisplayFormat() const { return QStringLiteral(",0.00"); }

QString Tyq_CustomNumEdit::TextToValText(const QString& text)
{
    const TFormatSettings& fs = FormatSettings();
    QString s = text;
    while (!s.isEmpty() && s.back().unicode() <= 32)
        s.chop(1);
    if (fs.ThousandSeparator != fs.DecimalSeparator)
        s.remove(fs.ThousandSeparator);
    if (fs.DecimalSeparator != QLatin1Char('.'))
        s.replace(QLatin1Char('.'), fs.DecimalSeparator);
    if (fs.DecimalSeparator != QLatin1Char(','))
        s.replace(QLatin1Char(','), fs.DecimalSeparator);
    if (s.isEmpty())
        s = QStringLiteral("0");
    else if (s == QLatin1String("-"))
        s = QStringLiteral("-0");
    return s;
}

double Tyq_CustomNumEdit::LimitValue(double value) const
{
    if (minValue_ < maxValue_)
        value = std::clamp(value, minValue_, maxValue_);
    else if (minValue_ > maxValue_ && maxValue_ == 0)
        value = std::max(value, minValue_);
    else if (minValue_ > maxValue_ && minValue_ == 0)
        value = std::min(value, maxValue_);
    return ClampToType(value);
}

QString Tyq_CustomNumEdit::EditTextOf(double value) const
{
    QString mask = QStringLiteral("0");
    if (decimalPlaces_ > 0)
        mask += QLatin1Char('.') + QString(decimalPlaces_, QLatin1Char('#'));
    return FormatFloat(mask, value);
}

QString Tyq_CustomNumEdit::DisplayText() const
{
    return displayFormat_.isEmpty() ? FloatToStr(value_) : FormatFloat(displayFormat_, value_);
}

void Tyq_CustomNumEdit::DataChanged()
{
    setText(EditTextOf(value_));
    update();
}

void Tyq_CustomNumEdit::ReadBack()
{
    double v = 0;
    if (!TryStrToFloat(TextToValText(text()), v))
        RaiseFieldError(text(), FieldCaption(this), TypedKind::Float);
    value_ = LimitValue(v);
}

double Tyq_CustomNumEdit::Value()
{
    try {
        ReadBack();
    } catch (const EConvertError&) {
        value_ = minValue_;
    }
    return value_;
}

void Tyq_CustomNumEdit::SetValue(double value)
{
    value = LimitValue(value);
    if (value != value_) {
        value_ = value;
        DataChanged();
    }
}

void Tyq_CustomNumEdit::SetMinValue(double value)
{
    if (value == minValue_)
        return;
    minValue_ = value;
    ReapplyLimits();
}

void Tyq_CustomNumEdit::SetMaxValue(double value)
{
    if (value == maxValue_)
        return;
    maxValue_ = value;
    ReapplyLimits();
}

void Tyq_CustomNumEdit::ReapplyLimits()
{
    // Reading the text back already limits the value; the text must show it too.
    value_ = LimitValue(Value());
    DataChanged();
}

void Tyq_CustomNumEdit::SetDecimalPlaces(int value)
{
    value = std::max(value, 0);
    if (value == decimalPlaces_)
        return;
    decimalPlaces_ = value;
    DataChanged();
}

void Tyq_CustomNumEdit::SetDisplayFormat(const QString& value)
{
    if (value == displayFormat_)
        return;
    displayFormat_ = value;
    DataChanged();
}

void Tyq_CustomNumEdit::SetAlignment(TAlignment value)
{
    alignment_ = value;
    setAlignment(HorizontalAlignment(value) | Qt::AlignVCenter);
    update();
}

void Tyq_CustomNumEdit::SetText(const QString& text)
{
    double v = 0;
    if (!TryStrToFloat(TextToValText(text), v))
        RaiseFieldError(text, FieldCaption(this), TypedKind::Float);
    value_ = LimitValue(v);
    DataChanged();
}

bool Tyq_CustomNumEdit::IsValidChar(QChar key) const
{
    QString s = text();
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int length = hasSelectedText() ? static_cast<int>(selectedText().size()) : 0;
    s.replace(start, length, key);
    s = TextToValText(s);
    const QChar sep = FormatSettings().DecimalSeparator;
    const int dec = s.indexOf(sep);
    if (dec >= 0 && s.size() - dec - 1 > decimalPlaces_)
        return false;
    for (const QChar c : s)
        if (c != QLatin1Char('-') && c != sep && !IsAsciiDigit(c))
            return false;
    double v = 0;
    return TryStrToFloat(s, v);
}

void Tyq_CustomNumEdit::SetFocused(bool value)
{
    if (focused_ == value)
        return;
    focused_ = value;
    DataChanged();
}

void Tyq_CustomNumEdit::keyPressEvent(QKeyEvent* event)
{
    GuardedCall([&] {
        if (event->key() == Qt::Key_Escape) {
            DataChanged();
            selectAll();
            event->accept();
            return;
        }
        if (event->matches(QKeySequence::Paste)) {
            PasteText();
            event->accept();
            return;
        }
        const QString t = event->text();
        const Qt::KeyboardModifiers mods
            = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (!isReadOnly() && t.size() == 1 && t.at(0).isPrint() && mods == Qt::NoModifier) {
            QChar key = t.at(0);
            if (key == QLatin1Char('.') || key == QLatin1Char(','))
                key = FormatSettings().DecimalSeparator;
            if (!IsValidChar(key)) {
                if (beepOnError_)
                    MessageBeep();
                event->accept();
                return;
            }
            if (key != t.at(0)) {
                QKeyEvent replaced(QEvent::KeyPress, event->key(), event->modifiers(), QString(key));
                QLineEdit::keyPressEvent(&replaced);
                return;
            }
        }
        QLineEdit::keyPressEvent(event);
    });
}

void Tyq_CustomNumEdit::PasteText()
{
    if (isReadOnly())
        return;
    const QString before = text();
    paste();
    try {
        ReadBack();
    } catch (const EConvertError& e) {
        setText(before);
        selectAll();
        setFocus(Qt::OtherFocusReason);
        ShowError(e.Message());
    }
}

void Tyq_CustomNumEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu();
    if (QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
        disconnect(paste, &QAction::triggered, nullptr, nullptr);
        connect(paste, &QAction::triggered, this, [this] { PasteText(); });
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void Tyq_CustomNumEdit::focusInEvent(QFocusEvent* event)
{
    SetFocused(true);
    QLineEdit::focusInEvent(event);
    if (autoSelect_ && event->reason() != Qt::MouseFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        selectAll();
}

void Tyq_CustomNumEdit::focusOutEvent(QFocusEvent* event)
{
    GuardedCall([&] {
        QLineEdit::focusOutEvent(event);
        // Another window taking the activation is no leaving of the edit.
        if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason || !focused_) {
            update();
            return;
        }
        try {
            ReadBack();
        } catch (const EConvertError& e) {
            // The clerk stays in the edit with the bad text selected.
            selectAll();
            setFocus(Qt::OtherFocusReason);
            ShowError(e.Message());
            return;
        }
        SetFocused(false);
        setCursorPosition(0);
        if (OnExit)
            OnExit(this);
    });
}

void Tyq_CustomNumEdit::paintEvent(QPaintEvent* event)
{
    if (focused_) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter p(this);
    QStyleOptionFrame opt;
    initStyleOption(&opt);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opt, &p, this);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &opt, this);
    const int margin = 2;
    const QRect r = contents.adjusted(margin, 0, -margin - 1, 0);
    p.setClipRect(contents);
    p.setFont(font());
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    p.drawText(r, static_cast<int>(HorizontalAlignment(alignment_)) | Qt::AlignVCenter, DisplayText());
}

// ============================================================== float and currency

Tyq_FloatEdit::Tyq_FloatEdit(QWidget* parent) : Tyq_CustomNumEdit(parent)
{
    setObjectName(QStringLiteral("Tyq_FloatEdit"));
    displayFormat_ = DefaultDisplayFormat();
}

QString Tyq_FloatEdit::DefaultDisplayFormat() const { return QString(); }

Tyq_CurrencyEdit::Tyq_CurrencyEdit(QWidget* parent) : Tyq_FloatEdit(parent)
{
    setObjectName(QStringLiteral("Tyq_CurrencyEdit"));
    displayFormat_ = DefaultDisplayFormat();
}

QString Tyq_CurrencyEdit::CurrencyDisplayFormat()
{
    const TFormatSettings& fs = FormatSettings();
    QString f = QStringLiteral(",0.") + QString(std::max(fs.CurrencyDecimals, 0), QLatin1Char('0'));
    // Quoted, so that a point in the currency string is never taken for the decimal point.
    QString cs = fs.CurrencyString;
    if (!cs.isEmpty() && !cs.contains(QLatin1Char('"')))
        cs = QLatin1Char('"') + cs + QLatin1Char('"');
    if (!fs.CurrencyString.isEmpty()) {
        switch (fs.CurrencyFormat) {
        case 0: f = cs + f; break;
        case 1: f = f + cs; break;
        case 2: f = cs + QLatin1Char(' ') + f; break;
        case 3: f = f + QLatin1Char(' ') + cs; break;
        default: break;
        }
    }
    return f + QStringLiteral(";-") + f;
}

QString Tyq_CurrencyEdit::DefaultDisplayFormat() const { return CurrencyDisplayFormat(); }

// ============================================================== integer

Tyq_IntegerEdit::Tyq_IntegerEdit(QWidget* parent) : Tyq_CustomNumEdit(parent)
{
    setObjectName(QStringLiteral("Tyq_IntegerEdit"));
    decimalPlaces_ = 0;
    displayFormat_ = DefaultDisplayFormat();
    DataChanged();
}

QString Tyq_IntegerEdit::DefaultDisplayFormat() const { return QStringLiteral("0"); }

double Tyq_IntegerEdit::ClampToType(double value) const
{
    return std::clamp(value, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX));
}

bool Tyq_IntegerEdit::IsValidChar(QChar key) const
{
    if (!Tyq_CustomNumEdit::IsValidChar(key))
        return false;
    QString s = text();
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int length = hasSelectedText() ? static_cast<int>(selectedText().size()) : 0;
    s.replace(start, length, key);
    const double v = std::trunc(StrToFloat(TextToValText(s)));
    return v >= INT_MIN && v <= INT_MAX;
}

namespace {

int TruncToInt32(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::clamp(std::trunc(v), static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

} // namespace

int Tyq_IntegerEdit::Value() { return TruncToInt32(Tyq_CustomNumEdit::Value()); }

void Tyq_IntegerEdit::SetValue(int value) { Tyq_CustomNumEdit::SetValue(value); }

int Tyq_IntegerEdit::MinValue() const { return TruncToInt32(minValue_); }

void Tyq_IntegerEdit::SetMinValue(int value) { Tyq_CustomNumEdit::SetMinValue(value); }

int Tyq_IntegerEdit::MaxValue() const { return TruncToInt32(maxValue_); }

void Tyq_IntegerEdit::SetMaxValue(int value) { Tyq_CustomNumEdit::SetMaxValue(value); }
