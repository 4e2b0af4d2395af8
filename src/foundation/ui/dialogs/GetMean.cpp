#include "foundation/ui/dialogs/GetMean.h"
#include "foundation/Messages.h"
#include "foundation/TextMeasure.h"
#include "foundation/ui/base/Beep.h"
#include "foundation/ui/controls/ShadowLabel.h"
#include "foundation/ui/edits/FieldValues.h"
#include "platform/Exceptions.h"
#include "platform/FormatSettings.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kWidth = 360;
const QString kDesignHeader = QStringLiteral("Введите значение");

int MaxLengthOf(int kind)
{
    switch (kind) {
    case ivInteger: return 9;
    case ivFloat: return 14;
    case ivDate: return 10;
    default: return 0;
    }
}

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

QChar DecimalSeparatorChar() { return FormatSettings().DecimalSeparator; }

// Whether a date may take a point after Left (the text before the caret).
bool DatePointAllowed(const QString& left, const QString& whole)
{
    if (left.isEmpty() || left.endsWith(QLatin1Char('.')) || whole.count(QLatin1Char('.')) >= 2)
        return false;
    const int points = left.count(QLatin1Char('.'));
    const QString part = left.mid(left.lastIndexOf(QLatin1Char('.')) + 1);
    bool ok = false;
    const int n = part.toInt(&ok);
    if (!ok)
        return false;
    return points == 0 ? n <= 31 : n <= 12;
}

bool DateDigitAllowed(const QString& left)
{
    const int points = left.count(QLatin1Char('.'));
    const QString part = left.mid(left.lastIndexOf(QLatin1Char('.')) + 1);
    return part.size() < (points >= 2 ? 4 : 2);
}
} // namespace

TFormGet::TFormGet(QWidget* parent) : TForm(parent, QStringLiteral("FormGet"))
{
    setWindowTitle(QStringLiteral(" "));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 10);
    layout->setSpacing(8);

    auto* pnHeader = new QWidget(this);
    pnHeader->setObjectName(QStringLiteral("pnHeader"));
    pnHeader->setAutoFillBackground(true);
    QPalette pal = pnHeader->palette();
    pal.setColor(QPalette::Window, QColor(Qt::darkCyan));
    pnHeader->setPalette(pal);
    auto* headerBox = new QVBoxLayout(pnHeader);
    headerBox->setContentsMargins(8, 6, 8, 6);
    lbHeader = new Tyq_ShadowLabel(kDesignHeader, pnHeader);
    lbHeader->setObjectName(QStringLiteral("lbHeader"));
    lbHeader->SetAlignment(taCenter);
    lbHeader->SetLayout(tlCenter);
    lbHeader->SetTextStyle(tsShadow);
    lbHeader->SetShadowColor(Qt::black);
    lbHeader->SetTransparent(true);
    lbHeader->SetShowAccelChar(false);
    QFont headerFont = lbHeader->font();
    headerFont.setBold(true);
    headerFont.setPointSizeF(headerFont.pointSizeF() * 1.2);
    lbHeader->setFont(headerFont);
    QPalette headerPal = lbHeader->palette();
    headerPal.setColor(QPalette::WindowText, QColor(Qt::cyan));
    lbHeader->setPalette(headerPal);
    headerBox->addWidget(lbHeader);
    layout->addWidget(pnHeader);

    lb = new QLabel(QStringLiteral("Описание"), this);
    lb->setObjectName(QStringLiteral("lb"));
    lb->setWordWrap(true);
    lb->setAlignment(Qt::AlignCenter);
    layout->addWidget(lb);

    ed = new QLineEdit(this);
    ed->setObjectName(QStringLiteral("ed"));
    ed->installEventFilter(this);
    connect(ed, &QLineEdit::textEdited, this, guarded([this](const QString& text) { TextEdited(text); }));
    auto* edRow = new QHBoxLayout;
    edRow->setContentsMargins(16, 0, 16, 0);
    edRow->addWidget(ed);
    layout->addLayout(edRow);

    btOk = new QPushButton(QStringLiteral("Ok"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btOk->setDefault(true);
    btOk->setMinimumWidth(90);
    connect(btOk, &QPushButton::clicked, this, guarded([this] { OkClick(); }));
    layout->addWidget(btOk, 0, Qt::AlignHCenter);

    FitHeight();
}

void TFormGet::SetKind(int kind)
{
    kind_ = kind;
    maxLength_ = MaxLengthOf(kind);
    ed->clear();
    ed->setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
    ed->setEchoMode(kind == ivPassword ? QLineEdit::Password : QLineEdit::Normal);
}

void TFormGet::SetPrompt(const QString& prompt)
{
    prompt_ = prompt;
    layout()->activate();
    const int headerWidth = lbHeader->width() > 0 ? lbHeader->width() : kWidth - 16;
    if (TextWidthInFont(prompt, lbHeader->font()) >= headerWidth - 5) {
        lbHeader->setText(kDesignHeader);
        lb->setText(prompt);
        lb->show();
    } else {
        lbHeader->setText(prompt);
        lb->clear();
        lb->hide();
    }
    FitHeight();
}

void TFormGet::SetValue(const Variant& value)
{
    if (kind_ == ivPassword)
        return;
    QString text;
    if (kind_ == ivDate && !value.IsEmptyOrNull()) {
        const TDateTime d = value.AsDate();
        text = d == 0 ? QString() : DateToStr(d);
    } else {
        text = VarToStr(value);
    }
    ed->setText(text);
}

Variant TFormGet::ConvertedValue() const
{
    const QString text = ed->text();
    switch (kind_) {
    // The prompt names what is typed, so the message says which value is wrong.
    case ivInteger: return Variant(FieldInteger(text, prompt_));
    case ivFloat: return Variant(FieldFloat(text, prompt_));
    case ivDate: return Variant::FromDate(FieldDate(text, prompt_));
    default: return Variant(text);
    }
}

bool TFormGet::Execute(const MessageRequest& request, Variant& value)
{
    if (!request.caption.isEmpty())
        setWindowTitle(request.caption);
    SetKind(request.valueKind);
    SetPrompt(request.title);
    SetValue(request.kind == MsgKind::Password ? Variant() : value);
    const bool ok = ShowModal() == mrOk;
    Variant converted;
    if (ok)
        converted = ConvertedValue();
    // Closing forgets the kind and the hidden text.
    ed->setEchoMode(QLineEdit::Normal);
    ed->clear();
    kind_ = ivText;
    if (ok)
        value = converted;
    return ok;
}

bool TFormGet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ed && event->type() == QEvent::KeyPress) {
        bool drop = false;
        RunGuarded([&] { drop = FilterKey(static_cast<QKeyEvent*>(event)); });
        if (drop)
            return true;
    }
    return TForm::eventFilter(watched, event);
}

