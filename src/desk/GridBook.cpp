#include "desk/GridBook.h"
#include "db/Cursor.h"
#include "foundation/Messages.h"
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
