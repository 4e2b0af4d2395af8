#include "foundation/ui/grids/YQRGrids.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

#include <algorithm>

// ----------------------------------------------------------------- editor

bool Tyq_DrawGrid::IsActiveControl() const
{
    // The window's focus widget: an inactive window still knows where its focus will return.
    QWidget* f = window()->focusWidget();
    return f && (f == this || isAncestorOf(f));
}

bool Tyq_DrawGrid::CanEditShow()
{
    const bool base = options_.Contains(goEditing) && !options_.Contains(goRowSelect) && editorMode_
        && (options_.Contains(goAlwaysShowEditor) || IsActiveControl());
    if (!base)
        return false;
    bool allow = true;
    if (OnShowEditor)
        OnShowEditor(this, current_.X, current_.Y, allow);
    if (!allow) {
        // A refused cell hides the editor; with an editor that is always
        // shown, the mode stays on so that the next cell gets one.
        if (options_.Contains(goAlwaysShowEditor))
            HideEdit();
        else
            HideEditor();
    }
    return allow;
}

void Tyq_DrawGrid::UpdateEdit()
{
    if (!CanEditShow())
        return;
    auto updateEditor = [this] {
        inplaceCol_ = current_.X;
        inplaceRow_ = current_.Y;
        editor_->UpdateContents();
        // A negative limit marks a cell that may be looked at but not changed.
        canEditModify_ = editor_->limit_ >= 0;
        editor_->setReadOnly(!canEditModify_);
        editor_->selectAll();
    };
    if (!editor_) {
        editor_ = new Tyq_InplaceEdit(this);
        updateEditor();
    } else if (current_.X != inplaceCol_ || current_.Y != inplaceRow_) {
        HideEdit();
        updateEditor();
    }
    const QRect r = CellRect(current_.X, current_.Y);
    if (r.isEmpty()) {
        editor_->hide();
        return;
    }
    editor_->setGeometry(r);
    editor_->show();
    editor_->raise();
    if (hasFocus())
        editor_->setFocus(Qt::OtherFocusReason);
}

void Tyq_DrawGrid::UpdateText()
{
    if (inplaceCol_ != -1 && inplaceRow_ != -1 && editor_ && !updatingText_) {
        updatingText_ = true;
        try {
            SetEditText(inplaceCol_, inplaceRow_, editor_->text());
        } catch (...) {
            updatingText_ = false;
            throw;
        }
        updatingText_ = false;
        editor_->typed_ = false;
    }
}

void Tyq_DrawGrid::HideEdit()
{
    if (!editor_)
        return;
    const bool hadFocus = editor_->hasFocus();
    // A text the grid refuses (an exception) keeps the editor open on its cell.
    UpdateText();
    inplaceCol_ = -1;
    inplaceRow_ = -1;
    editor_->CloseUp(false);
    if (editor_->isVisible()) {
        // The focus goes back to the grid before the editor disappears.
        if (hadFocus)
            setFocus(Qt::OtherFocusReason);
        editor_->hide();
    }
    InvalidateCell(current_.X, current_.Y);
}

void Tyq_DrawGrid::ShowEditor()
{
    editorMode_ = true;
    UpdateEdit();
}

void Tyq_DrawGrid::HideEditor()
{
    const bool was = editorMode_;
    editorMode_ = false;
    try {
        HideEdit();
    } catch (...) {
        editorMode_ = was;
        throw;
    }
}

void Tyq_DrawGrid::SetEditorMode(bool value)
{
    if (!value) {
        HideEditor();
    } else {
        ShowEditor();
        if (editor_ && editor_->isVisible())
            editor_->Deselect();
    }
}

QString Tyq_DrawGrid::GetEditText(int col, int row)
{
    QString value;
    if (OnGetEditText)
        OnGetEditText(this, col, row, value);
    return value;
}

void Tyq_DrawGrid::SetEditText(int col, int row, const QString& value)
{
    // Text set while an edit is being cancelled is dropped.
    if (cancelling_)
        return;
    if (OnSetEditText)
        OnSetEditText(this, col, row, value);
}

bool Tyq_DrawGrid::CanEditAcceptKey(QChar key)
{
    if (!OnAcceptEditKey)
        return true;
    return OnAcceptEditKey(this, key);
}

int Tyq_DrawGrid::GetEditLimit()
{
    int limit = 0;
    if (OnGetEditLimit)
        OnGetEditLimit(this, limit);
    return limit;
}

TAlignment Tyq_DrawGrid::GetEditAlign(int col, int row)
{
    TAlignment a = taLeftJustify;
    if (OnGetEditAlign)
        OnGetEditAlign(this, col, row, a);
    return a;
}

