#include "foundation/ui/grids/DBGrid.h"

#include "foundation/Messages.h"
#include "foundation/ui/base/FormBase.h"
#include "foundation/ui/base/FormFuncs.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kIndicatorWidth = 14;

bool IsNumeric(FieldType type)
{
    return type == FieldType::Integer || type == FieldType::Smallint || type == FieldType::Float
        || type == FieldType::AutoInc;
}

bool IsEditableType(FieldType type)
{
    return type != FieldType::Unknown && type != FieldType::AutoInc && type != FieldType::Blob;
}

// "Да;Нет" -> {"Да", "Нет"}; without display values the old defaults.
QStringList BooleanTexts(const QString& displayValues)
{
    if (displayValues.isEmpty())
        return {QStringLiteral("True"), QStringLiteral("False")};
    const int p = displayValues.indexOf(QLatin1Char(';'));
    if (p < 0)
        return {displayValues, QString()};
    return {displayValues.left(p), displayValues.mid(p + 1)};
}

const QString kYesNo = QStringLiteral("Да;Нет");

// Characters a default column is wide enough for.
int DisplayChars(const TColumn& column)
{
    switch (column.FieldKind()) {
    case FieldType::String: return std::clamp(column.FieldSize(), 1, 40);
    case FieldType::Integer:
    case FieldType::AutoInc: return 11;
    case FieldType::Smallint: return 6;
    case FieldType::Float: return 10;
    case FieldType::Date: return 10;
    case FieldType::DateTime: return 18;
    case FieldType::Boolean: {
        const QStringList texts = BooleanTexts(column.DisplayValues());
        return int(std::max(texts[0].size(), texts[1].size()));
    }
    case FieldType::Blob:
    case FieldType::Unknown: break;
    }
    return 10;
}

// A typed text into a field, as the old fields took their text.
void StoreText(const Field& field, const TColumn& column, const QString& text)
{
    const QString t = text.trimmed();
    switch (field.Type()) {
    case FieldType::String: field.SetString(text); return;
    case FieldType::Integer:
    case FieldType::Smallint:
        if (t.isEmpty())
            field.Clear();
        else
            field.SetInteger(StrToInt64(t));
        return;
    case FieldType::Float:
        if (t.isEmpty())
            field.Clear();
        else
            field.SetFloat(StrToFloat(QString(t).replace(QLatin1Char('.'), QLatin1Char(','))));
        return;
    case FieldType::Date:
        if (t.isEmpty())
            field.Clear();
        else
            field.SetDateTime(StrToDate(t));
        return;
    case FieldType::DateTime:
        if (t.isEmpty())
            field.Clear();
        else
            field.SetDateTime(StrToDateTime(t));
        return;
    case FieldType::Boolean: {
        const QStringList texts = BooleanTexts(column.DisplayValues());
        if (t.isEmpty()) {
            if (texts[1].isEmpty())
                field.SetBoolean(false);
            else if (texts[0].isEmpty())
                field.SetBoolean(true);
            else
                field.Clear();
        } else if (texts[1].startsWith(t, Qt::CaseInsensitive)) {
            field.SetBoolean(false);
        } else if (texts[0].startsWith(t, Qt::CaseInsensitive)) {
            field.SetBoolean(true);
        } else {
            throw EConvertError(
                QStringLiteral("'%1' is not a valid boolean value for field '%2'").arg(t, field.Name()));
        }
        return;
    }
    case FieldType::AutoInc:
    case FieldType::Blob:
    case FieldType::Unknown: break;
    }
    throw EDatabaseError(QStringLiteral("Поле '%1' нельзя изменить").arg(field.Name()));
}

// The drop-down list of a pick-list editor: at most 8 rows high.
class TDBGridPickList final : public QListWidget {
public:
    using QListWidget::QListWidget;
    QSize sizeHint() const override
    {
        const int frame = 2 * frameWidth();
        const int rowHeight = count() > 0 ? sizeHintForRow(0) : fontMetrics().height();
        int width = 0;
        for (int i = 0; i < count(); ++i)
            width = std::max(width, fontMetrics().horizontalAdvance(item(i)->text()));
        width += frame + 8;
        if (count() > 8)
            width += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        return QSize(width, rowHeight * std::min(count(), 8) + frame);
    }
};

} // namespace

// ---------------------------------------------------------------- TColumn

TColumn& TColumn::SetFieldName(const QString& fieldName)
{
    if (fieldName_ != fieldName) {
        fieldName_ = fieldName;
        Changed(true);
    }
    return *this;
}

TColumn& TColumn::SetTitle(const QString& title)
{
    if (title_ != title) {
        title_ = title;
        Changed(false);
    }
    return *this;
}

TColumn& TColumn::SetWidth(int width)
{
    width = std::max(width, -1);
    if (width_ != width) {
        width_ = width;
        Changed(false);
    }
    return *this;
}

TColumn& TColumn::SetReadOnly(bool readOnly)
{
    if (readOnly_ != readOnly) {
        readOnly_ = readOnly;
        Changed(false);
    }
    return *this;
}

TColumn& TColumn::SetPickList(const QStringList& pickList)
{
    if (pickList_ != pickList) {
        pickList_ = pickList;
        Changed(false);
    }
    return *this;
}

TColumn& TColumn::SetDisplayValues(const QString& displayValues)
{
    if (displayValues_ != displayValues) {
        displayValues_ = displayValues;
        Changed(true);
    }
    return *this;
}

TAlignment TColumn::Alignment() const
{
    if (alignmentSet_)
        return alignment_;
    return IsNumeric(type_) ? taRightJustify : taLeftJustify;
}

TColumn& TColumn::SetAlignment(TAlignment alignment)
{
    if (!alignmentSet_ || alignment_ != alignment) {
        alignmentSet_ = true;
        alignment_ = alignment;
        Changed(false);
    }
    return *this;
}

TColumn& TColumn::SetButtonStyle(TColumnButtonStyle style)
{
    if (buttonStyle_ != style) {
        buttonStyle_ = style;
        Changed(false);
    }
    return *this;
}

