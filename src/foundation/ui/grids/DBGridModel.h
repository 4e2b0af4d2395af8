#pragma once
// The model under the data-aware grid: its columns and the rows of a cursor
// as a Qt table model. The cursor's own row is read from the cursor (it may
// be in edit state); the other rows come in blocks from a second cursor on
// the same table, so the clerk's cursor and its events stay put however far
// the view scrolls.

#include "db/Cursor.h"
#include "foundation/ui/base/UiTypes.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <memory>
#include <vector>

class TDBGrid;
class TDBGridColumns;
class TDBGridModel;

// The button of a column's editor: cbsAuto shows the drop-down arrow when
// the column has a pick list.
enum TColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };

// One column of a data grid. The setters answer the column, so that a form
// can write grid->Columns().Add("NAIM", "Наименование", 200).SetReadOnly(true).
class TColumn {
public:
    const QString& FieldName() const { return fieldName_; }
    TColumn& SetFieldName(const QString& fieldName);
    // The title caption; the field name while none is set.
    QString Title() const { return title_.isEmpty() ? fieldName_ : title_; }
    TColumn& SetTitle(const QString& title);
    // Pixels; -1 takes a width from the field's size and the title.
    int Width() const { return width_; }
    TColumn& SetWidth(int width);
    bool ReadOnly() const { return readOnly_; }
    TColumn& SetReadOnly(bool readOnly);
    const QStringList& PickList() const { return pickList_; }
    TColumn& SetPickList(const QStringList& pickList);
    // Texts of a Boolean field: "true text;false text".
    const QString& DisplayValues() const { return displayValues_; }
    TColumn& SetDisplayValues(const QString& displayValues);
    // Numbers are right-aligned and other fields left-aligned until set.
    TAlignment Alignment() const;
    TColumn& SetAlignment(TAlignment alignment);
    TColumnButtonStyle ButtonStyle() const { return buttonStyle_; }
    TColumn& SetButtonStyle(TColumnButtonStyle style);
    bool Visible() const { return visible_; }
    TColumn& SetVisible(bool visible);

    // The field's type and size while the grid's cursor is open (Unknown
    // otherwise, and for a name the table does not have).
    FieldType FieldKind() const { return type_; }
    int FieldSize() const { return fieldSize_; }
    // Characters a default column is wide enough for.
    int DisplayChars() const;

private:
    friend class TDBGrid;
    friend class TDBGridColumns;
    friend class TDBGridModel;
    explicit TColumn(TDBGridColumns* owner) : owner_(owner) {}
    void Changed(bool layout);

    TDBGridColumns* owner_;
    QString fieldName_;
    QString title_;
    int width_ = -1;
    bool readOnly_ = false;
    QStringList pickList_;
    QString displayValues_;
    bool alignmentSet_ = false;
    TAlignment alignment_ = taLeftJustify;
    TColumnButtonStyle buttonStyle_ = cbsAuto;
    bool visible_ = true;
    // A new column takes the Boolean texts when its field is first known.
    bool defaultsPending_ = true;
    FieldType type_ = FieldType::Unknown;
    int fieldSize_ = 0;
};

// The columns of a grid. Without columns of its own the grid shows one per
// field of its cursor (the default columns, rebuilt when the cursor opens);
// the first Add replaces them.
class TDBGridColumns {
public:
    explicit TDBGridColumns(TDBGridModel* model) : model_(model) {}
    TDBGridColumns(const TDBGridColumns&) = delete;
    TDBGridColumns& operator=(const TDBGridColumns&) = delete;

    int Count() const { return int(items_.size()); }
    // Raises EListError outside 0..Count-1.
    TColumn& Items(int index) const;
    TColumn& operator[](int index) const { return Items(index); }
    TColumn& Add(const QString& fieldName = QString(), const QString& title = QString(), int width = -1);
    void Delete(int index);
    // Back to the default columns.
    void Clear();
    bool IsDefault() const { return default_; }
    // The first column of that field (letter case ignored), -1 when none.
    int IndexOfField(const QString& fieldName) const;

private:
    friend class TColumn;
    friend class TDBGridModel;
    void Changed(bool layout);

