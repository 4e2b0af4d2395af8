#include "foundation/ui/edits/ComboEdit.h"

#include "foundation/ui/base/Beep.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>

#include <algorithm>

QImage ComboEllipsisGlyph(int buttonWidth)
{
    const int w = buttonWidth - 4;
    if (w <= 0)
        return QImage();
    QImage image(w, 4, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const int gap = std::clamp((w - 6) / 2, 1, 3);
    int x = (w - 6 - 2 * gap) / 2;
    for (int i = 0; i < 3; ++i, x += 2 + gap)
        for (int dx = 0; dx < 2; ++dx)
            for (int dy = 1; dy < 3; ++dy)
                if (x + dx >= 0 && x + dx < w)
                    image.setPixel(x + dx, dy, qRgb(0, 0, 0));
    return image;
}

TEditButton::TEditButton(QWidget* parent) : QToolButton(parent)
{
    setObjectName(QStringLiteral("Button"));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

// Closes an open drop-down when the clerk presses the mouse anywhere else.
class ComboPopupFilter final : public QObject {
public:
    explicit ComboPopupFilter(Tyq_CustomComboEdit* edit) : QObject(edit), edit_(edit) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!edit_->PopupVisible())
            return false;
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            QWidget* w = qobject_cast<QWidget*>(watched);
            QWidget* popup = edit_->popup_;
            if (w && w != edit_ && w != edit_->button_ && w != popup && !popup->isAncestorOf(w))
                edit_->PopupCloseUp(false);
        }
        return false;
    }

private:
    Tyq_CustomComboEdit* edit_;
};

Tyq_CustomComboEdit::Tyq_CustomComboEdit(QWidget* parent) : QLineEdit(parent), button_(new TEditButton(this))
{
    setObjectName(QStringLiteral("Tyq_CustomComboEdit"));
    InstallCp1251Filter(this);
    connect(button_, &QToolButton::pressed, this, [this] {
        // The edit takes the focus first, as a click on it would.
        if (!hasFocus() && isEnabled() && focusPolicy() != Qt::NoFocus)
            setFocus(Qt::MouseFocusReason);
    });
    connect(button_, &QToolButton::clicked, this, [this] { GuardedCall([this] { DoClick(); }); });
    UpdateGlyph();
    UpdateControlsPos();
    UpdateMinimumHeight();
}

Tyq_CustomComboEdit::~Tyq_CustomComboEdit()
{
    if (popupFilter_)
        qApp->removeEventFilter(popupFilter_);
}

void Tyq_CustomComboEdit::SetGlyphKind(TGlyphKind value)
{
    glyphKind_ = value;
    UpdateGlyph();
}

void Tyq_CustomComboEdit::SetGlyph(const QPixmap& value)
{
    glyph_ = value;
    UpdateGlyph();
}

void Tyq_CustomComboEdit::SetButtonWidth(int value)
{
    buttonWidth_ = std::max(value, 0);
    UpdateControlsPos();
    UpdateGlyph();
}

void Tyq_CustomComboEdit::SetDirectInput(bool value)
{
    directInput_ = value;
    UpdateEditable();
}

void Tyq_CustomComboEdit::SetReadOnly(bool value)
{
    readOnly_ = value;
    UpdateEditable();
}

void Tyq_CustomComboEdit::SetAlignment(TAlignment value)
{
    alignment_ = value;
    setAlignment(HorizontalAlignment(value) | Qt::AlignVCenter);
}

void Tyq_CustomComboEdit::UpdateEditable() { QLineEdit::setReadOnly(!EditAllowed() || PopupVisible()); }

void Tyq_CustomComboEdit::UpdateControlsPos()
{
    const int fw = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    button_->setVisible(buttonWidth_ > 0);
    button_->setGeometry(width() - fw - buttonWidth_, fw, buttonWidth_, std::max(0, height() - 2 * fw));
    setTextMargins(0, 0, buttonWidth_, 0);
}

void Tyq_CustomComboEdit::UpdateGlyph()
{
    button_->setArrowType(Qt::NoArrow);
    button_->setIcon(QIcon());
    switch (glyphKind_) {
    case gkCustom:
        if (!glyph_.isNull()) {
            button_->setIcon(QIcon(glyph_));
            button_->setIconSize(glyph_.size());
        }
        break;
    case gkDefault: break; // these classes have no default bitmap
    case gkDropDown: button_->setArrowType(Qt::DownArrow); break;
    case gkEllipsis: {
        const QImage image = ComboEllipsisGlyph(buttonWidth_);
        if (!image.isNull()) {
            button_->setIcon(QIcon(QPixmap::fromImage(image)));
            button_->setIconSize(image.size());
        }
        break;
    }
    }
}