TColumn& TColumn::SetVisible(bool visible)
{
    if (visible_ != visible) {
        visible_ = visible;
        Changed(true);
    }
    return *this;
}

void TColumn::Changed(bool layout)
{
    if (owner_)
        owner_->Changed(layout);
}

// ---------------------------------------------------------------- TDBGridColumns

TColumn& TDBGridColumns::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return *items_[size_t(index)];
}

TColumn& TDBGridColumns::Add(const QString& fieldName, const QString& title, int width)
{
    ++updating_;
    if (default_) {
        items_.clear();
        default_ = false;
    }
    items_.push_back(std::unique_ptr<TColumn>(new TColumn(this)));
    TColumn& column = *items_.back();
    column.fieldName_ = fieldName;
    column.title_ = title;
    column.width_ = std::max(width, -1);
    --updating_;
    Changed(true);
    return column;
}

void TDBGridColumns::Delete(int index)
{
    Items(index);
    items_.erase(items_.begin() + index);
    Changed(true);
}

void TDBGridColumns::Clear()
{
    items_.clear();
    default_ = true;
    if (model_)
        model_->BuildDefaultColumns();
    Changed(true);
}

int TDBGridColumns::IndexOfField(const QString& fieldName) const
{
    for (int i = 0; i < Count(); ++i) {
        if (items_[size_t(i)]->fieldName_.compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void TDBGridColumns::Changed(bool layout)
{
    if (updating_ == 0 && model_)
        model_->ColumnsChanged(layout);
}

// ---------------------------------------------------------------- TDBGridModel

TDBGridModel::TDBGridModel(QObject* parent) : QAbstractTableModel(parent), columns_(this) {}

TDBGridModel::~TDBGridModel()
{
    if (cursor_)
        cursor_->RemoveObserver(this);
}

void TDBGridModel::SetDataSet(Cursor* dataSet)
{
    if (cursor_ == dataSet)
        return;
    if (cursor_)
        cursor_->RemoveObserver(this);
    CloseReader();
    cursor_ = dataSet;
    if (cursor_)
        cursor_->AddObserver(this);
    HandleChange(CursorChange::Opened);
}

TColumn* TDBGridModel::ColumnAt(int viewColumn) const
{
    if (viewColumn < 0 || viewColumn >= int(visible_.size()))
        return nullptr;
    return &columns_.Items(visible_[size_t(viewColumn)]);
}

void TDBGridModel::SetEditable(bool editable)
{
    if (editable_ == editable)
        return;
    editable_ = editable;
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {});
}

bool TDBGridModel::CanEditColumn(int viewColumn) const
{
    const TColumn* column = ColumnAt(viewColumn);
    if (!editable_ || !column || column->ReadOnly() || !cursor_ || !cursor_->Active())
        return false;
    const Field& field = fields_[size_t(visible_[size_t(viewColumn)])];
    return field.IsValid() && IsEditableType(field.Type());
}

// ---- reacting to the cursor

void TDBGridModel::CursorChanged(Cursor&, CursorChange change)
{
    // A view must never break the cursor's operation: what fails here is
    // reported, and the view shows what it can.
    try {
        HandleChange(change);
    } catch (...) {
        if (!reported_) {
            reported_ = true;
            ReportException(std::current_exception());
        }
    }
}

void TDBGridModel::HandleChange(CursorChange change)
{
    switch (change) {
    case CursorChange::Opened:
    case CursorChange::Closed:
        SyncReader();
        if (columns_.IsDefault())
            BuildDefaultColumns();
        ResolveFields();
        ResetRows();
        emit ColumnsReset();
        break;
    case CursorChange::Destroyed:
        cursor_ = nullptr;
        CloseReader();
        ResolveFields();
        ResetRows();
        break;
    case CursorChange::DataSetChanged:
        SyncReader();
        ResetRows();
        break;
    case CursorChange::Scrolled: {
        const int row = moveRow_ >= 0 && cursor_->GetBookmark() == moveTarget_ ? moveRow_ : RowOfCursor();
        moveRow_ = -1;
        SetCursorRow(row);
        break;
    }
    case CursorChange::RecordChanged: RowChanged(curRow_); break;
    case CursorChange::StateChanged: {
        const bool nowInserting = cursor_->State() == CursorState::Insert;
        if (nowInserting && !inserting_) {
            const int at = insertHint_ >= 0 ? std::min(insertHint_, count_) : count_;
            insertHint_ = -1;
            if (count_ == 0) {
                // The blank row of an empty cursor becomes the new row.
                inserting_ = true;
                insertAt_ = 0;
                RowChanged(0);
            } else {
                beginInsertRows(QModelIndex(), at, at);
                inserting_ = true;
                insertAt_ = at;
                endInsertRows();
            }
            SetCursorRow(insertAt_);
        } else if (!nowInserting && inserting_) {
            ResetRows(); // posted or dropped: the rows are read again
        } else {
            RowChanged(curRow_);
        }
        break;
    }
    }
}

void TDBGridModel::ColumnsChanged(bool layout)
{
    if (layout) {
        ResolveFields();
        ResetRows();
    } else {
        if (columnCount() > 0)
            emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        if (rowCount() > 0 && columnCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {});
    }
    emit ColumnsReset();
}

void TDBGridModel::BuildDefaultColumns()
{
    columns_.items_.clear();
    if (!cursor_ || !cursor_->Active())
        return;
    for (const FieldDef& def : cursor_->Definition().fields) {
        columns_.items_.push_back(std::unique_ptr<TColumn>(new TColumn(&columns_)));
        columns_.items_.back()->fieldName_ = def.name;
    }
}

void TDBGridModel::ResolveFields()
{
    const size_t n = size_t(columns_.Count());
    fields_.assign(n, Field());
    readerFields_.assign(n, Field());
    const bool open = cursor_ && cursor_->Active();
    const bool reading = reader_ && reader_->Active();
    for (size_t i = 0; i < n; ++i) {
        TColumn& column = *columns_.items_[i];
        column.type_ = FieldType::Unknown;
        column.fieldSize_ = 0;
        if (!open)
            continue;
        fields_[i] = cursor_->FindField(column.fieldName_);
        if (reading)
            readerFields_[i] = reader_->FindField(column.fieldName_);
        if (fields_[i].IsValid()) {
            column.type_ = fields_[i].Type();
            column.fieldSize_ = fields_[i].Size();
        }
        if (column.type_ != FieldType::Unknown && column.defaultsPending_) {
            column.defaultsPending_ = false;
            if (column.type_ == FieldType::Boolean && column.pickList_.isEmpty() && column.displayValues_.isEmpty()) {
                column.displayValues_ = kYesNo;
                column.pickList_ = BooleanTexts(kYesNo);
            }
        }
    }
}

void TDBGridModel::SetBooleanPickLists()
{
    bool changed = false;
    for (const auto& c : columns_.items_) {
        if (c->type_ == FieldType::Boolean && c->pickList_.isEmpty() && c->displayValues_.isEmpty()) {
            c->displayValues_ = kYesNo;
            c->pickList_ = BooleanTexts(kYesNo);
            changed = true;
        }
    }
    if (changed)
        ColumnsChanged(true);
}

void TDBGridModel::RebuildVisible()
{
    visible_.clear();
    for (int i = 0; i < columns_.Count(); ++i) {
        if (columns_.items_[size_t(i)]->visible_)
            visible_.push_back(i);
    }
}

// ---- the second cursor

void TDBGridModel::CloseReader()
{
    blocks_.clear();
    if (reader_)
        reader_->Close();
}

void TDBGridModel::SyncReader()
{
    // An exclusive cursor keeps every other cursor out: then only its own
    // row can be shown.
    if (!cursor_ || !cursor_->Active() || cursor_->Exclusive()) {
        CloseReader();
        return;
    }
    if (!reader_)
        reader_ = std::make_unique<Cursor>();
    if (reader_->Active() && reader_->OpenFilePath() != cursor_->OpenFilePath())
        reader_->Close();
    if (!reader_->Active()) {
        reader_->SetTableName(cursor_->TableName());
        reader_->SetFolder(cursor_->Folder());
        reader_->SetIndexName(cursor_->IndexName());
        reader_->Open();
    }
    reader_->SetName(cursor_->Name());
    if (reader_->IndexName().compare(cursor_->IndexName(), Qt::CaseInsensitive) != 0)
        reader_->SetIndexName(cursor_->IndexName());
    // A filter must judge the cursor it is given (here the second one).
    reader_->OnFilterRecord = cursor_->OnFilterRecord;
    reader_->SetFiltered(cursor_->Filtered());
    if (Cursor* master = cursor_->MasterSource()) {
        if (master->Active() && !master->IsEmpty() && master->State() != CursorState::Insert) {
            QList<Variant> key;
            for (const QString& name : cursor_->MasterFields())
                key << master->FieldByName(name).AsVariant();
            reader_->SetRange(key, key);
        }
    } else if (cursor_->HasRange()) {
        reader_->Restore(*cursor_->Remember());
    } else {
        reader_->CancelRange();
    }
}

// ---- rows

void TDBGridModel::Reload()
{
    SyncReader();
    ResetRows();
}

void TDBGridModel::ResetRows()
{
    bool active = cursor_ && cursor_->Active();
    int count = 0;
    bool inserting = false;
    if (active) {
        try {
            count = cursor_->RecordCount();
            inserting = cursor_->State() == CursorState::Insert;
        } catch (...) {
            active = false;
            ReportException(std::current_exception());
        }
    }
    beginResetModel();
    blocks_.clear();
    moveRow_ = -1;
    reported_ = false;
    RebuildVisible();
    count_ = active ? count : 0;
    inserting_ = inserting;
    insertAt_ = inserting ? std::clamp(insertAt_, 0, count_) : 0;
    curRow_ = -1;
    if (active)
        curRow_ = RowOfCursor();
    endResetModel();
    emit CursorRowChanged(curRow_);
}

int TDBGridModel::RowOfCursor()
{
    if (!cursor_ || !cursor_->Active())
        return -1;
    if (inserting_)
        return insertAt_;
    if (count_ == 0 || cursor_->IsEmpty())
        return 0;
    try {
        const int n = cursor_->RecNo();
        return std::clamp(n - 1, 0, count_ - 1);
    } catch (...) {
        ReportException(std::current_exception());
        return 0;
    }
}

void TDBGridModel::SetCursorRow(int row)
{
    const int old = curRow_;
    curRow_ = row;
    const int last = rowCount() - 1;
    if (last >= 0) {
        // The indicator: the old row may have moved by one with an insert.
        const int from = std::clamp(std::min(old, row), 0, last);
        const int to = std::clamp(std::max(old + 1, row), 0, last);
        emit headerDataChanged(Qt::Vertical, from, to);
    }
    emit CursorRowChanged(row);
}

void TDBGridModel::RowChanged(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    if (columnCount() > 0)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1), {});
    emit headerDataChanged(Qt::Vertical, row, row);
}