bool TFormGet::FilterKey(QKeyEvent* event)
{
    const QString typed = event->text();
    // Only typed characters are filtered; Backspace, arrows and the
    // clipboard keys pass (a pasted text is checked by Ok).
    if (typed.size() != 1 || typed[0].unicode() < 32 || typed[0].unicode() == 127)
        return false;
    if (kind_ != ivInteger && kind_ != ivFloat && kind_ != ivDate)
        return false;
    const QChar c = typed[0];
    // The text as it is once the selection is replaced.
    QString base = ed->text();
    int caret = ed->cursorPosition();
    if (ed->hasSelectedText()) {
        caret = ed->selectionStart();
        base.remove(caret, ed->selectedText().size());
    }
    const QString left = base.left(caret);
    auto refuse = [] {
        MessageBeep();
        return true;
    };
    auto put = [&](QChar ch) {
        ed->insert(QString(ch));
        TextEdited(ed->text());
        return true;
    };
    if (maxLength_ > 0 && base.size() >= maxLength_)
        return refuse();

    const bool sign = c == QLatin1Char('+') || c == QLatin1Char('-');
    switch (kind_) {
    case ivInteger: return IsDigit(c) || sign ? false : refuse();
    case ivFloat: {
        if (IsDigit(c) || sign)
            return false;
        if (c != QLatin1Char(',') && c != QLatin1Char('.'))
            return refuse();
        // Either separator is typed as the program's own, and only once.
        if (base.contains(QLatin1Char(',')) || base.contains(QLatin1Char('.')))
            return refuse();
        return put(DecimalSeparatorChar());
    }
    case ivDate: {
        if (IsDigit(c))
            return DateDigitAllowed(left) ? false : refuse();
        if (c != QLatin1Char(',') && c != QLatin1Char('.') && c != QLatin1Char('/'))
            return refuse();
        if (!DatePointAllowed(left, base))
            return refuse();
        return put(QLatin1Char('.'));
    }
    }
    return false;
}

void TFormGet::TextEdited(const QString& text)
{
    // A full edit is checked at once.
    if (maxLength_ > 0 && text.size() >= maxLength_) {
        try {
            ConvertedValue();
        } catch (const EConvertError&) {
            MessageBeep();
        }
    }
}

void TFormGet::OkClick()
{
    try {
        ConvertedValue();
    } catch (const Exception&) {
        ed->setFocus();
        throw; // shown by the guarded click; the box stays open
    }
    SetModalResult(mrOk);
}

void TFormGet::showEvent(QShowEvent* event)
{
    // The program fonts come with the first show: the texts are placed again.
    SetPrompt(prompt_);
    TForm::showEvent(event);
    CenterOnScreen();
    ed->setFocus();
    ed->selectAll();
}

void TFormGet::reject() { SetModalResult(mrCancel); }

void TFormGet::FitHeight() { FitHeightToWidth(kWidth); }

bool InputValue(const QString& prompt, int kind, Variant& value)
{
    return RequestValue(QStringLiteral(" "), prompt, kind, value);
}

bool InputString(const QString& prompt, QString& s)
{
    Variant v(s);
    if (!InputValue(prompt, ivText, v))
        return false;
    s = v.AsString();
    return true;
}

bool InputDate(const QString& prompt, TDateTime& d)
{
    Variant v = Variant::FromDate(d);
    if (!InputValue(prompt, ivDate, v))
        return false;
    d = v.AsDate();
    return true;
}