void Tyq_CustomComboEdit::UpdateMinimumHeight()
{
    const int text = std::min(QFontMetrics(QApplication::font()).height(), fontMetrics().height());
    setMinimumHeight(text + 4 * 1 + 1);
}

void Tyq_CustomComboEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    UpdateControlsPos();
}

void Tyq_CustomComboEdit::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        UpdateMinimumHeight();
        UpdateControlsPos();
    }
}

void Tyq_CustomComboEdit::DoClick()
{
    if (readOnly_ && !alwaysEnable_)
        return;
    if (popup_) {
        if (PopupVisible())
            PopupCloseUp(true);
        else
            PopupDropDown();
        return;
    }
    if (OnButtonClick)
        OnButtonClick(this);
}

bool Tyq_CustomComboEdit::PopupVisible() const { return popup_ && popup_->isVisible(); }

void Tyq_CustomComboEdit::SetPopup(QWidget* popup)
{
    if (popup_ == popup)
        return;
    if (popup_)
        popup_->hide();
    popup_ = popup;
    if (popup_) {
        popup_->setParent(
            this, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
        popup_->setAttribute(Qt::WA_ShowWithoutActivating);
        popup_->setFocusPolicy(Qt::NoFocus);
        popup_->hide();
        if (!popupFilter_) {
            popupFilter_ = new ComboPopupFilter(this);
            qApp->installEventFilter(popupFilter_);
        }
    }
}

void Tyq_CustomComboEdit::PopupSetValue(const QString&) {}

QString Tyq_CustomComboEdit::PopupValue() const { return text(); }

void Tyq_CustomComboEdit::PopupDropDown()
{
    if (!popup_ || PopupVisible() || (readOnly_ && !alwaysEnable_))
        return;
    PopupSetValue(text());
    const QSize hint = popup_->sizeHint();
    const QSize size(std::max(hint.width(), width()), std::max(hint.height(), 1));
    popup_->resize(size);
    QPoint pos = mapToGlobal(QPoint(0, height()));
    const QScreen* scr = screen();
    const QRect avail = scr ? scr->availableGeometry() : QRect();
    if (avail.isValid() && pos.y() + size.height() > avail.bottom() + 1)
        pos.setY(mapToGlobal(QPoint(0, 0)).y() - size.height());
    popup_->move(pos);
    popup_->show();
    popup_->raise();
    UpdateEditable();
}

void Tyq_CustomComboEdit::PopupCloseUp(bool accept)
{
    if (!PopupVisible())
        return;
    const QString value = PopupValue();
    popup_->hide();
    UpdateEditable();
    if (accept && !readOnly_) {
        setText(value);
        if (directInput_)
            selectAll();
    }
}

void Tyq_CustomComboEdit::keyPressEvent(QKeyEvent* event)
{
    GuardedCall([&] {
        const QKeyCombination combo(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key()));
        if (buttonWidth_ > 0 && !clickKey_.isEmpty() && QKeySequence(combo) == clickKey_) {
            DoClick();
            event->accept();
            return;
        }
        if (PopupVisible()) {
            if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
                PopupCloseUp(true);
                event->accept();
                return;
            }
            if (event->key() == Qt::Key_Escape) {
                PopupCloseUp(false);
                event->accept();
                return;
            }
        }
        if (!directInput_ && event->matches(QKeySequence::SelectAll)) {
            event->accept();
            return;
        }
        // Without a drop-down, Enter and Esc go on to the window (its default
        // and cancel handling).
        QLineEdit::keyPressEvent(event);
    });
}

void Tyq_CustomComboEdit::mousePressEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        if (popup_ && !directInput_ && event->button() == Qt::LeftButton && !PopupVisible()
            && (!readOnly_ || alwaysEnable_)) {
            if (!hasFocus())
                setFocus(Qt::MouseFocusReason);
            PopupDropDown();
        }
        QLineEdit::mousePressEvent(event);
    });
}

void Tyq_CustomComboEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::MouseFocusReason || reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    if (autoSelect_ && directInput_)
        selectAll();
    else
        deselect();
}

void Tyq_CustomComboEdit::focusOutEvent(QFocusEvent* event)
{
    PopupCloseUp(false);
    QLineEdit::focusOutEvent(event);
}

Tyq_ComboEdit::Tyq_ComboEdit(QWidget* parent) : Tyq_CustomComboEdit(parent)
{
    setObjectName(QStringLiteral("Tyq_ComboEdit"));
}
