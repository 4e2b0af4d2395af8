#include "foundation/ui/grids/YQRGrids.h"

#include "foundation/ui/base/Beep.h"
#include "platform/Exceptions.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace {

[[noreturn]] void IndexOutOfRange() { throw EInvalidOperation(QStringLiteral("Grid index out of range")); }

} // namespace

// ========================================================== pending messages

void RemovePendingMessage(QObject* Window, int MessageId)
{
    if (!Window)
        return;
    QCoreApplication::removePostedEvents(Window, MessageId);
    if (MessageId == QEvent::Quit)
        QCoreApplication::postEvent(Window, new QEvent(QEvent::Quit));
}

// ============================================================== grid

bool Tyq_DrawGrid::IsTextChar(QChar ch)
{
    return ch.unicode() == 8 || ch.unicode() == 13 || (ch.unicode() >= 32 && ch.unicode() != 127);
}

Tyq_DrawGrid::Tyq_DrawGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("Tyq_DrawGrid"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    color_ = palette().color(QPalette::Base);
    fixedColor_ = palette().color(QPalette::Button);
    ResizeAxis(colWidths_, colCount_, defaultColWidth_);
    ResizeAxis(rowHeights_, rowCount_, defaultRowHeight_);
    current_ = {fixedCols_, fixedRows_};
    anchor_ = current_;
    topLeft_ = current_;
    verticalScrollBar()->setTracking(false);
    horizontalScrollBar()->setTracking(false);
    UpdateScrollBars();
}

Tyq_DrawGrid::~Tyq_DrawGrid()
{
    // The editor's events would reach a half-destroyed grid.
    if (editor_) {
        editor_->blockSignals(true);
        delete editor_;
        editor_ = nullptr;
    }
}

// ----------------------------------------------------------------- shape

void Tyq_DrawGrid::ResizeAxis(std::vector<int>& sizes, int count, int def) { sizes.resize(count, def); }

void Tyq_DrawGrid::SetColCount(int value)
{
    value = std::max(value, 1);
    if (value == colCount_)
        return;
    if (value <= fixedCols_)
        fixedCols_ = value - 1;
    colCount_ = value;
    ResizeAxis(colWidths_, colCount_, defaultColWidth_);
    const TGridCoord old = current_;
    current_.X = std::clamp(current_.X, fixedCols_, colCount_ - 1);
    anchor_.X = std::clamp(anchor_.X, fixedCols_, colCount_ - 1);
    if (options_.Contains(goRowSelect))
        anchor_.X = colCount_ - 1;
    topLeft_.X = std::clamp(topLeft_.X, fixedCols_, std::max(fixedCols_, MaxLeftCol()));
    UpdateScrollBars();
    if (!(old == current_))
        HideEdit();
    UpdateEdit();
    InvalidateGrid();
}

void Tyq_DrawGrid::SetRowCount(int value)
{
    value = std::max(value, 1);
    if (value == rowCount_)
        return;
    if (value <= fixedRows_)
        fixedRows_ = value - 1;
    rowCount_ = value;
    ResizeAxis(rowHeights_, rowCount_, defaultRowHeight_);
    const TGridCoord old = current_;
    current_.Y = std::clamp(current_.Y, fixedRows_, rowCount_ - 1);
    anchor_.Y = std::clamp(anchor_.Y, fixedRows_, rowCount_ - 1);
    topLeft_.Y = std::clamp(topLeft_.Y, fixedRows_, std::max(fixedRows_, MaxTopRow()));
    UpdateScrollBars();
    if (!(old == current_))
        HideEdit();
    UpdateEdit();
    InvalidateGrid();
}

void Tyq_DrawGrid::SetFixedCols(int value)
{
    if (value < 0)
        IndexOutOfRange();
    if (value >= colCount_)
        throw EInvalidOperation(QStringLiteral("Fixed column count must be less than column count"));
    fixedCols_ = value;
    HideEdit();
    topLeft_.X = fixedCols_;
    current_ = {fixedCols_, std::max(current_.Y, fixedRows_)};
    anchor_ = current_;
    if (options_.Contains(goRowSelect))
        anchor_.X = colCount_ - 1;
    UpdateScrollBars();
    UpdateEdit();
    InvalidateGrid();
}