TInplaceEditStyle Tyq_DrawGrid::GetEditStyle(int col, int row)
{
    TInplaceEditStyle s = esSimple;
    if (OnGetEditStyle)
        OnGetEditStyle(this, col, row, s);
    return s;
}

void Tyq_DrawGrid::GetPickList(int col, int row, QStringList& list)
{
    if (OnGetPicklist)
        OnGetPicklist(this, col, row, list);
}

void Tyq_DrawGrid::EditButtonClick()
{
    if (OnEditButtonClick)
        OnEditButtonClick(this);
}

void Tyq_DrawGrid::EditorTextChanged()
{
    // An editor that is always shown stores when its cell is left, never a
    // half-typed value.
    if (options_.Contains(goAlwaysShowEditor))
        return;
    if (editor_ && editor_->isVisible() && OnEditChange)
        OnEditChange(this);
}

// ----------------------------------------------------------------- focus

void Tyq_DrawGrid::FocusEnteredGrid()
{
    focusInside_ = true;
    InvalidateGrid();
    UpdateEdit();
    if (OnChangeFocus)
        OnChangeFocus(this);
}

void Tyq_DrawGrid::FocusLeftGrid()
{
    focusInside_ = false;
    StopFixedTracking();
    // What was typed is kept: the text is stored before the editor hides
    // (an editor that is always shown stays).
    if (editor_ && !options_.Contains(goAlwaysShowEditor))
        HideEdit();
    else if (editor_ && editor_->Typed())
        UpdateText();
    InvalidateGrid();
    if (OnChangeFocus)
        OnChangeFocus(this);
}

void Tyq_DrawGrid::focusInEvent(QFocusEvent* event)
{
    GuardedCall([&] {
        QAbstractScrollArea::focusInEvent(event);
        if (!focusInside_ && event->reason() != Qt::ActiveWindowFocusReason)
            FocusEnteredGrid();
        else
            InvalidateGrid();
    });
}

void Tyq_DrawGrid::focusOutEvent(QFocusEvent* event)
{
    GuardedCall([&] {
        QAbstractScrollArea::focusOutEvent(event);
        if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) {
            StopFixedTracking();
            InvalidateGrid();
            return;
        }
        QWidget* now = QApplication::focusWidget();
        if (now && isAncestorOf(now))
            return;
        FocusLeftGrid();
    });
}

bool Tyq_DrawGrid::MoveFocusOut(bool next)
{
    if (editor_ && editor_->hasFocus())
        setFocus(Qt::OtherFocusReason);
    return QAbstractScrollArea::focusNextPrevChild(next);
}

bool Tyq_DrawGrid::focusNextPrevChild(bool next) { return MoveFocusOut(next); }

