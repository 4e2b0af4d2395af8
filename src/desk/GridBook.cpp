#include "desk/GridBook.h"
#include "db/Cursor.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/grids/DBGrid.h"
#include "platform/Exceptions.h"

#include <QKeyEvent>

TFormGridBook::TFormGridBook(QWidget* parent, const QString& name) : TForm(parent, name) { SetButtonMnemonics(true); }

bool TFormGridBook::FormKeyDown(QKeyEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        if (grid_->EditorMode())
            return false; // the grid drops the typed text first
        if (mode_ == sprPicker)
            RunGuarded([this] { SetModalResult(mrCancel); });
        else if (editMode_)
            RunGuarded([this] { LeaveEditMode(); });
        else
            SetModalResult(mrCancel);
        return true;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mode_ == sprPicker && !editMode_) {
        RunGuarded([this] { SetModalResult(mrOk); });
        return true;
    }
    return false;
}

bool TFormGridBook::HasUnsavedRow() const
{
    if (!editMode_)
        return false;
    if (grid_->EditorMode() && grid_->InplaceEditor()->TextModified())
        return true;
    Cursor* c = grid_->DataSet();
    if (!c || !c->Active() || c->State() == CursorState::Browse || !c->Modified())
        return false;
    return !appended_ || RowValues(*c) != appendedValues_;
}

void TFormGridBook::done(int result)
{
    if (result != mrOk && HasUnsavedRow()) {
        Cursor* c = grid_->DataSet();
        const QString details
            = windowTitle() + QStringLiteral(" :\r\nзапись №") + c->FieldByName(QStringLiteral("NUM")).AsString();
        const bool closed = SaveOrDropChanges(
            details, [this] { LeaveEditMode(); },
            [this] {
                grid_->CancelRecord();
                LeaveEditMode();
            });
        if (!closed)
            return;
    }
    TForm::done(result);
}

void TFormGridBook::SetEditMode(bool on)
{
    editMode_ = on;
    grid_->SetReadOnly(!on);
    if (on)
        grid_->setFocus();
}

QStringList TFormGridBook::RowValues(Cursor& table)
{
    QStringList values;
    for (int i = 0; i < table.FieldCount(); ++i)
        values << table.FieldAt(i).AsString();
    return values;
}

void TFormGridBook::DeleteAfterQuestion(Cursor& table, const QString& text)
{
    if (!ConfirmDelete(text, QString()))
        return;
    try {
        table.Delete();
    } catch (const Exception& e) {
        ShowError(QStringLiteral("Ошибка при удалении записи|") + EscapeBars(e.Message()));
    }
}
