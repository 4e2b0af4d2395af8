#include "foundation/ui/grids/DBGridModel.h"

#include "foundation/Messages.h"
#include "foundation/ui/base/FormBase.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/edits/FieldValues.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QTimer>

#include <algorithm>

namespace {

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

// A typed text into a field, as the old fields took their text; a text that
// does not convert is refused in the clerk's words, naming the column and row.
void StoreText(const Field& field, const TColumn& column, const QString& text, int row)
{
    const QString name = FieldAt(column.Title(), row);
    const QString t = text.trimmed();
    switch (field.Type()) {
    case FieldType::String: field.SetString(text); return;
    case FieldType::Integer:
    case FieldType::Smallint:
        if (t.isEmpty())
            field.Clear();
        else
            field.SetInteger(FieldInteger(t, name));
        return;
    case FieldType::Float:
        if (t.isEmpty())
            field.Clear();
        else
            field.SetFloat(FieldFloat(t, name));
        return;
    case FieldType::Date:
        if (t.isEmpty())
            field.Clear();
        else
            field.SetDateTime(FieldDate(t, name));
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
            throw EConvertError(QStringLiteral("Неверное значение|")
                + EscapeBars(QStringLiteral("Поле \"%1\": \"%2\" - ожидается \"%3\" или \"%4\"")
                                 .arg(name, t, texts[0], texts[1])));
        }
        return;
    }
    case FieldType::AutoInc:
    case FieldType::Blob:
    case FieldType::Unknown: break;
    }
    throw EDatabaseError(QStringLiteral("Поле '%1' нельзя изменить").arg(field.Name()));
}

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

// Characters a default column is wide enough for.
int TColumn::DisplayChars() const
{
    switch (FieldKind()) {
    case FieldType::String: return std::clamp(FieldSize(), 1, 40);
    case FieldType::Integer:
    case FieldType::AutoInc: return 11;
    case FieldType::Smallint: return 6;
    case FieldType::Float: return 10;
    case FieldType::Date: return 10;
    case FieldType::DateTime: return 18;
    case FieldType::Boolean: {
        const QStringList texts = BooleanTexts(DisplayValues());
        return int(std::max(texts[0].size(), texts[1].size()));
    }
    case FieldType::Blob:
    case FieldType::Unknown: break;
    }
    return 10;
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
    StoreText(field, *column, text, curRow_ + 1);
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
