#include "foundation/ui/grids/InplaceEdit.h"

#include "foundation/ui/base/Beep.h"
#include "foundation/ui/grids/YQRGrids.h"
#include "platform/Clock.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <qdrawutil.h>

#include <algorithm>

// ============================================================== pop-up list

TPopupListbox::TPopupListbox(Tyq_InplaceEdit* editor) : QListWidget(editor), editor_(editor)
{
    setObjectName(QStringLiteral("PopupListbox"));
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setMouseTracking(true);
    hide();
}

int TPopupListbox::ItemHeight() const
{
    // The font decides the row height; the old fixed 11 pixels would clip the text.
    const int h = count() > 0 ? sizeHintForRow(0) : -1;
    return h > 0 ? h : fontMetrics().height() + 2;
}

void TPopupListbox::HandleKey(QKeyEvent* event)
{
    const QString text = event->text();
    const QChar ch = text.isEmpty() ? QChar() : text.at(0);
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Escape) {
        searchText_.clear();
        return;
    }
    if (!ch.isNull() && ch.unicode() >= 32 && ch.unicode() != 127) {
        const unsigned tick = GetTickCount();
        if (tick - searchTick_ > kSearchDelayMs)
            searchText_.clear();
        searchTick_ = tick;
        if (searchText_.size() < kSearchMaxChars)
            searchText_ += ch;
        for (int i = 0; i < count(); ++i) {
            if (item(i)->text().startsWith(searchText_, Qt::CaseInsensitive)) {
                setCurrentRow(i);
                break;
            }
        }
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: {
        QKeyEvent plain(event->type(), event->key(), Qt::NoModifier);
        QListWidget::keyPressEvent(&plain);
        break;
    }
    default: break;
    }
}

void TPopupListbox::SelectAt(const QPoint& pos)
{
    if (QListWidgetItem* it = itemAt(viewport()->mapFrom(this, pos)))
        setCurrentItem(it);
}

void TPopupListbox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        SelectAt(mapFromGlobal(event->globalPosition().toPoint()));
    event->accept();
}

void TPopupListbox::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton || captured_)
        SelectAt(mapFromGlobal(event->globalPosition().toPoint()));
    event->accept();
}

void TPopupListbox::mouseReleaseEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        const QPoint global = event->globalPosition().toPoint();
        const bool inside = rect().contains(mapFromGlobal(global));
        if (captured_) {
            captured_ = false;
            viewport()->releaseMouse();
        }
        event->accept();
        editor_->ListMouseUp(global, inside);
    });
}

// ============================================================== in-place editor

namespace {

// Closes the open list when the clerk works elsewhere in the program.
class ListCancelFilter final : public QObject {
public:
    ListCancelFilter(Tyq_InplaceEdit* editor) : QObject(editor), editor_(editor) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!editor_->ListVisible())
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            QWidget* w = qobject_cast<QWidget*>(watched);
            if (w && w != editor_ && w != editor_->PickList() && !editor_->PickList()->isAncestorOf(w))
                editor_->CloseUp(false);
            break;
        }
        case QEvent::ApplicationStateChange:
        case QEvent::WindowDeactivate:
            if (watched == editor_->window())
                editor_->CloseUp(false);
            break;
        default: break;
        }
        return false;
    }

private:
    Tyq_InplaceEdit* editor_;
};

} // namespace

Tyq_InplaceEdit::Tyq_InplaceEdit(Tyq_DrawGrid* grid) : QLineEdit(grid->viewport()), grid_(grid)
{
    setObjectName(QStringLiteral("InplaceEdit"));
    setFrame(false);
    // Tab never lands on the editor; the grid hands the focus to it.
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
    InstallCp1251Filter(this);
    connect(this, &QLineEdit::textChanged, this, [this] { GuardedCall([this] { OnTextEdited(); }); });
    qApp->installEventFilter(new ListCancelFilter(this));
    hide();
}

Tyq_InplaceEdit::~Tyq_InplaceEdit() = default;

bool Tyq_InplaceEdit::ListVisible() const { return pickList_ && pickList_->isVisible(); }

