#pragma once
// What the code books and the staff schedule share: a grid over one table
// that is a book the clerk edits (mode 0) or a picker answering the chosen
// row (mode 9), with the edit mode, the keys and the deletion question.

#include "foundation/ui/base/FormBase.h"

#include <QStringList>

class Cursor;
class TDBGrid;

enum : int { sprBook = 0, sprPicker = 9 };

class TFormGridBook : public TForm {
    Q_OBJECT
public:
    TFormGridBook(QWidget* parent, const QString& name);

    int Mode() const { return mode_; }
    bool EditMode() const { return editMode_; }
    TDBGrid* Grid() const { return grid_; }
    // Posts a modified row, drops a new row the clerk did not fill.
    virtual void LeaveEditMode() = 0;
    // A row in edit with a change not yet stored: text typed in a cell, or a
    // field changed (a new row left as it came is no change).
    bool HasUnsavedRow() const;
    // Every way of closing but OK asks about an unsaved row first (Yes posts
    // it, No drops it); a refused value keeps the book open.
    void done(int result) override;

protected:
    // Esc drops the grid's text first, then leaves the edit mode, then the
    // window; Enter chooses in a picker.
    bool FormKeyDown(QKeyEvent* event) override;
    void SetEditMode(bool on);
    // Every field of the current row as text, to see whether a new row was filled.
    static QStringList RowValues(Cursor& table);
    // The row after the clerk's yes to text; a refused delete is shown.
    static void DeleteAfterQuestion(Cursor& table, const QString& text);

    TDBGrid* grid_ = nullptr;
    int mode_ = sprBook;
    bool editMode_ = false;
    bool appended_ = false;
    QStringList appendedValues_;
};