bool TDBGridModel::ShowsCursorRow(int row) const
{
    if (inserting_ && row == insertAt_)
        return true;
    return row == curRow_ && !cursor_->ControlsDisabled();
}

bool TDBGridModel::IsBlankRow(int row) const { return count_ == 0 && !inserting_ && row == 0; }

int TDBGridModel::DataRow(int row) const { return inserting_ && row > insertAt_ ? row - 1 : row; }

void TDBGridModel::MoveToRow(int row)
{
    if (!cursor_ || !cursor_->Active() || row < 0 || row >= rowCount() || row == curRow_)
        return;
    if (IsBlankRow(row) || (inserting_ && row == insertAt_))
        return;
    const int dataRow = DataRow(row);
    const CachedRow* target = Cached(dataRow);
    if (!target || !target->bookmark.IsValid()) {
        cursor_->SetRecNo(dataRow + 1);
        return;
    }
    // The bookmark survives the post of a pending row, which renumbers the rows.
    const Bookmark bookmark = target->bookmark;
    moveTarget_ = bookmark;
    moveRow_ = row;
    cursor_->GotoBookmark(bookmark);
}

const TDBGridModel::CachedRow* TDBGridModel::Cached(int dataRow) const
{
    if (!reader_ || !reader_->Active() || dataRow < 0 || dataRow >= count_)
        return nullptr;
    const int first = dataRow / kBlockRows * kBlockRows;
    for (Block& b : blocks_) {
        if (b.first == first) {
            b.used = ++useClock_;
            return size_t(dataRow - first) < b.rows.size() ? &b.rows[size_t(dataRow - first)] : nullptr;
        }
    }
    Block block;
    block.first = first;
    block.used = ++useClock_;
    try {
        reader_->SetRecNo(first + 1);
        if (!reader_->IsEmpty()) {
            for (int i = 0; i < kBlockRows && first + i < count_; ++i) {
                CachedRow r;
                r.bookmark = reader_->GetBookmark();
                for (int c = 0; c < columns_.Count(); ++c)
                    r.texts << FieldText(readerFields_[size_t(c)], *columns_.items_[size_t(c)]);
                block.rows.push_back(std::move(r));
                if (first + i + 1 >= count_)
                    break;
                reader_->Next();
                if (reader_->Eof())
                    break;
            }
        }
    } catch (const Exception& e) {
        // Reported once, after the painting that asked for the rows.
        if (!reported_) {
            reported_ = true;
            const QString text = e.Message();
            QTimer::singleShot(0, [text] { ShowError(text); });
        }
    }
    ++blocksRead_;
    if (blocks_.size() >= size_t(kCachedBlocks)) {
        const auto oldest = std::min_element(
            blocks_.begin(), blocks_.end(), [](const Block& a, const Block& b) { return a.used < b.used; });
        blocks_.erase(oldest);
    }
    blocks_.push_back(std::move(block));
    const Block& b = blocks_.back();
    return size_t(dataRow - first) < b.rows.size() ? &b.rows[size_t(dataRow - first)] : nullptr;
}