int Tyq_InplaceEdit::ButtonWidth() const
{
    if (style_ == esSimple)
        return 0;
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

QRect Tyq_InplaceEdit::ButtonRect() const
{
    const int w = ButtonWidth();
    if (w == 0)
        return QRect();
    return QRect(width() - w, 0, w, height());
}

void Tyq_InplaceEdit::SetEditStyle(TInplaceEditStyle style)
{
    if (style == style_)
        return;
    if (ListVisible())
        CloseUp(false);
    style_ = style;
    if (style == esPickList) {
        if (!pickList_)
            pickList_ = new TPopupListbox(this);
        activeList_ = true;
    } else {
        activeList_ = false;
    }
    BoundsChanged();
    update();
}

void Tyq_InplaceEdit::BoundsChanged() { setTextMargins(0, 0, ButtonWidth(), 0); }

void Tyq_InplaceEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    BoundsChanged();
}

void Tyq_InplaceEdit::UpdateContents()
{
    const int col = grid_->Col();
    const int row = grid_->Row();
    loading_ = true;
    setAlignment(HorizontalAlignment(grid_->GetEditAlign(col, row)) | Qt::AlignVCenter);
    SetEditStyle(grid_->GetEditStyle(col, row));
    limit_ = grid_->GetEditLimit();
    setMaxLength(limit_ <= 0 ? 32767 : limit_);
    setText(grid_->GetEditText(col, row));
    loading_ = false;
    typed_ = false;
}

void Tyq_InplaceEdit::Deselect()
{
    deselect();
    setCursorPosition(text().size());
}

void Tyq_InplaceEdit::OnTextEdited()
{
    if (loading_)
        return;
    typed_ = true;
    grid_->EditorTextChanged();
}

void Tyq_InplaceEdit::DropDown()
{
    if (ListVisible() || !activeList_ || !pickList_)
        return;
    TPopupListbox* list = pickList_;
    list->setFont(font());
    list->setPalette(palette());
    list->clear();
    list->searchText_.clear();
    QStringList items;
    grid_->GetPickList(grid_->Col(), grid_->Row(), items);
    list->addItems(items);
    const int rows = std::min<int>(items.size(), TPopupListbox::kMaxRows);
    const int frame = 2 * list->frameWidth();
    const int height = list->ItemHeight() * rows + 4;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == text()) {
            list->setCurrentRow(i);
            break;
        }
    }
    int client = width() - frame;
    const QFontMetrics fm(list->font());
    for (const QString& s : items)
        client = std::max(client, fm.horizontalAdvance(s) + 8);
    if (items.size() > TPopupListbox::kMaxRows)
        client += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    list->resize(client + frame, height);
    list->setVerticalScrollBarPolicy(
        items.size() > TPopupListbox::kMaxRows ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    QPoint pos = mapToGlobal(QPoint(0, this->height()));
    const QScreen* scr = screen();
    const QRect avail = scr ? scr->availableGeometry() : QRect();
    if (avail.isValid() && pos.y() + height > avail.bottom() + 1)
        pos.setY(mapToGlobal(QPoint(0, 0)).y() - height);
    list->move(pos);
    if (list->currentItem())
        list->scrollToItem(list->currentItem());
    list->show();
    list->raise();
    update();
}

void Tyq_InplaceEdit::CloseUp(bool accept)
{
    if (!ListVisible())
        return;
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    pickList_->captured_ = false;
    const QListWidgetItem* it = pickList_->currentItem();
    const QString value = it ? it->text() : QString();
    const bool hasValue = it != nullptr;
    pickList_->hide();
    pickList_->searchText_.clear();
    update();
    if (accept && hasValue && grid_->CanEditModify()) {
        setText(value);
        selectAll();
    }
}

void Tyq_InplaceEdit::ListMouseUp(const QPoint&, bool inside) { CloseUp(inside); }

bool Tyq_InplaceEdit::HandleEditorKey(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool alt = mods & Qt::AltModifier;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (style_ == esEllipsis && enter && mods == Qt::ControlModifier) {
        grid_->EditButtonClick();
        return true;
    }
    if (style_ != esPickList)
        return false;
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && alt) {
        if (ListVisible())
            CloseUp(true);
        else
            DropDown();
        return true;
    }
    if (ListVisible() && !alt && enter) {
        CloseUp(true);
        return true;
    }
    if (ListVisible() && !alt && key == Qt::Key_Escape) {
        CloseUp(false);
        return true;
    }
    if (ListVisible()) {
        pickList_->HandleKey(event);
        return true;
    }
    return false;
}