void Tyq_DrawGrid::SetFixedRows(int value)
{
    if (value < 0)
        IndexOutOfRange();
    if (value >= rowCount_)
        throw EInvalidOperation(QStringLiteral("Fixed row count must be less than row count"));
    fixedRows_ = value;
    HideEdit();
    topLeft_.Y = fixedRows_;
    current_ = {std::max(current_.X, fixedCols_), fixedRows_};
    anchor_ = current_;
    if (options_.Contains(goRowSelect))
        anchor_.X = colCount_ - 1;
    UpdateScrollBars();
    UpdateEdit();
    InvalidateGrid();
}

void Tyq_DrawGrid::SetDefaultSize(int& def, std::vector<int>& sizes, int value, const TNotifyHandler& sized)
{
    def = value;
    std::fill(sizes.begin(), sizes.end(), value);
    UpdateScrollBars();
    if (editor_ && editor_->isVisible())
        UpdateEdit();
    StopFixedTracking();
    InvalidateGrid();
    if (sized)
        sized(this);
}

void Tyq_DrawGrid::SetDefaultColWidth(int value) { SetDefaultSize(defaultColWidth_, colWidths_, value, OnColumnSized); }

void Tyq_DrawGrid::SetDefaultRowHeight(int value) { SetDefaultSize(defaultRowHeight_, rowHeights_, value, OnRowSized); }

int Tyq_DrawGrid::ColWidths(int col) const
{
    if (col < 0 || col >= colCount_)
        return defaultColWidth_;
    return colWidths_[col];
}

int Tyq_DrawGrid::RowHeights(int row) const
{
    if (row < 0 || row >= rowCount_)
        return defaultRowHeight_;
    return rowHeights_[row];
}

void Tyq_DrawGrid::SetCellSize(std::vector<int>& sizes, int count, int index, int size, const TNotifyHandler& sized)
{
    if (index < 0 || index >= count)
        IndexOutOfRange();
    size = std::max(size, 0);
    if (sizes[index] == size)
        return;
    sizes[index] = size;
    UpdateScrollBars();
    if (editor_ && editor_->isVisible())
        editor_->setGeometry(CellRect(current_.X, current_.Y));
    StopFixedTracking();
    InvalidateGrid();
    if (sized)
        sized(this);
}

void Tyq_DrawGrid::SetColWidths(int col, int width) { SetCellSize(colWidths_, colCount_, col, width, OnColumnSized); }

void Tyq_DrawGrid::SetRowHeights(int row, int height) { SetCellSize(rowHeights_, rowCount_, row, height, OnRowSized); }

void Tyq_DrawGrid::SetGridLineWidth(int value)
{
    gridLineWidth_ = std::max(value, 0);
    UpdateScrollBars();
    InvalidateGrid();
}

void Tyq_DrawGrid::SetOptions(TGridOptions value)
{
    if (value.Contains(goRowSelect))
        value.Exclude(goAlwaysShowEditor);
    if (value == options_)
        return;
    options_ = value;
    if (!editorMode_) {
        if (value.Contains(goAlwaysShowEditor))
            editorMode_ = true;
        else
            HideEditor();
    }
    if (!value.Contains(goEditing) || value.Contains(goRowSelect))
        HideEditor();
    if (value.Contains(goRowSelect)) {
        current_.X = fixedCols_;
        anchor_ = {colCount_ - 1, current_.Y};
    }
    verticalScrollBar()->setTracking(value.Contains(goThumbTracking));
    horizontalScrollBar()->setTracking(value.Contains(goThumbTracking));
    UpdateEdit();
    InvalidateGrid();
}

void Tyq_DrawGrid::SetDefaultDrawing(bool value)
{
    defaultDrawing_ = value;
    InvalidateGrid();
}

void Tyq_DrawGrid::SetFixedButtons(bool value)
{
    if (fixedButtons_ == value)
        return;
    fixedButtons_ = value;
    StopFixedTracking();
    InvalidateGrid();
}