QString TDBGridModel::FieldText(const Field& field, const TColumn& column) const
{
    if (!field.IsValid() || field.IsNull())
        return QString();
    switch (field.Type()) {
    case FieldType::Integer:
    case FieldType::Smallint:
    case FieldType::AutoInc: return QString::number(field.AsInt64());
    case FieldType::Float: return FloatToStr(field.AsFloat());
    case FieldType::Date: return DateToStr(field.AsDateTime());
    case FieldType::DateTime: return DateTimeToStr(field.AsDateTime());
    case FieldType::Boolean: return BooleanTexts(column.DisplayValues())[field.AsBoolean() ? 0 : 1];
    case FieldType::String: return field.AsString();
    case FieldType::Blob: return QStringLiteral("(BLOB)");
    case FieldType::Unknown: break;
    }
    return QString();
}

QString TDBGridModel::CellText(int row, int viewColumn) const
{
    const TColumn* column = ColumnAt(viewColumn);
    if (!column || !cursor_ || row < 0 || row >= rowCount())
        return QString();
    const size_t c = size_t(visible_[size_t(viewColumn)]);
    if (ShowsCursorRow(row)) {
        if (cursor_->ControlsDisabled())
            return QString();
        return FieldText(fields_[c], *column);
    }
    if (IsBlankRow(row))
        return QString();
    const CachedRow* r = Cached(DataRow(row));
    return r && int(c) < r->texts.size() ? r->texts[int(c)] : QString();
}

void TDBGridModel::SetCellText(int viewColumn, const QString& text)
{
    const TColumn* column = ColumnAt(viewColumn);
    if (!column || !cursor_)
        throw EDatabaseError(QStringLiteral("Столбец %1 не существует").arg(viewColumn));
    const Field& field = fields_[size_t(visible_[size_t(viewColumn)])];
    if (!field.IsValid())
        throw EDatabaseError(
            QStringLiteral("Поле '%1' не найдено в таблице %2").arg(column->FieldName(), cursor_->Name()));
    if (cursor_->State() == CursorState::Browse)
        cursor_->Edit();
    StoreText(field, *column, text);
}

// ---- the model interface

int TDBGridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || curRow_ < 0)
        return 0;
    return count_ == 0 ? 1 : count_ + (inserting_ ? 1 : 0);
}

int TDBGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(visible_.size()); }

QVariant TDBGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return CellText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        if (const TColumn* column = ColumnAt(index.column()))
            return int(HorizontalAlignment(column->Alignment()) | Qt::AlignVCenter);
        break;
    default: break;
    }
    return QVariant();
}

bool TDBGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() != curRow_ || !CanEditColumn(index.column()))
        return false;
    return RunGuarded([&] { SetCellText(index.column(), value.toString()); });
}

QVariant TDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        const TColumn* column = ColumnAt(section);
        if (!column)
            return QVariant();
        switch (role) {
        case Qt::DisplayRole: return column->Title();
        case FieldNameRole: return column->FieldName();
        case Qt::TextAlignmentRole: return int(Qt::AlignLeft | Qt::AlignVCenter);
        default: return QVariant();
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        if (section != curRow_ || !cursor_ || !cursor_->Active())
            return QString();
        switch (cursor_->State()) {
        case CursorState::Insert: return QStringLiteral("*");
        case CursorState::Edit: return QStringLiteral("I");
        default: return QStringLiteral("►");
        }
    case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
    default: return QVariant();
    }
}

Qt::ItemFlags TDBGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (CanEditColumn(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

// ---------------------------------------------------------------- the editor

TDBGridInplaceEdit::TDBGridInplaceEdit(TDBGrid* grid, QWidget* parent) : Tyq_CustomComboEdit(parent), grid_(grid)
{
    setObjectName(QStringLiteral("InplaceEdit"));
    setFrame(false);
    SetButtonWidth(0);
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!loading_)
            emit EditorChanged();
    });
}