bool Tyq_InplaceEdit::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // Esc belongs to the cell while it has something to take back (the
        // typing, the open list), before any key handling of the window.
        auto* ke = static_cast<QKeyEvent*>(event);
        if (ke->key() == Qt::Key_Escape && (ke->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
            && (typed_ || ListVisible())) {
            ke->accept();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(event);
        if ((ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) && !(ke->modifiers() & Qt::AltModifier)) {
            GuardedCall([&] {
                CloseUp(false);
                if (grid_->Options().Contains(goTabs)) {
                    int k = Qt::Key_Tab;
                    grid_->KeyDown(k, ke->key() == Qt::Key_Backtab ? Qt::ShiftModifier : ke->modifiers());
                } else {
                    grid_->MoveFocusOut(ke->key() == Qt::Key_Tab && !(ke->modifiers() & Qt::ShiftModifier));
                }
            });
            return true;
        }
    }
    return QLineEdit::event(event);
}

void Tyq_InplaceEdit::keyPressEvent(QKeyEvent* event)
{
    GuardedCall([&] {
        if (HandleEditorKey(event))
            return;
        int key = event->key();
        const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
        const bool ctrl = mods & Qt::ControlModifier;
        const bool forward = grid_->Options().Contains(goAlwaysShowEditor);
        const int len = text().size();
        const int selStart = hasSelectedText() ? selectionStart() : cursorPosition();
        const int selEnd = hasSelectedText() ? selectionStart() + selectedText().size() : cursorPosition();
        const bool leftSide = selStart == 0 && (selEnd == 0 || selEnd == len);
        const bool rightSide = (selStart == 0 || selEnd == selStart) && selEnd == len;

        // Keys that belong to the grid: sent there and consumed, except one the
        // grid has no use for (Esc), which goes on to the window around the grid.
        auto sendToParent = [&]() {
            const bool used = grid_->KeyDown(key, mods) || key == 0;
            if (!used && event->key() == Qt::Key_Escape)
                PassBeyondGrid(event);
        };
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Escape: sendToParent(); return;
        case Qt::Key_Insert:
            if (mods == Qt::NoModifier) {
                sendToParent();
                return;
            }
            break;
        case Qt::Key_Left:
        case Qt::Key_Home:
            if (forward && (ctrl || leftSide)) {
                sendToParent();
                return;
            }
            break;
        case Qt::Key_Right:
        case Qt::Key_End:
            if (forward && (ctrl || rightSide)) {
                sendToParent();
                return;
            }
            break;
        case Qt::Key_F2:
            if (grid_->OnKeyDown)
                grid_->OnKeyDown(grid_, key, mods);
            if (key == Qt::Key_F2)
                Deselect();
            return;
        default: break;
        }
        if (grid_->OnKeyDown) {
            grid_->OnKeyDown(grid_, key, mods);
            if (key == 0)
                return;
        }
        const QString t = event->text();
        if (!t.isEmpty() && Tyq_DrawGrid::IsTextChar(t.at(0)) && !ctrl) {
            const QChar typed = t.at(0);
            QChar ch = typed;
            grid_->KeyPress(ch);
            if (ch.isNull())
                return;
            if (ch.unicode() >= 32 && !grid_->CanEditAcceptKey(ch)) {
                MessageBeep();
                return;
            }
            if (ch.unicode() == 13) {
                if (selStart == 0 && selEnd == len)
                    Deselect();
                else
                    selectAll();
                return;
            }
            if (ch != typed) {
                QKeyEvent replaced(QEvent::KeyPress, event->key(), event->modifiers(), QString(ch));
                QLineEdit::keyPressEvent(&replaced);
                return;
            }
        }
        if (t.size() == 1 && (t.at(0).unicode() == 9 || t.at(0).unicode() == 27))
            return;
        QLineEdit::keyPressEvent(event);
        if (!event->isAccepted())
            PassBeyondGrid(event);
    });
}

void Tyq_InplaceEdit::PassBeyondGrid(QKeyEvent* event)
{
    // A key the editor and the grid have no use for goes to the window
    // around the grid, never back into the grid.
    event->ignore();
    if (QWidget* parent = grid_->parentWidget())
        QCoreApplication::sendEvent(parent, event);
    event->accept();
}

void Tyq_InplaceEdit::TrackButton(const QPoint& pos)
{
    const bool now = tracking_ && ButtonRect().contains(pos);
    if (now != pressed_) {
        pressed_ = now;
        update(ButtonRect());
    }
}

void Tyq_InplaceEdit::StopTracking()
{
    if (tracking_) {
        TrackButton(QPoint(-1, -1));
        tracking_ = false;
    }
}