    TDBGridModel* model_;
    std::vector<std::unique_ptr<TColumn>> items_;
    bool default_ = true;
    int updating_ = 0;
};

// The model of a data grid over a cursor. Only the cursor's row is read
// from the cursor (it may be in edit state); the other rows come in blocks
// from a second cursor that follows the first one's index, range, master
// link and filter. While the cursor's controls are disabled the model
// neither signals nor reads the cursor.
class TDBGridModel : public QAbstractTableModel, private CursorObserver {
    Q_OBJECT
public:
    static constexpr int kBlockRows = 64;
    static constexpr int kCachedBlocks = 16;

    explicit TDBGridModel(QObject* parent = nullptr);
    ~TDBGridModel() override;

    void SetDataSet(Cursor* dataSet);
    Cursor* DataSet() const { return cursor_; }
    TDBGridColumns& Columns() { return columns_; }
    // The visible column shown at a view column, nullptr outside.
    TColumn* ColumnAt(int viewColumn) const;

    // Whether the grid lets the clerk change anything (its editing option
    // and ReadOnly).
    void SetEditable(bool editable);
    bool Editable() const { return editable_; }
    bool CanEditColumn(int viewColumn) const;

    // The view row of the cursor's row; -1 when the cursor is closed. An
    // open empty cursor shows one blank row (typing into it appends).
    int CursorRow() const { return curRow_; }
    bool Inserting() const { return inserting_; }
    // Moves the cursor to a view row: the pending row is posted or dropped
    // first, as before every move. May raise (a refused post).
    void MoveToRow(int row);
    // Where the next row the cursor begins to insert is shown: before that
    // view row, or at the end (-1, the default: appends from code go there).
    void SetInsertPosition(int row) { insertHint_ = row; }

    QString CellText(int row, int viewColumn) const;
    // Stores a typed text in the field of the cursor's row, putting the row
    // in edit state first. A text that does not convert raises.
    void SetCellText(int viewColumn, const QString& text);
    // Boolean columns without a pick list and display values get "Да;Нет".
    void SetBooleanPickLists();

    // Reads everything again (count, position, rows).
    void Reload();
    // Blocks of rows read so far (tests and benchmarks look at it).
    int BlocksRead() const { return blocksRead_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The cursor's row moved to another view row (or the rows were read again).
    void CursorRowChanged(int row);
    // The columns were rebuilt or changed their layout.
    void ColumnsReset();

private:
    friend class TDBGridColumns;
    struct CachedRow {
        Bookmark bookmark;
        QStringList texts;
    };
    struct Block {
        int first = 0;
        std::vector<CachedRow> rows;
        uint64_t used = 0;
    };

    void CursorChanged(Cursor& cursor, CursorChange change) override;
    void HandleChange(CursorChange change);
    void ColumnsChanged(bool layout);
    void RebuildVisible();
    void BuildDefaultColumns();
    void ResolveFields();
    void SyncReader();
    void CloseReader();
    void ResetRows();
    void ComputeRows();
    int RowOfCursor();
    void SetCursorRow(int row);
    void RowChanged(int row);
    bool ShowsCursorRow(int row) const;
    bool IsBlankRow(int row) const;
    int DataRow(int row) const;
    const CachedRow* Cached(int dataRow) const;
    QString FieldText(const Field& field, const TColumn& column) const;

    Cursor* cursor_ = nullptr;
    std::unique_ptr<Cursor> reader_;
    TDBGridColumns columns_;
    std::vector<int> visible_; // column indexes of the view's columns
    std::vector<Field> fields_; // the cursor's field of each column
    std::vector<Field> readerFields_;
    bool editable_ = true;

    int count_ = 0; // rows of the cursor (a row being inserted not counted)
    int curRow_ = -1;
    bool inserting_ = false;
    int insertAt_ = 0;
    int insertHint_ = -1;
    Bookmark moveTarget_; // the row MoveToRow is going to, and its view row
    int moveRow_ = -1;

    mutable std::vector<Block> blocks_;
    mutable uint64_t useClock_ = 0;
    mutable int blocksRead_ = 0;
    mutable bool reported_ = false;
};