void TDBGridInplaceEdit::Setup(
    TInplaceEditStyle style, const QStringList& pickList, int maxLength, TAlignment alignment)
{
    style_ = style;
    const int buttonWidth = this->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    switch (style) {
    case esSimple: SetButtonWidth(0); break;
    case esPickList:
        SetGlyphKind(gkDropDown);
        SetButtonWidth(buttonWidth);
        SetClickKey(QKeySequence(Qt::ALT | Qt::Key_Down));
        list_ = new TDBGridPickList(this);
        list_->setObjectName(QStringLiteral("PickList"));
        list_->addItems(pickList);
        SetPopup(list_);
        connect(list_, &QListWidget::itemClicked, this, [this] { GuardedCall([this] { PopupCloseUp(true); }); });
        break;
    case esEllipsis:
        SetGlyphKind(gkEllipsis);
        SetButtonWidth(buttonWidth);
        SetClickKey(QKeySequence(Qt::CTRL | Qt::Key_Return));
        OnButtonClick = [this](QObject*) {
            if (grid_->OnEditButtonClick)
                grid_->OnEditButtonClick(grid_);
        };
        break;
    }
    setMaxLength(maxLength > 0 ? maxLength : 32767);
    SetAlignment(alignment);
}

void TDBGridInplaceEdit::LoadText(const QString& text)
{
    loading_ = true;
    setText(text);
    loading_ = false;
    original_ = text;
    loaded_ = true;
}

void TDBGridInplaceEdit::SelectNextValue()
{
    if (!list_ || list_->count() == 0)
        return;
    int at = -1;
    for (int i = 0; i < list_->count() && at < 0; ++i) {
        if (list_->item(i)->text().compare(text(), Qt::CaseInsensitive) == 0)
            at = i;
    }
    setText(list_->item((at + 1) % list_->count())->text());
    selectAll();
}

void TDBGridInplaceEdit::PopupSetValue(const QString& text)
{
    if (!list_)
        return;
    list_->setCurrentRow(-1);
    for (int i = 0; i < list_->count(); ++i) {
        if (list_->item(i)->text().compare(text, Qt::CaseInsensitive) == 0) {
            list_->setCurrentRow(i);
            break;
        }
    }
}

QString TDBGridInplaceEdit::PopupValue() const
{
    return list_ && list_->currentItem() ? list_->currentItem()->text() : text();
}

void TDBGridInplaceEdit::keyPressEvent(QKeyEvent* event)
{
    if (list_ && PopupVisible()) {
        const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
        switch (event->key()) {
        case Qt::Key_Up:
            if (mods == Qt::AltModifier) {
                GuardedCall([this] { PopupCloseUp(true); });
                event->accept();
                return;
            }
            [[fallthrough]];
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            if (mods == Qt::NoModifier) {
                // The list never has the focus: the editor hands it the keys.
                QApplication::sendEvent(list_, event);
                event->accept();
                return;
            }
            break;
        default: break;
        }
    }
    Tyq_CustomComboEdit::keyPressEvent(event);
}

void TDBGridInplaceEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (style_ == esPickList && event->button() == Qt::LeftButton) {
        SelectNextValue();
        event->accept();
        return;
    }
    Tyq_CustomComboEdit::mouseDoubleClickEvent(event);
}

// ---------------------------------------------------------------- the delegate

class TDBGridDelegate final : public QStyledItemDelegate {
public:
    explicit TDBGridDelegate(TDBGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        auto* editor = new TDBGridInplaceEdit(grid_, parent);
        TInplaceEditStyle style = esSimple;
        int maxLength = 0;
        TAlignment alignment = taLeftJustify;
        if (const TColumn* column = grid_->model_->ColumnAt(index.column())) {
            if (column->ButtonStyle() == cbsEllipsis)
                style = esEllipsis;
            else if (column->ButtonStyle() == cbsAuto && !column->PickList().isEmpty())
                style = esPickList;
            if (column->FieldKind() == FieldType::String)
                maxLength = column->FieldSize();
            alignment = column->Alignment();
            editor->Setup(style, column->PickList(), maxLength, alignment);
        }
        grid_->EditorOpened(editor, index);
        return editor;
    }

    // Only the first load: later row notices (the row entering edit state)
    // must not overwrite what the clerk is typing.
    void setEditorData(QWidget* widget, const QModelIndex& index) const override
    {
        auto* editor = qobject_cast<TDBGridInplaceEdit*>(widget);
        if (editor && !editor->Loaded())
            editor->LoadText(grid_->model_->CellText(index.row(), index.column()));
    }

    void setModelData(QWidget* widget, QAbstractItemModel*, const QModelIndex&) const override
    {
        if (auto* editor = qobject_cast<TDBGridInplaceEdit*>(widget))
            grid_->CommitEditor(editor);
    }

    void updateEditorGeometry(QWidget* widget, const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        widget->setGeometry(option.rect);
    }

