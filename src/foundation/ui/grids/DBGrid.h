#pragma once
// The data-aware grid: a table view over a cursor of the table layer. The
// view's current row and the cursor's row follow each other; editing in
// place edits, inserts, posts and cancels through the cursor, as the old
// class library's data grid did:
//   - a typed character or F2 opens the editor (Enter too when the window
//     has no default button); the first change puts the row in edit state;
//   - Enter stores the editor's text in the field; Esc first discards the
//     editor's text, then cancels the row's changes (or the new row);
//   - leaving the row posts it (an untouched new row is dropped); a refused
//     post (a key violation) is shown and the clerk stays on the row;
//   - Insert inserts a row before the current one, Down on the last row
//     appends one, Ctrl+Delete deletes the row after ConfirmDelete.
// Boolean columns show and pick "Да"/"Нет". Rows are read in blocks through
// a second cursor on the same table, so the clerk's cursor and its events
// stay put however far the view scrolls.

#include "foundation/ui/base/UiTypes.h"
#include "foundation/ui/edits/ComboEdit.h"
#include "foundation/ui/grids/DBGridModel.h"
#include "foundation/ui/grids/YQRGrids.h"

#include <QListWidget>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

// The grid's editor: a plain edit, or an edit with a drop-down pick list or
// an ellipsis button. A double click in a pick-list editor takes the next
// value of the list.
class TDBGridInplaceEdit : public Tyq_CustomComboEdit {
    Q_OBJECT
public:
    TDBGridInplaceEdit(TDBGrid* grid, QWidget* parent);

    TDBGrid* Grid() const { return grid_; }
    void Setup(TInplaceEditStyle style, const QStringList& pickList, int maxLength, TAlignment alignment);
    TInplaceEditStyle EditStyle() const { return style_; }
    QListWidget* PickList() const { return list_; }
    bool ListVisible() const { return PopupVisible(); }

    // Shows a cell's text; it is the text Esc goes back to.
    void LoadText(const QString& text);
    bool Loaded() const { return loaded_; }
    const QString& OriginalText() const { return original_; }
    bool TextModified() const { return text() != original_; }
    // The text was stored in the field: it becomes the one to go back to.
    void Stored() { original_ = text(); }
    // The pick list's next value (after the last one the first).
    void SelectNextValue();

signals:
    // The clerk changed the text (typing, the list, a double click).
    void EditorChanged();

protected:
    void PopupSetValue(const QString& text) override;
    QString PopupValue() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TDBGrid* grid_;
    TInplaceEditStyle style_ = esSimple;
    QListWidget* list_ = nullptr;
    QString original_;
    bool loaded_ = false;
    bool loading_ = false;
};

using TDBGridKeyEvent = std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;

class TDBGrid : public QTableView {
    Q_OBJECT
public:
    // Options, with the old names. They live in the class: the routine
    // dgColumnResize (FormFuncs) has the name of one of them.
    enum TDBGridOption {
        dgEditing,
        dgTitles,
        dgIndicator,
        dgColumnResize,
        dgColLines,
        dgRowLines,
        dgTabs,
        dgRowSelect,
        dgAlwaysShowSelection,
        dgConfirmDelete,
        dgCancelOnExit,
    };
    using TDBGridOptions = TSet<TDBGridOption>;
    static constexpr TDBGridOptions kDefaultOptions{dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines,
        dgRowLines, dgTabs, dgConfirmDelete, dgCancelOnExit};

    // Name is the component name (the objectName).
    explicit TDBGrid(QWidget* parent = nullptr, const QString& name = QString());
    ~TDBGrid() override;

    void SetDataSet(Cursor* dataSet);
    Cursor* DataSet() const { return model_->DataSet(); }
    TDBGridColumns& Columns() { return model_->Columns(); }
    TDBGridModel* Model() const { return model_; }

    TDBGridOptions Options() const { return options_; }
    void SetOptions(TDBGridOptions options);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);

    // The view column of the current cell.
    int SelectedIndex() const;
    void SetSelectedIndex(int column);
    bool EditorMode() const { return editor_ != nullptr; }
    void SetEditorMode(bool on);
    TDBGridInplaceEdit* InplaceEditor() const { return editor_; }

    // Where the last mouse press or double click happened (on the titles
    // too), in the grid's coordinates: for TitleColumnAt in OnDblClick.
    QPoint LastMousePos() const { return lastMousePos_; }

    // What the keys do, for forms that offer them on buttons as well.
    void InsertRecord();
    void AppendRecord();
    void DeleteRecord();
    void CancelRecord();
    // Stores an open editor's text in the field; false when it was refused.
    bool PostEditor();

    // Fired on a double click on a cell or a title.
    TNotifyHandler OnDblClick;
    // The ellipsis button of a cbsEllipsis column (or Ctrl+Enter in its editor).
    TNotifyHandler OnEditButtonClick;
    // Before the grid handles a key; Key 0 stops it.
    TDBGridKeyEvent OnKeyDown;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString& search) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TDBGridDelegate;
    void ApplyOptions();
    void ApplyColumnWidths();
    void UpdateRowHeight();
    void FollowCursor(int row);
    void RestoreCurrent(int row, int column);
    void KeepSelectionOnCurrent();
    // The title with the header's margins.
    int TitleWidth(const TColumn& column) const;
    int DefaultColumnWidth(const TColumn& column) const;
    bool CanModify() const;
    bool CanEditCell(const QModelIndex& index) const;
    bool WindowHasDefaultButton() const;
    void FocusChanged(QWidget* old, QWidget* now);
    // Editor events, from the delegate.
    void EditorOpened(TDBGridInplaceEdit* editor, const QModelIndex& index);
    void EditorClosed(TDBGridInplaceEdit* editor);
    void EditorChanged();
    bool CommitEditor(TDBGridInplaceEdit* editor);
    void CloseEditorDiscarding();
    // True when the grid took the key; otherwise the editor gets it.
    bool EditorKey(TDBGridInplaceEdit* editor, QKeyEvent* event);
    bool EditorFocusOut(TDBGridInplaceEdit* editor, QFocusEvent* event);

    TDBGridModel* model_;
    class TDBGridDelegate* delegate_;
    TDBGridOptions options_ = kDefaultOptions;
    bool readOnly_ = false;
    QPointer<TDBGridInplaceEdit> editor_;
    QPersistentModelIndex editorIndex_;
    bool syncing_ = false;
    bool committing_ = false;
    bool commitFailed_ = false;
    bool applyingWidths_ = false;
    QString rejectedText_;
    // The editor whose text a focus change could not store just now.
    QPointer<TDBGridInplaceEdit> rejectedBy_;
    int savedScroll_ = 0;
    int savedColumn_ = 0;
    QPoint lastMousePos_;
};

// Every data grid of the application: a column of a Boolean field with an
// empty pick list and no display values gets the display values "Да;Нет"
// and the pick list "Да", "Нет". (A grid does the same for each column when
// the column's field is first known, so that later windows need no call.)
void SetBooleanPickListsInAllGrids();