void Tyq_DrawGrid::SetColor(const QColor& value)
{
    color_ = value;
    InvalidateGrid();
}

void Tyq_DrawGrid::SetFixedColor(const QColor& value)
{
    fixedColor_ = value;
    InvalidateGrid();
}

// ----------------------------------------------------------------- geometry

namespace {

int FixedExtent(int fixedCount, const std::vector<int>& sizes, int lw)
{
    int x = 0;
    for (int i = 0; i < fixedCount; ++i)
        x += sizes[i] + lw;
    return x;
}

// Where a column or row begins; INT_MIN when it is scrolled out to the left or top.
int CellStart(int index, int fixedCount, int first, const std::vector<int>& sizes, int lw)
{
    if (index < fixedCount)
        return FixedExtent(index, sizes, lw);
    if (index < first)
        return INT_MIN;
    int x = FixedExtent(fixedCount, sizes, lw);
    for (int i = first; i < index; ++i)
        x += sizes[i] + lw;
    return x;
}

} // namespace

int Tyq_DrawGrid::ColLineWidth() const
{
    return options_.Contains(goFixedVertLine) || options_.Contains(goVertLine) ? gridLineWidth_ : 0;
}

int Tyq_DrawGrid::RowLineWidth() const
{
    return options_.Contains(goFixedHorzLine) || options_.Contains(goHorzLine) ? gridLineWidth_ : 0;
}

int Tyq_DrawGrid::ColLeft(int col) const { return CellStart(col, fixedCols_, topLeft_.X, colWidths_, ColLineWidth()); }

int Tyq_DrawGrid::RowTop(int row) const { return CellStart(row, fixedRows_, topLeft_.Y, rowHeights_, RowLineWidth()); }

QRect Tyq_DrawGrid::CellRect(int col, int row) const
{
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_)
        return QRect();
    const int x = ColLeft(col);
    const int y = RowTop(row);
    if (x == INT_MIN || y == INT_MIN)
        return QRect();
    const QSize vp = viewport()->size();
    if (x >= vp.width() || y >= vp.height())
        return QRect();
    return QRect(x, y, colWidths_[col], rowHeights_[row]);
}

TGridCoord Tyq_DrawGrid::MouseCoord(int x, int y) const
{
    auto calc = [](int n, int fixedCount, int first, int count, const std::vector<int>& sizes, int lw) {
        int line = 0;
        for (int i = 0; i < fixedCount; ++i)
            line += sizes[i] + lw;
        int start = first, stop = count - 1;
        if (n < line) {
            start = 0;
            stop = fixedCount - 1;
            line = 0;
        }
        for (int i = start; i <= stop; ++i) {
            line += sizes[i] + lw;
            if (n < line)
                return i;
        }
        return -1;
    };
    if (x < 0 || y < 0)
        return {-1, -1};
    const int hlw = ColLineWidth();
    const int vlw = RowLineWidth();
    return {calc(x, fixedCols_, topLeft_.X, colCount_, colWidths_, hlw),
        calc(y, fixedRows_, topLeft_.Y, rowCount_, rowHeights_, vlw)};
}

namespace {

// The last cell that is shown whole, starting at first (never less than first).
int LastFullVisible(int fixedBoundary, int first, int count, const std::vector<int>& sizes, int lw, int extent)
{
    int boundary = fixedBoundary;
    int last = first;
    for (int i = first; i < count; ++i) {
        boundary += sizes[i] + lw;
        if (boundary > extent + lw)
            break;
        last = i;
    }
    return last;
}

// The smallest first cell that still shows cell `start` whole.
int MaxFirstCell(int fixedBoundary, int fixedCount, int start, const std::vector<int>& sizes, int lw, int extent)
{
    int result = start;
    int line = extent + lw;
    for (int i = start; i >= fixedCount; --i) {
        const int size = sizes[i];
        if (size > 0) {
            line -= size + lw;
            if (line < fixedBoundary) {
                if (result == start && sizes[start] <= 0)
                    result = i;
                break;
            }
            result = i;
        }
    }
    return result;
}

} // namespace

