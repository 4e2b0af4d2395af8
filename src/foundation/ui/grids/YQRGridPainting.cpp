#include "foundation/ui/grids/YQRGrids.h"

#include <QPainter>

#include <algorithm>
#include <vector>

namespace {

const QColor kFixedLineColor(Qt::black);
const QColor kLineColor(192, 192, 192);

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