    void destroyEditor(QWidget* widget, const QModelIndex& index) const override
    {
        if (auto* editor = qobject_cast<TDBGridInplaceEdit*>(widget))
            grid_->EditorClosed(editor);
        QStyledItemDelegate::destroyEditor(widget, index);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (auto* editor = qobject_cast<TDBGridInplaceEdit*>(object)) {
            if (event->type() == QEvent::KeyPress) {
                bool taken = false;
                RunGuarded([&] { taken = grid_->EditorKey(editor, static_cast<QKeyEvent*>(event)); });
                return taken;
            }
            if (event->type() == QEvent::FocusOut)
                return grid_->EditorFocusOut(editor, static_cast<QFocusEvent*>(event));
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    TDBGrid* grid_;
};

// ---------------------------------------------------------------- TDBGrid

TDBGrid::TDBGrid(QWidget* parent, const QString& name)
    : QTableView(parent), model_(new TDBGridModel(this)), delegate_(new TDBGridDelegate(this))
{
    setObjectName(name.isEmpty() ? QStringLiteral("DBGrid") : name);
    setModel(model_);
    setItemDelegate(delegate_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
        | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setFixedWidth(kIndicatorWidth);
    rows->setDefaultAlignment(Qt::AlignCenter);
    rows->setSectionsClickable(true);
    QHeaderView* titles = horizontalHeader();
    titles->setHighlightSections(false);
    titles->setSectionsClickable(false);
    titles->setStretchLastSection(false);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titles->viewport()->installEventFilter(this);

    connect(model_, &TDBGridModel::CursorRowChanged, this, [this](int row) { FollowCursor(row); });
    connect(model_, &TDBGridModel::ColumnsReset, this, [this] { ApplyColumnWidths(); });
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        savedScroll_ = verticalScrollBar()->value();
        if (currentIndex().isValid())
            savedColumn_ = currentIndex().column();
    });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        // Posting a row reads the rows again; the view keeps its place.
        updateGeometries();
        verticalScrollBar()->setValue(savedScroll_);
        ApplyColumnWidths();
    });
    connect(titles, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (applyingWidths_)
            return;
        if (TColumn* column = model_->ColumnAt(logical))
            column->width_ = size;
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) { FocusChanged(old, now); });
    UpdateRowHeight();
    ApplyOptions();
}

TDBGrid::~TDBGrid()
{
    disconnect(qApp, nullptr, this, nullptr);
    model_->SetDataSet(nullptr);
}

void TDBGrid::SetDataSet(Cursor* dataSet)
{
    CloseEditorDiscarding();
    model_->SetDataSet(dataSet);
}

void TDBGrid::SetOptions(TDBGridOptions options)
{
    if (options_ == options)
        return;
    options_ = options;
    ApplyOptions();
}

void TDBGrid::SetReadOnly(bool readOnly)
{
    if (readOnly_ == readOnly)
        return;
    readOnly_ = readOnly;
    ApplyOptions();
}

void TDBGrid::ApplyOptions()
{
    horizontalHeader()->setVisible(options_.Contains(dgTitles));
    verticalHeader()->setVisible(options_.Contains(dgIndicator));
    setShowGrid(options_.Contains(dgColLines) || options_.Contains(dgRowLines));
    setSelectionBehavior(options_.Contains(dgRowSelect) ? SelectRows : SelectItems);
    setTabKeyNavigation(options_.Contains(dgTabs));
    horizontalHeader()->setSectionResizeMode(
        options_.Contains(dgColumnResize) ? QHeaderView::Interactive : QHeaderView::Fixed);
    QPalette p = palette();
    const QPalette base = QApplication::palette(this);
    if (options_.Contains(dgAlwaysShowSelection)) {
        p.setColor(QPalette::Inactive, QPalette::Highlight, base.color(QPalette::Active, QPalette::Highlight));
        p.setColor(
            QPalette::Inactive, QPalette::HighlightedText, base.color(QPalette::Active, QPalette::HighlightedText));
    } else {
        p.setColor(QPalette::Inactive, QPalette::Highlight, base.color(QPalette::Inactive, QPalette::Base));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, base.color(QPalette::Inactive, QPalette::Text));
    }
    setPalette(p);
    const bool editable = options_.Contains(dgEditing) && !options_.Contains(dgRowSelect) && !readOnly_;
    if (!editable && editor_ && !PostEditor())
        CloseEditorDiscarding();
    model_->SetEditable(editable);
    KeepSelectionOnCurrent();
}

void TDBGrid::UpdateRowHeight()
{
    const int height = fontMetrics().height() + 7;
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(height);
}

int TDBGrid::DefaultColumnWidth(const TColumn& column) const
{
    const int text = DisplayChars(column) * fontMetrics().averageCharWidth() + 8;
    const int title = horizontalHeader()->fontMetrics().horizontalAdvance(column.Title()) + 10;
    return std::max({text, title, 20});
}

void TDBGrid::ApplyColumnWidths()
{
    applyingWidths_ = true;
    for (int i = 0; i < model_->columnCount(); ++i) {
        const TColumn* column = model_->ColumnAt(i);
        horizontalHeader()->resizeSection(i, column->Width() >= 0 ? column->Width() : DefaultColumnWidth(*column));
    }
    applyingWidths_ = false;
}

int TDBGrid::SelectedIndex() const { return currentIndex().isValid() ? currentIndex().column() : -1; }

void TDBGrid::SetSelectedIndex(int column)
{
    const int row = currentIndex().isValid() ? currentIndex().row() : model_->CursorRow();
    if (row < 0 || column < 0 || column >= model_->columnCount())
        return;
    setCurrentIndex(model_->index(row, column));
}

void TDBGrid::SetEditorMode(bool on)
{
    if (on == EditorMode())
        return;
    if (on)
        edit(currentIndex(), EditKeyPressed, nullptr);
    else if (!PostEditor())
        return;
}

// ---- the cursor and the view's current row

void TDBGrid::FollowCursor(int row)
{
    if (row < 0 || row >= model_->rowCount() || model_->columnCount() == 0)
        return;
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() == row) {
        KeepSelectionOnCurrent();
        return;
    }
    // The cursor went to another row under an open editor: its text has
    // nowhere to go.
    CloseEditorDiscarding();
    RestoreCurrent(row, current.isValid() ? current.column() : savedColumn_);
}

void TDBGrid::RestoreCurrent(int row, int column)
{
    if (row < 0 || row >= model_->rowCount() || model_->columnCount() == 0)
        return;
    column = std::clamp(column, 0, model_->columnCount() - 1);
    const bool was = syncing_;
    syncing_ = true;
    selectionModel()->setCurrentIndex(model_->index(row, column),
        QItemSelectionModel::ClearAndSelect
            | (options_.Contains(dgRowSelect) ? QItemSelectionModel::Rows : QItemSelectionModel::NoUpdate));
    syncing_ = was;
}

