#include "foundation/ui/grids/DBGrid.h"

#include "foundation/Messages.h"
#include "foundation/ui/base/FormBase.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/edits/FieldValues.h"
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
            // A number or a date column takes no letters.
            switch (column->FieldKind()) {
            case FieldType::Integer:
            case FieldType::Smallint: FilterTypedChars(editor, TypedKind::Integer); break;
            case FieldType::Float: FilterTypedChars(editor, TypedKind::Float); break;
            case FieldType::Date: FilterTypedChars(editor, TypedKind::Date); break;
            default: break;
            }
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
            if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                // Esc goes to the cell before the window while there is typing
                // to take back or an open list; otherwise the window has it.
                const auto* key = static_cast<QKeyEvent*>(event);
                event->setAccepted((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
                    && (editor->TextModified() || editor->ListVisible()));
                return true;
            }
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
    KeepTitlesWhole(titles);
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

int TDBGrid::TitleWidth(const TColumn& column) const
{
    QHeaderView* header = horizontalHeader();
    return header->fontMetrics().horizontalAdvance(column.Title())
        + 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 2;
}

int TDBGrid::DefaultColumnWidth(const TColumn& column) const
{
    const int text = column.DisplayChars() * fontMetrics().averageCharWidth() + 8;
    return std::max({text, TitleWidth(column), 20});
}

void TDBGrid::ApplyColumnWidths()
{
    applyingWidths_ = true;
    for (int i = 0; i < model_->columnCount(); ++i) {
        const TColumn* column = model_->ColumnAt(i);
        // A width the window gives is never narrower than the column's title:
        // the fonts of the clerk's desktop decide how wide a title is.
        horizontalHeader()->resizeSection(
            i, column->Width() >= 0 ? std::max(column->Width(), TitleWidth(*column)) : DefaultColumnWidth(*column));
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