bool Tyq_DrawGrid::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress && options_.Contains(goTabs)) {
        auto* ke = static_cast<QKeyEvent*>(event);
        if ((ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) && !(ke->modifiers() & Qt::AltModifier)) {
            GuardedCall([&] {
                int key = Qt::Key_Tab;
                KeyDown(key, ke->key() == Qt::Key_Backtab ? Qt::ShiftModifier : ke->modifiers());
            });
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

// ----------------------------------------------------------------- keys

bool Tyq_DrawGrid::KeyDown(int& key, Qt::KeyboardModifiers shift)
{
    shift &= ~Qt::KeypadModifier;
    if (key == Qt::Key_Escape && !(shift & Qt::ControlModifier) && editorMode_ && editor_ && editor_->isVisible()
        && options_.Contains(goAlwaysShowEditor) && editor_->Typed()) {
        // The cell as it was; the editor stays for the next try.
        editor_->UpdateContents();
        editor_->selectAll();
        key = 0;
        return true;
    }
    if (key == Qt::Key_Escape && !(shift & Qt::ControlModifier) && editorMode_ && editor_ && editor_->isVisible()
        && !options_.Contains(goAlwaysShowEditor)) {
        cancelling_ = true;
        HideEditor();
        cancelling_ = false;
        if (OnCancelEdit)
            OnCancelEdit(this);
        key = 0;
        return true;
    }
    if (OnKeyDown) {
        OnKeyDown(this, key, shift);
        if (key == 0)
            return true;
    }
    const bool ctrl = shift & Qt::ControlModifier;
    const bool rowSelect = options_.Contains(goRowSelect);
    TGridCoord cur = current_;
    TGridCoord tl = topLeft_;
    const int pageWidth = std::max(1, VisibleColCount());
    const int pageHeight = std::max(1, VisibleRowCount());
    bool handled = true;
    if (ctrl) {
        switch (key) {
        case Qt::Key_Up: --tl.Y; break;
        case Qt::Key_Down: ++tl.Y; break;
        case Qt::Key_Left:
            if (!rowSelect) {
                cur.X -= pageWidth;
                tl.X -= pageWidth;
            }
            break;
        case Qt::Key_Right:
            if (!rowSelect) {
                cur.X += pageWidth;
                tl.X += pageWidth;
            }
            break;
        case Qt::Key_PageUp: cur.Y = topLeft_.Y; break;
        case Qt::Key_PageDown: cur.Y = topLeft_.Y + pageHeight - 1; break;
        case Qt::Key_Home: cur = {fixedCols_, fixedRows_}; break;
        case Qt::Key_End: cur = {colCount_ - 1, rowCount_ - 1}; break;
        default: handled = false; break;
        }
    } else {
        switch (key) {
        case Qt::Key_Up: --cur.Y; break;
        case Qt::Key_Down: ++cur.Y; break;
        case Qt::Key_Left:
            if (rowSelect)
                --tl.X;
            else
                --cur.X;
            break;
        case Qt::Key_Right:
            if (rowSelect)
                ++tl.X;
            else
                ++cur.X;
            break;
        case Qt::Key_PageDown:
            cur.Y += pageHeight;
            tl.Y += pageHeight;
            break;
        case Qt::Key_PageUp:
            cur.Y -= pageHeight;
            tl.Y -= pageHeight;
            break;
        case Qt::Key_Home:
            if (rowSelect)
                cur.Y = fixedRows_;
            else
                cur.X = fixedCols_;
            break;
        case Qt::Key_End:
            if (rowSelect)
                cur.Y = rowCount_ - 1;
            else
                cur.X = colCount_ - 1;
            break;
        case Qt::Key_Tab:
            if (!(shift & Qt::AltModifier)) {
                if (shift & Qt::ShiftModifier) {
                    if (--cur.X < fixedCols_) {
                        cur.X = colCount_ - 1;
                        if (--cur.Y < fixedRows_)
                            cur.Y = rowCount_ - 1;
                    }
                } else if (++cur.X >= colCount_) {
                    cur.X = fixedCols_;
                    if (++cur.Y >= rowCount_)
                        cur.Y = fixedRows_;
                }
            }
            break;
        case Qt::Key_F2: SetEditorMode(true); return true;
        default: handled = false; break;
        }
    }
    if (!handled)
        return false;
    tl.X = std::clamp(tl.X, fixedCols_, std::max(fixedCols_, MaxLeftCol()));
    tl.Y = std::clamp(tl.Y, fixedRows_, std::max(fixedRows_, MaxTopRow()));
    cur.X = std::clamp(cur.X, fixedCols_, colCount_ - 1);
    cur.Y = std::clamp(cur.Y, fixedRows_, rowCount_ - 1);
    if (!(tl == topLeft_))
        MoveTopLeft(tl.X, tl.Y);
    if (!(cur == current_)) {
        if ((shift & Qt::ShiftModifier) && options_.Contains(goRangeSelect) && key != Qt::Key_Tab) {
            MoveCurrent(cur.X, cur.Y, false, true);
            UpdateEdit();
            if (OnClick)
                OnClick(this);
        } else {
            FocusCell(cur.X, cur.Y);
        }
    }
    return true;
}

bool Tyq_DrawGrid::KeyPress(QChar& key)
{
    if (OnKeyPress) {
        OnKeyPress(this, key);
        if (key.isNull())
            return true;
    }
    // Enter opens and closes the editor; a grid that cannot edit leaves it
    // to the window (its default button).
    if (!options_.Contains(goAlwaysShowEditor) && key.unicode() == 13 && options_.Contains(goEditing)
        && !options_.Contains(goRowSelect)) {
        if (editorMode_ && editor_ && editor_->isVisible())
            HideEditor();
        else
            ShowEditor();
        key = QChar();
        return true;
    }
    return false;
}

void Tyq_DrawGrid::keyPressEvent(QKeyEvent* event)
{
    GuardedCall([&] {
        int key = event->key();
        if (KeyDown(key, event->modifiers()) || key == 0) {
            event->accept();
            return;
        }
        const QString t = event->text();
        const bool ctrl = event->modifiers() & Qt::ControlModifier;
        if (!t.isEmpty() && IsTextChar(t.at(0)) && !ctrl) {
            const QChar ch = t.at(0);
            if (options_.Contains(goEditing) && ch.unicode() != 13) {
                // A typed character opens the editor and goes into it.
                ShowEditor();
                if (editor_ && editor_->isVisible()) {
                    QKeyEvent copy(QEvent::KeyPress, event->key(), event->modifiers(), t);
                    editor_->keyPressEvent(&copy);
                }
                event->accept();
                return;
            }
            QChar k = ch;
            if (KeyPress(k)) {
                event->accept();
                return;
            }
        }
        event->ignore();
    });
}