int Tyq_DrawGrid::MaxTopRow() const
{
    const int lw = RowLineWidth();
    if (rowCount_ <= fixedRows_)
        return fixedRows_;
    return MaxFirstCell(
        FixedExtent(fixedRows_, rowHeights_, lw), fixedRows_, rowCount_ - 1, rowHeights_, lw, viewport()->height());
}

int Tyq_DrawGrid::MaxLeftCol() const
{
    const int lw = ColLineWidth();
    if (colCount_ <= fixedCols_)
        return fixedCols_;
    return MaxFirstCell(
        FixedExtent(fixedCols_, colWidths_, lw), fixedCols_, colCount_ - 1, colWidths_, lw, viewport()->width());
}

int Tyq_DrawGrid::VisibleColCount() const
{
    const int lw = ColLineWidth();
    return LastFullVisible(
               FixedExtent(fixedCols_, colWidths_, lw), topLeft_.X, colCount_, colWidths_, lw, viewport()->width())
        - topLeft_.X + 1;
}

int Tyq_DrawGrid::VisibleRowCount() const
{
    const int lw = RowLineWidth();
    return LastFullVisible(
               FixedExtent(fixedRows_, rowHeights_, lw), topLeft_.Y, rowCount_, rowHeights_, lw, viewport()->height())
        - topLeft_.Y + 1;
}

void Tyq_DrawGrid::UpdateScrollBars()
{
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    // The bars' own signals must still reach the scroll area (it shows and
    // hides them by their range); only our reaction to them is held back.
    updatingScrollBars_ = true;
    v->setRange(0, std::max(0, MaxTopRow() - fixedRows_));
    v->setPageStep(std::max(1, VisibleRowCount()));
    v->setValue(topLeft_.Y - fixedRows_);
    h->setRange(0, std::max(0, MaxLeftCol() - fixedCols_));
    h->setPageStep(std::max(1, VisibleColCount()));
    h->setValue(topLeft_.X - fixedCols_);
    updatingScrollBars_ = false;
}

void Tyq_DrawGrid::scrollContentsBy(int, int)
{
    GuardedCall([&] {
        if (updatingScrollBars_)
            return;
        MoveTopLeft(fixedCols_ + horizontalScrollBar()->value(), fixedRows_ + verticalScrollBar()->value());
    });
}

void Tyq_DrawGrid::resizeEvent(QResizeEvent* event)
{
    GuardedCall([&] {
        QAbstractScrollArea::resizeEvent(event);
        const int top = std::clamp(topLeft_.Y, fixedRows_, std::max(fixedRows_, MaxTopRow()));
        const int left = std::clamp(topLeft_.X, fixedCols_, std::max(fixedCols_, MaxLeftCol()));
        UpdateScrollBars();
        if (top != topLeft_.Y || left != topLeft_.X)
            MoveTopLeft(left, top);
        else if (editor_ && editorMode_)
            UpdateEdit();
    });
}

void Tyq_DrawGrid::MoveTopLeft(int left, int top)
{
    left = std::clamp(left, fixedCols_, std::max(fixedCols_, colCount_ - 1));
    top = std::clamp(top, fixedRows_, std::max(fixedRows_, rowCount_ - 1));
    if (left == topLeft_.X && top == topLeft_.Y)
        return;
    topLeft_ = {left, top};
    UpdateScrollBars();
    if (options_.Contains(goRowSelect) && defaultDrawing_)
        InvalidateRow(current_.Y);
    if (OnTopLeftChanged)
        OnTopLeftChanged(this);
    if (editor_ && editorMode_ && inplaceCol_ >= 0) {
        const QRect r = CellRect(current_.X, current_.Y);
        if (r.isEmpty()) {
            if (editor_->hasFocus())
                setFocus(Qt::OtherFocusReason);
            editor_->hide();
        } else {
            editor_->setGeometry(r);
            if (!editor_->isVisible() && CanEditShow()) {
                editor_->show();
                if (hasFocus())
                    editor_->setFocus(Qt::OtherFocusReason);
            }
        }
    }
    StopFixedTracking();
    InvalidateGrid();
}