void TDBGrid::KeepSelectionOnCurrent()
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel())
        return;
    const QItemSelectionModel::SelectionFlags how = QItemSelectionModel::ClearAndSelect
        | (options_.Contains(dgRowSelect) ? QItemSelectionModel::Rows : QItemSelectionModel::NoUpdate);
    if (!selectionModel()->isSelected(current) || selectionModel()->selectedIndexes().size() > 1)
        selectionModel()->select(current, how);
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    const int previousRow = previous.row();
    const int previousColumn = previous.column();
    commitFailed_ = false;
    // Stores an open editor's text first (CommitEditor).
    QTableView::currentChanged(current, previous);
    if (syncing_ || !current.isValid())
        return;
    const int row = current.row();
    const int column = current.column();
    if (commitFailed_) {
        // The field refused the text: the clerk stays in the cell with it.
        commitFailed_ = false;
        const QString text = rejectedText_;
        RestoreCurrent(previousRow, previousColumn);
        if (edit(model_->index(previousRow, previousColumn), EditKeyPressed, nullptr) && editor_)
            editor_->setText(text);
        return;
    }
    if (row == model_->CursorRow())
        return;
    if (!RunGuarded([&] { model_->MoveToRow(row); })) {
        // Refused (a post, or a detail's post under a master): the view goes
        // back to wherever the cursor stands now, which the refusal may have
        // kept from the views.
        RunGuarded([this] { model_->Reload(); });
        RestoreCurrent(model_->CursorRow(), column);
    }
}

bool TDBGrid::CanModify() const
{
    const Cursor* c = DataSet();
    return c && c->Active() && model_->Editable();
}

bool TDBGrid::CanEditCell(const QModelIndex& index) const
{
    return index.isValid() && CanModify() && index.row() == model_->CursorRow()
        && model_->CanEditColumn(index.column());
}

bool TDBGrid::WindowHasDefaultButton() const
{
    const QList<QPushButton*> buttons = window()->findChildren<QPushButton*>();
    return std::any_of(buttons.begin(), buttons.end(),
        [](const QPushButton* b) { return b->isDefault() && b->isVisible() && b->isEnabled(); });
}

bool TDBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (editor_ && index == editorIndex_)
        return QTableView::edit(index, trigger, event);
    if (!CanEditCell(index))
        return false;
    const bool opened = QTableView::edit(index, trigger, event);
    // A double click in a pick-list column takes the next value ("Да" <-> "Нет").
    if (opened && trigger == DoubleClicked && editor_ && editor_->EditStyle() == esPickList)
        editor_->SelectNextValue();
    return opened;
}

void TDBGrid::keyboardSearch(const QString&)
{
    // Typed characters edit; they never jump to a row.
}

// ---- what the keys do

void TDBGrid::InsertRecord()
{
    if (!CanModify() || !PostEditor())
        return;
    Cursor& c = *DataSet();
    c.CheckBrowseMode();
    model_->SetInsertPosition(std::max(model_->CursorRow(), 0));
    try {
        c.Insert();
    } catch (...) {
        model_->SetInsertPosition(-1);
        throw;
    }
    model_->SetInsertPosition(-1);
}

void TDBGrid::AppendRecord()
{
    if (!CanModify() || !PostEditor())
        return;
    Cursor& c = *DataSet();
    c.CheckBrowseMode();
    model_->SetInsertPosition(-1);
    c.Append();
}

void TDBGrid::DeleteRecord()
{
    if (!CanModify())
        return;
    Cursor& c = *DataSet();
    if (c.State() == CursorState::Browse && c.IsEmpty())
        return;
    CloseEditorDiscarding();
    if (options_.Contains(dgConfirmDelete) && !ConfirmDelete(QStringLiteral("Удалить запись?"), QString()))
        return;
    c.Delete();
}

void TDBGrid::CancelRecord()
{
    CloseEditorDiscarding();
    Cursor* c = DataSet();
    if (c && c->Active() && c->State() != CursorState::Browse)
        c->Cancel();
}

void TDBGrid::keyPressEvent(QKeyEvent* event)
{
    bool handled = false;
    RunGuarded([&] {
        int key = event->key();
        const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
        if (OnKeyDown) {
            OnKeyDown(this, key, mods);
            if (key == 0) {
                handled = true;
                return;
            }
        }
        Cursor* c = DataSet();
        if (!c || !c->Active())
            return;
        const QModelIndex current = currentIndex();
        if (key == Qt::Key_Insert && mods == Qt::NoModifier && CanModify()) {
            handled = true;
            InsertRecord();
        } else if (key == Qt::Key_Delete && mods == Qt::ControlModifier && CanModify()) {
            handled = true;
            DeleteRecord();
        } else if (key == Qt::Key_Escape && mods == Qt::NoModifier && c->State() != CursorState::Browse) {
            handled = true;
            CancelRecord();
        } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::NoModifier
            && !WindowHasDefaultButton() && CanEditCell(current)) {
            handled = true;
            edit(current, EditKeyPressed, event);
        } else if ((key == Qt::Key_Home || key == Qt::Key_End) && mods == Qt::ControlModifier && current.isValid()) {
            // The first or the last row, in the same column.
            handled = true;
            setCurrentIndex(model_->index(key == Qt::Key_Home ? 0 : model_->rowCount() - 1, current.column()));
        } else if ((key == Qt::Key_Up || key == Qt::Key_PageUp) && mods == Qt::NoModifier && current.isValid()
            && current.row() == 0 && c->State() != CursorState::Browse) {
            // No row above: the move stays put but still posts (or drops) the row.
            handled = true;
            if (PostEditor())
                c->CheckBrowseMode();
        } else if (key == Qt::Key_Down && mods == Qt::NoModifier && current.isValid()
            && current.row() == model_->rowCount() - 1) {
            if (c->State() == CursorState::Insert && !c->Modified()) {
                handled = true; // an untouched new row is not followed by another
            } else if (CanModify()) {
                handled = true;
                AppendRecord();
            }
        }
    });
    if (handled) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
    KeepSelectionOnCurrent();
}

// ---- mouse and focus

