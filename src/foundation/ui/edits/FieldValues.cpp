#include "foundation/ui/edits/FieldValues.h"

#include "foundation/Messages.h"
#include "foundation/ui/base/Beep.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

namespace {

QString LabelText(const QLabel* label)
{
    QString text = label->text();
    text.remove(QLatin1Char('&'));
    while (text.endsWith(QLatin1Char(':')) || text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text.trimmed();
}

// The label a form layout shows for the field, looking through the layouts
// of every parent (a field may sit in a row layout inside the form).
const QLabel* FormLabel(const QWidget* field)
{
    for (const QWidget* w = field; w && !w->isWindow(); w = w->parentWidget()) {
        const QWidget* parent = w->parentWidget();
        if (!parent)
            break;
        for (QFormLayout* form : parent->findChildren<QFormLayout*>()) {
            if (auto* label = qobject_cast<QLabel*>(form->labelForField(const_cast<QWidget*>(w))))
                return label;
            for (int row = 0; row < form->rowCount(); ++row) {
                QLayoutItem* item = form->itemAt(row, QFormLayout::FieldRole);
                QLayout* inner = item ? item->layout() : nullptr;
                if (inner && inner->indexOf(const_cast<QWidget*>(w)) >= 0)
                    if (QLayoutItem* l = form->itemAt(row, QFormLayout::LabelRole))
                        if (auto* label = qobject_cast<QLabel*>(l->widget()))
                            return label;
            }
        }
        if (w != field)
            break; // only the field itself or the row it stands in
    }
    return nullptr;
}

class TypedCharFilter final : public QObject {
public:
    TypedCharFilter(QLineEdit* edit, TypedKind kind) : QObject(edit), kind_(kind) {}
    TypedKind kind_;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString typed = key->text();
        if (typed.size() != 1 || !typed[0].isPrint()
            || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
            return false;
        const auto* edit = qobject_cast<QLineEdit*>(watched);
        if (!edit || edit->isReadOnly() || AcceptsTypedChar(kind_, typed[0]))
            return false;
        MessageBeep();
        return true;
    }
};

} // namespace

void FilterTypedChars(QLineEdit* edit, TypedKind kind)
{
    const QObjectList children = edit->children(); // a copy: the loop deletes
    for (QObject* child : children)
        if (auto* old = dynamic_cast<TypedCharFilter*>(child)) {
            edit->removeEventFilter(old);
            delete old;
        }
    if (kind != TypedKind::Text)
        edit->installEventFilter(new TypedCharFilter(edit, kind));
}

void RaiseFieldError(const QString& text, const QString& field, TypedKind kind)
{
    const QString what = kind == TypedKind::Integer ? QStringLiteral("целым числом")
        : kind == TypedKind::Date                   ? QStringLiteral("датой (ДД.ММ.ГГГГ)")
                                                    : QStringLiteral("числом");
    const QString name = field.isEmpty() ? QString() : QStringLiteral("Поле \"%1\": ").arg(field);
    throw EConvertError(QStringLiteral("Неверное значение|")
        + EscapeBars(name + QStringLiteral("\"%1\" не является %2").arg(text.trimmed(), what)));
}

QString FieldCaption(const QWidget* field)
{
    if (!field)
        return QString();
    if (const QLabel* label = FormLabel(field))
        return LabelText(label);
    if (const QWidget* window = field->window())
        for (const QLabel* label : window->findChildren<QLabel*>())
            if (label->buddy() == field)
                return LabelText(label);
    if (!field->accessibleName().isEmpty())
        return field->accessibleName();
    return field->toolTip();
}

QString FieldAt(const QString& field, int row) { return QStringLiteral("%1, строка %2").arg(field).arg(row); }

double FieldFloat(const QString& text, const QString& field)
{
    // Thousands may be set apart by blanks ("95 000").
    QString digits = text;
    digits.remove(QLatin1Char(' ')).remove(QChar(0xA0));
    double v = 0;
    if (!TryStrToFloat(digits, v))
        RaiseFieldError(text, field, TypedKind::Float);
    return v;
}

int FieldInteger(const QString& text, const QString& field)
{
    int v = 0;
    if (!TryStrToInt(text.trimmed(), v))
        RaiseFieldError(text, field, TypedKind::Integer);
    return v;
}

TDateTime FieldDate(const QString& text, const QString& field)
{
    TDateTime v = 0;
    if (!TryStrToDate(text.trimmed(), v))
        RaiseFieldError(text, field, TypedKind::Date);
    return v;
}

bool AcceptsTypedChar(TypedKind kind, QChar c)
{
    const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const bool sign = c == QLatin1Char('-') || c == QLatin1Char('+');
    const bool point = c == QLatin1Char(',') || c == QLatin1Char('.');
    switch (kind) {
    case TypedKind::Text: return true;
    case TypedKind::Integer: return digit || sign;
    case TypedKind::Float: return digit || sign || point;
    case TypedKind::Date: return digit || point || c == QLatin1Char('/');
    }
    return true;
}

void RequireNotNegative(double value, const QString& field)
{
    if (value < 0)
        throw EAppException(QStringLiteral("Неверное значение|Поле \"%1\": значение не может быть отрицательным")
                                .arg(EscapeBars(field)));
}

void RequirePeriod(TDateTime begin, TDateTime end, const QString& what)
{
    if (begin >= 1 && end >= 1 && DateOf(end) < DateOf(begin))
        throw EAppException(QStringLiteral("Неверный период|%1: конец периода %2 раньше его начала %3")
                                .arg(EscapeBars(what), DateToStr(end), DateToStr(begin)));
}