void Tyq_DrawGrid::SetTopRow(int value)
{
    if (value != topLeft_.Y)
        MoveTopLeft(topLeft_.X, value);
}

void Tyq_DrawGrid::SetLeftCol(int value)
{
    if (value != topLeft_.X)
        MoveTopLeft(value, topLeft_.Y);
}

void Tyq_DrawGrid::ClampInView(int col, int row)
{
    const int hlw = ColLineWidth();
    const int vlw = RowLineWidth();
    const int fixedW = FixedExtent(fixedCols_, colWidths_, hlw);
    const int fixedH = FixedExtent(fixedRows_, rowHeights_, vlw);
    const int lastCol = LastFullVisible(fixedW, topLeft_.X, colCount_, colWidths_, hlw, viewport()->width());
    const int lastRow = LastFullVisible(fixedH, topLeft_.Y, rowCount_, rowHeights_, vlw, viewport()->height());
    int left = topLeft_.X, top = topLeft_.Y;
    if (col >= fixedCols_) {
        if (col < left)
            left = col;
        else if (col > lastCol)
            left = MaxFirstCell(fixedW, fixedCols_, col, colWidths_, hlw, viewport()->width());
    }
    if (row >= fixedRows_) {
        if (row < top)
            top = row;
        else if (row > lastRow)
            top = MaxFirstCell(fixedH, fixedRows_, row, rowHeights_, vlw, viewport()->height());
    }
    MoveTopLeft(left, top);
}

// ----------------------------------------------------------------- position

TGridRect Tyq_DrawGrid::Selection() const
{
    return {std::min(current_.X, anchor_.X), std::min(current_.Y, anchor_.Y), std::max(current_.X, anchor_.X),
        std::max(current_.Y, anchor_.Y)};
}

void Tyq_DrawGrid::SetSelection(const TGridRect& value)
{
    anchor_ = {value.Left, value.Top};
    current_ = {value.Right, value.Bottom};
    InvalidateGrid();
}

bool Tyq_DrawGrid::SelectCell(int col, int row)
{
    bool can = true;
    if (OnSelectCell)
        OnSelectCell(this, col, row, can);
    return can;
}

void Tyq_DrawGrid::MoveCurrent(int col, int row, bool moveAnchor, bool show)
{
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_)
        IndexOutOfRange();
    if (!SelectCell(col, row))
        return;
    // The editor is closed before the move, so that a text the grid refuses
    // leaves the clerk on its cell.
    if (!options_.Contains(goAlwaysShowEditor))
        HideEditor();
    current_ = {col, row};
    if (moveAnchor || !options_.Contains(goRangeSelect)) {
        anchor_ = current_;
        if (options_.Contains(goRowSelect))
            anchor_.X = colCount_ - 1;
    }
    if (options_.Contains(goRowSelect))
        current_.X = fixedCols_;
    if (show)
        ClampInView(current_.X, current_.Y);
    InvalidateGrid();
}

void Tyq_DrawGrid::MoveAnchor(int col, int row)
{
    if (options_.Contains(goRangeSelect)) {
        anchor_ = {col, row};
        if (options_.Contains(goRowSelect))
            anchor_.X = colCount_ - 1;
        ClampInView(col, row);
        InvalidateGrid();
    } else {
        MoveCurrent(col, row, true, true);
    }
}

void Tyq_DrawGrid::FocusCell(int col, int row)
{
    MoveCurrent(col, row, true, true);
    UpdateEdit();
    if (OnClick)
        OnClick(this);
}

void Tyq_DrawGrid::SetCol(int value)
{
    if (value != current_.X)
        FocusCell(value, current_.Y);
}

void Tyq_DrawGrid::SetRow(int value)
{
    if (value != current_.Y)
        FocusCell(current_.X, value);
}

// ----------------------------------------------------------------- mouse

bool Tyq_DrawGrid::IsFixedButton(int col, int row)
{
    if (col < 0 || row < 0 || (col >= fixedCols_ && row >= fixedRows_))
        return false;
    bool enabled = true;
    if (OnCheckButton)
        OnCheckButton(this, col, row, enabled);
    return enabled;
}