void TDBGrid::mousePressEvent(QMouseEvent* event)
{
    lastMousePos_ = viewport()->mapTo(this, event->position().toPoint());
    QTableView::mousePressEvent(event);
    KeepSelectionOnCurrent();
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    lastMousePos_ = viewport()->mapTo(this, event->position().toPoint());
    QTableView::mouseDoubleClickEvent(event);
    if (OnDblClick)
        RunGuarded([this] { OnDblClick(this); });
}

bool TDBGrid::eventFilter(QObject* watched, QEvent* event)
{
    QWidget* titles = horizontalHeader()->viewport();
    if (watched == titles
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        lastMousePos_ = titles->mapTo(this, static_cast<QMouseEvent*>(event)->position().toPoint());
        if (event->type() == QEvent::MouseButtonDblClick && OnDblClick)
            RunGuarded([this] { OnDblClick(this); });
    }
    return QTableView::eventFilter(watched, event);
}

void TDBGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    KeepSelectionOnCurrent();
}

void TDBGrid::FocusChanged(QWidget* old, QWidget* now)
{
    if (!options_.Contains(dgCancelOnExit) || !old || !now || now->window() != window())
        return;
    const auto inside = [this](QWidget* w) { return w == this || isAncestorOf(w); };
    if (!inside(old) || inside(now))
        return;
    // Leaving the grid drops a new row the clerk did not fill.
    Cursor* c = DataSet();
    if (c && c->Active() && c->State() == CursorState::Insert && !c->Modified())
        RunGuarded([c] { c->Cancel(); });
}

void TDBGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateRowHeight();
        ApplyColumnWidths();
    }
}

// ---- the editor

void TDBGrid::EditorOpened(TDBGridInplaceEdit* editor, const QModelIndex& index)
{
    editor_ = editor;
    editorIndex_ = index;
    rejectedBy_ = nullptr;
    connect(editor, &TDBGridInplaceEdit::EditorChanged, this, [this] { EditorChanged(); });
}

void TDBGrid::EditorClosed(TDBGridInplaceEdit* editor)
{
    if (editor_ == editor) {
        editor_ = nullptr;
        editorIndex_ = QPersistentModelIndex();
    }
}

void TDBGrid::EditorChanged()
{
    Cursor* c = DataSet();
    if (!c || !c->Active() || c->State() != CursorState::Browse)
        return;
    // The first change of the text puts the row in edit state (an empty
    // cursor gets its first row).
    if (!RunGuarded([c] { c->Edit(); }))
        CloseEditorDiscarding();
}

bool TDBGrid::CommitEditor(TDBGridInplaceEdit* editor)
{
    if (committing_)
        return false;
    if (!editor->TextModified())
        return true;
    if (editor == rejectedBy_ && editor->text() == rejectedText_) {
        // The focus left with this text a moment ago and the clerk was told;
        // the move that follows the same click is refused without a second message.
        rejectedBy_ = nullptr;
        commitFailed_ = true;
        return false;
    }
    committing_ = true;
    const int column = editorIndex_.isValid() ? editorIndex_.column() : SelectedIndex();
    const bool ok = RunGuarded([&] { model_->SetCellText(column, editor->text()); });
    committing_ = false;
    if (ok) {
        editor->Stored();
        return true;
    }
    commitFailed_ = true;
    rejectedText_ = editor->text();
    return false;
}

bool TDBGrid::PostEditor()
{
    if (!editor_)
        return true;
    TDBGridInplaceEdit* editor = editor_;
    if (!CommitEditor(editor))
        return false;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void TDBGrid::CloseEditorDiscarding()
{
    if (editor_)
        closeEditor(editor_, QAbstractItemDelegate::NoHint);
}

bool TDBGrid::EditorKey(TDBGridInplaceEdit* editor, QKeyEvent* event)
{
    if (editor->ListVisible())
        return false;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Escape: {
        if (mods != Qt::NoModifier)
            return false;
        // First Esc: the editor's text goes; with nothing typed: the row's changes.
        const bool typed = editor->TextModified();
        closeEditor(editor, QAbstractItemDelegate::NoHint);
        if (!typed)
            CancelRecord();
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mods != Qt::NoModifier)
            return false; // Ctrl+Enter: the editor's ellipsis button
        if (CommitEditor(editor))
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        else
            editor->selectAll();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        const bool forward = event->key() == Qt::Key_Tab && !(mods & Qt::ShiftModifier);
        if (!CommitEditor(editor)) {
            editor->selectAll();
            return true;
        }
        closeEditor(editor, QAbstractItemDelegate::NoHint);
        if (tabKeyNavigation()) {
            const QModelIndex next = moveCursor(forward ? MoveNext : MovePrevious, Qt::NoModifier);
            if (next.isValid())
                setCurrentIndex(next);
        } else {
            focusNextPrevChild(forward);
        }
        return true;
    }
    default: return false;
    }
}

bool TDBGrid::EditorFocusOut(TDBGridInplaceEdit* editor, QFocusEvent* event)
{
    // Another window (a message, the pick list) took the focus for a while:
    // the editor stays as it is.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return true;
    QWidget* now = QApplication::focusWidget();
    if (now && (now == editor || editor->isAncestorOf(now)))
        return false;
    if (committing_)
        return true;
    if (CommitEditor(editor)) {
        closeEditor(editor, QAbstractItemDelegate::NoHint);
        return true;
    }
    // A refused text keeps the clerk in the cell.
    rejectedBy_ = editor;
    QTimer::singleShot(0, this, [this] { rejectedBy_ = nullptr; });
    if (!now || !(now == this || isAncestorOf(now)))
        QTimer::singleShot(0, editor, [editor] { editor->setFocus(Qt::OtherFocusReason); });
    return true;
}

// ----------------------------------------------------------------

void SetBooleanPickListsInAllGrids()
{
    for (QWidget* w : QApplication::allWidgets()) {
        if (auto* grid = qobject_cast<TDBGrid*>(w))
            grid->Model()->SetBooleanPickLists();
    }
}
