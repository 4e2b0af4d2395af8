#include "foundation/ui/grids/YQRGrids.h"

#include "foundation/ui/base/Beep.h"
#include "platform/Exceptions.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

const QColor kFixedLineColor(Qt::black);
const QColor kLineColor(192, 192, 192);

[[noreturn]] void IndexOutOfRange() { throw EInvalidOperation(QStringLiteral("Grid index out of range")); }

// A one-pixel inner edge: raised (light top-left, dark bottom-right) or sunken.
void DrawInnerEdge(
    QPainter& p, const QRect& r, bool sunken, bool left, bool top, bool right, bool bottom, const QPalette& pal)
{
    const QColor light = pal.color(QPalette::Light);
    const QColor dark = pal.color(QPalette::Dark);
    const QColor tl = sunken ? dark : light;
    const QColor br = sunken ? light : dark;
    if (right) {
        p.setPen(br);
        p.drawLine(r.right(), r.top(), r.right(), r.bottom());
    }
    if (bottom) {
        p.setPen(br);
        p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    }
    if (left) {
        p.setPen(tl);
        p.drawLine(r.left(), r.top(), r.left(), r.bottom() - (bottom ? 1 : 0));
    }
    if (top) {
        p.setPen(tl);
        p.drawLine(r.left(), r.top(), r.right() - (right ? 1 : 0), r.top());
    }
}

} // namespace

// ============================================================== drawing aids

void DrawCellText(QPainter* Canvas, const QRect& Rect, const QString& Text, int Margin, bool WordWrap,
    int VerticalAlign, int HorizontalAlign)
{
    Canvas->fillRect(Rect, Canvas->brush());
    int flags = Qt::TextExpandTabs;
    QRect r = Rect;
    switch (HorizontalAlign) {
    case 1:
        flags |= Qt::AlignRight;
        r.setRight(r.right() - Margin);
        break;
    case 2: flags |= Qt::AlignHCenter; break;
    default:
        flags |= Qt::AlignLeft;
        r.setLeft(r.left() + Margin);
        break;
    }
    if (WordWrap)
        flags |= Qt::TextWordWrap;
    if (VerticalAlign == 0)
        r.setTop(r.top() + Margin);
    else if (VerticalAlign == 2)
        r.setBottom(r.bottom() - Margin);
    if (VerticalAlign == 1 || VerticalAlign == 2) {
        // Measure first, then move the rectangle down by the free height.
        const QRect calc = Canvas->fontMetrics().boundingRect(r, flags | Qt::AlignTop, Text);
        const int free = r.height() - calc.height();
        r.translate(0, VerticalAlign == 1 ? free / 2 : free);
    }
    Canvas->save();
    Canvas->setClipRect(r.intersected(Rect), Qt::IntersectClip);
    Canvas->drawText(r, flags | Qt::AlignTop, Text);
    Canvas->restore();
}

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

void Tyq_DrawGrid::SetDefaultSize(int& def, std::vector<int>& sizes, int value, const TQtNotifyEvent& sized)
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

void Tyq_DrawGrid::SetCellSize(std::vector<int>& sizes, int count, int index, int size, const TQtNotifyEvent& sized)
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
    if (options_.Contains(goAlwaysShowEditor)) {
        if (inplaceCol_ != -1 && inplaceRow_ != -1 && editor_)
            SetEditText(inplaceCol_, inplaceRow_, editor_->text());
        return;
    }
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
    // What was typed is kept: the text is stored before the editor hides.
    if (editor_ && !options_.Contains(goAlwaysShowEditor))
        HideEdit();
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

// ----------------------------------------------------------------- painting

void Tyq_DrawGrid::InvalidateCell(int col, int row)
{
    const QRect r = CellRect(col, row);
    if (!r.isEmpty())
        viewport()->update(r.adjusted(-gridLineWidth_, -gridLineWidth_, gridLineWidth_, gridLineWidth_));
}

void Tyq_DrawGrid::InvalidateRow(int row)
{
    const int y = row >= 0 && row < rowCount_ ? RowTop(row) : INT_MIN;
    if (y != INT_MIN)
        viewport()->update(QRect(0, y, viewport()->width(), rowHeights_[row] + gridLineWidth_));
}

void Tyq_DrawGrid::InvalidateCol(int col)
{
    const int x = col >= 0 && col < colCount_ ? ColLeft(col) : INT_MIN;
    if (x != INT_MIN)
        viewport()->update(QRect(x, 0, colWidths_[col] + gridLineWidth_, viewport()->height()));
}

void Tyq_DrawGrid::InvalidateGrid() { viewport()->update(); }