void Tyq_InplaceEdit::mousePressEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        if (event->button() == Qt::LeftButton && style_ != esSimple
            && ButtonRect().contains(event->position().toPoint())) {
            if (ListVisible()) {
                CloseUp(false);
            } else {
                tracking_ = true;
                TrackButton(event->position().toPoint());
                if (activeList_)
                    DropDown();
            }
            event->accept();
            return;
        }
        QLineEdit::mousePressEvent(event);
    });
}

void Tyq_InplaceEdit::mouseMoveEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        const QPoint pos = event->position().toPoint();
        if (style_ != esSimple)
            setCursor(ButtonRect().contains(pos) ? Qt::ArrowCursor : Qt::IBeamCursor);
        if (tracking_) {
            const QPoint global = event->globalPosition().toPoint();
            if (ListVisible() && pickList_->geometry().contains(global)) {
                // A drag from the button into the list picks an item there.
                StopTracking();
                pickList_->captured_ = true;
                pickList_->viewport()->grabMouse();
                pickList_->SelectAt(pickList_->mapFromGlobal(global));
            } else {
                TrackButton(pos);
            }
            event->accept();
            return;
        }
        QLineEdit::mouseMoveEvent(event);
    });
}

void Tyq_InplaceEdit::mouseReleaseEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        const bool wasPressed = pressed_;
        const bool wasTracking = tracking_;
        StopTracking();
        if (wasTracking) {
            if (event->button() == Qt::LeftButton && style_ == esEllipsis && wasPressed)
                grid_->EditButtonClick();
            event->accept();
            return;
        }
        QLineEdit::mouseReleaseEvent(event);
    });
}

void Tyq_InplaceEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (style_ != esSimple && ButtonRect().contains(event->position().toPoint())) {
        event->accept();
        return;
    }
    QLineEdit::mouseDoubleClickEvent(event);
}

void Tyq_InplaceEdit::focusInEvent(QFocusEvent* event)
{
    GuardedCall([&] {
        QLineEdit::focusInEvent(event);
        // Entered from the keyboard or by the grid: all the text is selected.
        const Qt::FocusReason reason = event->reason();
        if (reason != Qt::MouseFocusReason && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            selectAll();
        if (!grid_->focusInside_ && event->reason() != Qt::ActiveWindowFocusReason)
            grid_->FocusEnteredGrid();
    });
}

void Tyq_InplaceEdit::focusOutEvent(QFocusEvent* event)
{
    GuardedCall([&] {
        CloseUp(false);
        StopTracking();
        QLineEdit::focusOutEvent(event);
        if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
            return;
        QWidget* now = QApplication::focusWidget();
        if (now != grid_ && !grid_->isAncestorOf(now))
            grid_->FocusLeftGrid();
    });
}

void Tyq_InplaceEdit::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    if (style_ == esSimple)
        return;
    QPainter p(this);
    PaintButton(p);
}

void Tyq_InplaceEdit::PaintButton(QPainter& p)
{
    const QRect r = ButtonRect();
    const QPalette& pal = palette();
    const QBrush face = pal.brush(QPalette::Button);
    if (pressed_) {
        // Drawn flat while pressed.
        p.fillRect(r, face);
        p.setPen(pal.color(QPalette::Dark));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    } else {
        qDrawWinPanel(&p, r, pal, false, &face);
    }
    if (style_ == esEllipsis) {
        const int w = r.width();
        const int gap = std::clamp((w - 12) / 2, 1, 3);
        int x = r.left() + (w - 6 - 2 * gap) / 2 + (pressed_ ? 1 : 0);
        const int y = (height() - 2) / 2 + (pressed_ ? 1 : 0);
        for (int i = 0; i < 3; ++i) {
            p.fillRect(x, y, 2, 2, Qt::black);
            x += 2 + gap;
        }
    } else {
        QStyleOption opt;
        opt.initFrom(this);
        opt.rect = r.adjusted(3, 3, -3, -3);
        if (pressed_)
            opt.rect.translate(1, 1);
        if (!activeList_) {
            opt.state &= ~QStyle::State_Enabled;
            opt.palette.setCurrentColorGroup(QPalette::Disabled);
        }
        opt.palette.setColor(QPalette::ButtonText, activeList_ ? Qt::black : pal.color(QPalette::Dark));
        style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &opt, &p, this);
    }
}