void Tyq_DrawGrid::SetPressedDrawn(bool on)
{
    if (on == pressedDrawn_)
        return;
    pressedDrawn_ = on;
    InvalidateCell(pressedCell_.X, pressedCell_.Y);
}

void Tyq_DrawGrid::StopFixedTracking()
{
    if (!fixedTracking_ && pressedCell_.X < 0)
        return;
    const TGridCoord cell = pressedCell_;
    fixedTracking_ = false;
    pressedDrawn_ = false;
    pressedCell_ = {-1, -1};
    InvalidateCell(cell.X, cell.Y);
}

bool Tyq_DrawGrid::SizingAt(const QPoint& pos, GridState& state, int& index) const
{
    state = GridState::Normal;
    index = -1;
    const int hlw = ColLineWidth();
    const int vlw = RowLineWidth();
    const int fixedW = FixedExtent(fixedCols_, colWidths_, hlw);
    const int fixedH = FixedExtent(fixedRows_, rowHeights_, vlw);
    auto axis = [](int p, int fixedBoundary, int first, int count, const std::vector<int>& sizes, int lw, int extent,
                    int& idx) {
        int range = lw, back = 0;
        if (range < 7) {
            range = 7;
            back = (range - lw) / 2;
        }
        int line = fixedBoundary;
        for (int i = first; i < count; ++i) {
            line += sizes[i];
            if (line > extent)
                break;
            if (p >= line - back && p <= line - back + range) {
                idx = i;
                return true;
            }
            line += lw;
        }
        return false;
    };
    if (pos.x() > fixedW && options_.Contains(goColSizing)) {
        if (pos.y() >= fixedH)
            return false;
        if (axis(pos.x(), fixedW, topLeft_.X, colCount_, colWidths_, hlw, viewport()->width(), index)) {
            state = GridState::ColSizing;
            return true;
        }
    } else if (pos.y() > fixedH && options_.Contains(goRowSizing)) {
        if (pos.x() >= fixedW)
            return false;
        if (axis(pos.y(), fixedH, topLeft_.Y, rowCount_, rowHeights_, vlw, viewport()->height(), index)) {
            state = GridState::RowSizing;
            return true;
        }
    }
    return false;
}

void Tyq_DrawGrid::mousePressEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        const QPoint pos = event->position().toPoint();
        // 1. The editor goes; what it held is stored. A refused text keeps
        // the clerk in the editor, whatever the click would have focused.
        try {
            if (options_.Contains(goAlwaysShowEditor))
                HideEdit();
            else
                HideEditor();
        } catch (...) {
            if (editor_ && editor_->isVisible())
                editor_->setFocus(Qt::OtherFocusReason);
            throw;
        }
        // 2. The grid takes the focus; another control that keeps it stops the press.
        if (isEnabled() && (focusPolicy() & Qt::ClickFocus)) {
            setFocus(Qt::MouseFocusReason);
            if (!IsActiveControl())
                return;
        }
        const TGridCoord cell = MouseCoord(pos.x(), pos.y());
        if (event->button() == Qt::LeftButton) {
            // 4. Column or row sizing.
            GridState state;
            int index;
            if (SizingAt(pos, state, index)) {
                gridState_ = state;
                sizingIndex_ = index;
                sizingPos_ = state == GridState::ColSizing ? pos.x() : pos.y();
                viewport()->update();
                return;
            }
        }
        // 5. Fixed cells as buttons.
        const bool fixedCell = cell.X >= 0 && cell.Y >= 0 && (cell.X < fixedCols_ || cell.Y < fixedRows_);
        if (fixedButtons_ && fixedCell && event->button() == Qt::LeftButton) {
            if (IsFixedButton(cell.X, cell.Y)) {
                fixedTracking_ = true;
                pressedCell_ = cell;
                pressedDrawn_ = false;
                SetPressedDrawn(true);
            } else {
                MessageBeep();
            }
            return;
        }
        // 6. The plain grid.
        if (event->button() != Qt::LeftButton)
            return;
        if (cell.X >= fixedCols_ && cell.Y >= fixedRows_) {
            if (options_.Contains(goEditing)) {
                if (cell == current_) {
                    ShowEditor();
                } else {
                    MoveCurrent(cell.X, cell.Y, true, true);
                    UpdateEdit();
                }
                if (OnClick)
                    OnClick(this);
            } else {
                gridState_ = GridState::Selecting;
                if (event->modifiers() & Qt::ShiftModifier)
                    MoveAnchor(cell.X, cell.Y);
                else
                    MoveCurrent(cell.X, cell.Y, true, true);
            }
        }
    });
}