void Tyq_DrawGrid::DrawCell(QPainter& p, int col, int row, QRect rect, TGridDrawState state)
{
    const QRect passed = rect;
    const bool fixed = state & gdFixed;
    const bool rowSelect = options_.Contains(goRowSelect);
    p.save();
    canvas_ = &p;
    p.setFont(font());
    if (defaultDrawing_) {
        if (rowSelect && !fixed) {
            if (!options_.Contains(goVertLine))
                rect.setRight(rect.right() + gridLineWidth_);
            if (!options_.Contains(goHorzLine))
                rect.setBottom(rect.bottom() + gridLineWidth_);
        }
        const bool selected = state & gdSelected;
        const bool focused = state & gdFocused;
        if (selected && (!focused || rowSelect || options_.Contains(goDrawFocusSelected))) {
            p.setBrush(palette().brush(QPalette::Highlight));
            p.setPen(palette().color(QPalette::HighlightedText));
        } else {
            p.setBrush(fixed ? fixedColor_ : color_);
            p.setPen(palette().color(QPalette::Text));
        }
        p.fillRect(rect, p.brush());
    } else {
        p.setBrush(fixed ? fixedColor_ : color_);
        p.setPen(palette().color(QPalette::Text));
    }
    const bool pressed = fixedButtons_ && defaultDrawing_ && pressedDrawn_ && pressedCell_ == TGridCoord{col, row};
    QRect drawRect = rect;
    if (pressed)
        drawRect.translate(gridLineWidth_, gridLineWidth_);
    if (OnDrawCell) {
        try {
            OnDrawCell(this, col, row, drawRect, state);
        } catch (...) {
            canvas_ = nullptr;
            p.restore();
            throw;
        }
    }
    canvas_ = nullptr;
    p.restore();
    p.save();
    if (defaultDrawing_ && fixed) {
        const bool fv = options_.Contains(goFixedVertLine);
        const bool fh = options_.Contains(goFixedHorzLine);
        QRect edge = rect;
        if (fv && !fh)
            edge.setBottom(edge.bottom() + gridLineWidth_);
        DrawInnerEdge(p, edge, pressed, false, false, fv, fh, palette());
        DrawInnerEdge(p, edge, pressed, fv, fh, false, false, palette());
    }
    if (defaultDrawing_ && (state & gdFocused) && !rowSelect
        && !(options_.Contains(goEditing) && options_.Contains(goAlwaysShowEditor))) {
        QPen pen(palette().color(QPalette::Text));
        pen.setStyle(Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(passed.adjusted(0, 0, -1, -1));
    }
    p.restore();
}

void Tyq_DrawGrid::paintEvent(QPaintEvent*)
{
    GuardedPaint([&] {
        QPainter p(viewport());
        const QRect area = viewport()->rect();
        p.fillRect(area, color_);
        const bool active = IsActiveControl();
        const TGridRect sel = Selection();
        std::vector<int> cols, rows;
        for (int c = 0; c < fixedCols_; ++c)
            cols.push_back(c);
        for (int c = topLeft_.X; c < colCount_ && ColLeft(c) < area.width(); ++c)
            cols.push_back(c);
        for (int r = 0; r < fixedRows_; ++r)
            rows.push_back(r);
        for (int r = topLeft_.Y; r < rowCount_ && RowTop(r) < area.height(); ++r)
            rows.push_back(r);
        const int hlw = ColLineWidth();
        const int vlw = RowLineWidth();
        // Lines first: each cell has its line on the right and at the bottom.
        for (int r : rows) {
            const int y = RowTop(r);
            for (int c : cols) {
                const int x = ColLeft(c);
                const bool fixed = c < fixedCols_ || r < fixedRows_;
                const QColor lc = fixed ? kFixedLineColor : kLineColor;
                const int w = colWidths_[c], h = rowHeights_[r];
                if (hlw > 0 && options_.Contains(fixed ? goFixedVertLine : goVertLine))
                    p.fillRect(x + w, y, hlw, h + vlw, lc);
                if (vlw > 0 && options_.Contains(fixed ? goFixedHorzLine : goHorzLine))
                    p.fillRect(x, y + h, w + hlw, vlw, lc);
            }
        }
        for (int r : rows) {
            const int y = RowTop(r);
            for (int c : cols) {
                const QRect rect(ColLeft(c), y, colWidths_[c], rowHeights_[r]);
                if (!rect.intersects(area))
                    continue;
                TGridDrawState state = 0;
                if (c < fixedCols_ || r < fixedRows_) {
                    state |= gdFixed;
                } else {
                    if (sel.Contains(c, r))
                        state |= gdSelected;
                    if (active && c == current_.X && r == current_.Y)
                        state |= gdFocused;
                }
                DrawCell(p, c, r, rect, state);
            }
        }
        if (gridState_ == GridState::ColSizing || gridState_ == GridState::RowSizing) {
            p.setPen(QPen(Qt::black, 1, Qt::DotLine));
            if (gridState_ == GridState::ColSizing)
                p.drawLine(sizingPos_, 0, sizingPos_, area.height());
            else
                p.drawLine(0, sizingPos_, area.width(), sizingPos_);
        }
    });
}

QSize Tyq_DrawGrid::sizeHint() const
{
    int w = 2 * frameWidth(), h = 2 * frameWidth();
    for (int c = 0; c < colCount_; ++c)
        w += colWidths_[c] + gridLineWidth_;
    for (int r = 0; r < rowCount_; ++r)
        h += rowHeights_[r] + gridLineWidth_;
    return QSize(std::min(w, 640), std::min(h, 480));
}

QSize Tyq_DrawGrid::minimumSizeHint() const { return QSize(40, 30); }