void Tyq_DrawGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        const QPoint pos = event->position().toPoint();
        const TGridCoord cell = MouseCoord(pos.x(), pos.y());
        const bool fixedCell = cell.X >= 0 && cell.Y >= 0 && (cell.X < fixedCols_ || cell.Y < fixedRows_);
        if (event->button() == Qt::LeftButton && fixedButtons_ && fixedCell) {
            // Two quick clicks on a button are two presses.
            mousePressEvent(event);
            return;
        }
        if (options_.Contains(goAlwaysShowEditor))
            HideEdit();
        else
            HideEditor();
        if (isEnabled() && (focusPolicy() & Qt::ClickFocus)) {
            setFocus(Qt::MouseFocusReason);
            if (!IsActiveControl())
                return;
        }
        if (event->button() == Qt::LeftButton) {
            if (OnDblClick)
                OnDblClick(this);
        } else {
            mousePressEvent(event);
        }
    });
}

void Tyq_DrawGrid::mouseMoveEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        const QPoint pos = event->position().toPoint();
        if (fixedTracking_) {
            const TGridCoord cell = MouseCoord(pos.x(), pos.y());
            SetPressedDrawn(viewport()->rect().contains(pos) && cell == pressedCell_);
        }
        switch (gridState_) {
        case GridState::ColSizing:
        case GridState::RowSizing:
            sizingPos_ = gridState_ == GridState::ColSizing ? pos.x() : pos.y();
            viewport()->update();
            return;
        case GridState::Selecting: {
            const TGridCoord cell = MouseCoord(pos.x(), pos.y());
            if (cell.X >= fixedCols_ && cell.Y >= fixedRows_ && !(cell == anchor_))
                MoveAnchor(cell.X, cell.Y);
            return;
        }
        case GridState::Normal: break;
        }
        if (!(event->buttons() & Qt::LeftButton)) {
            GridState state;
            int index;
            if (SizingAt(pos, state, index))
                viewport()->setCursor(state == GridState::ColSizing ? Qt::SplitHCursor : Qt::SplitVCursor);
            else
                viewport()->unsetCursor();
        }
    });
}

void Tyq_DrawGrid::mouseReleaseEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        const QPoint pos = event->position().toPoint();
        if (fixedTracking_ && pressedCell_.X >= 0) {
            const TGridCoord cell = MouseCoord(pos.x(), pos.y());
            const bool hit = viewport()->rect().contains(pos) && cell == pressedCell_;
            const TGridCoord pressed = pressedCell_;
            StopFixedTracking();
            if (hit && pressed.X < colCount_ && pressed.Y < rowCount_ && OnFixedCellClick)
                OnFixedCellClick(this, pressed.X, pressed.Y);
        }
        switch (gridState_) {
        case GridState::ColSizing:
        case GridState::RowSizing: {
            const GridState state = gridState_;
            gridState_ = GridState::Normal;
            viewport()->update();
            if (state == GridState::ColSizing) {
                const int x = ColLeft(sizingIndex_);
                if (x != INT_MIN && sizingPos_ - x > 1)
                    SetColWidths(sizingIndex_, sizingPos_ - x);
            } else {
                const int y = RowTop(sizingIndex_);
                if (y != INT_MIN && sizingPos_ - y > 1)
                    SetRowHeights(sizingIndex_, sizingPos_ - y);
            }
            sizingIndex_ = -1;
            break;
        }
        case GridState::Selecting:
            gridState_ = GridState::Normal;
            UpdateEdit();
            if (OnClick)
                OnClick(this);
            break;
        case GridState::Normal: break;
        }
    });
}
