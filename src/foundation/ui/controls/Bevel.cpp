#include "foundation/ui/controls/Bevel.h"

#include <QMouseEvent>
#include <QPainter>

Tyq_Bevel::Tyq_Bevel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Tyq_Bevel"));
    setMouseTracking(true);
    resize(30, 20);
}

QSize Tyq_Bevel::sizeHint() const { return size(); }

int Tyq_Bevel::CellWidth() const { return cols_ > 0 ? width() / cols_ : 0; }

int Tyq_Bevel::CellHeight() const { return rows_ > 0 ? height() / rows_ : 0; }

QRect Tyq_Bevel::CellRect(int col, int row) const
{
    const int cw = CellWidth(), ch = CellHeight();
    if (col < 0 || row < 0 || cw <= 0 || ch <= 0)
        return QRect();
    return QRect(col * cw, row * ch, cw, ch);
}

QString Tyq_Bevel::CellCaption(int col, int row) const
{
    if (caps_.isEmpty() || col < 0 || row < 0)
        return QString();
    const int n = static_cast<int>(caps_.size());
    const int index = orientation_ == boHorizontal ? (row * cols_ + col) % n : (col * rows_ + row) % n;
    return caps_.at(index);
}

void Tyq_Bevel::SetCols(int value)
{
    if (value < 1 || value > width() / 4 || value == cols_)
        return;
    cols_ = value;
    ApplyBounds();
    RedrawSelection();
    update();
}

void Tyq_Bevel::SetRows(int value)
{
    if (value < 1 || value > height() / 4 || value == rows_)
        return;
    rows_ = value;
    ApplyBounds();
    RedrawSelection();
    update();
}

void Tyq_Bevel::ApplyBounds()
{
    if (applyingBounds_ || cols_ < 1 || rows_ < 1)
        return;
    const int cw = width() / cols_, ch = height() / rows_;
    // A control smaller than its cells keeps its size: cells of no size are not drawn.
    if (cw <= 0 || ch <= 0)
        return;
    const QSize shrunk(cols_ * cw, rows_ * ch);
    if (shrunk != size()) {
        applyingBounds_ = true;
        resize(shrunk);
        applyingBounds_ = false;
    }
}

void Tyq_Bevel::resizeEvent(QResizeEvent* event)
{
    GuardedCall([&] {
        QWidget::resizeEvent(event);
        ApplyBounds();
        if (!applyingBounds_)
            RedrawSelection();
    });
}

void Tyq_Bevel::SetCol(int value) { SelectCell(value, row_); }

void Tyq_Bevel::SetRow(int value) { SelectCell(col_, value); }

void Tyq_Bevel::SelectCell(int col, int row)
{
    col_ = col;
    row_ = row;
    RedrawSelection();
}

void Tyq_Bevel::RedrawSelection()
{
    update();
    const QRect r = CellRect(col_, row_);
    if (r.isEmpty())
        return;
    if (r != lastSelRect_) {
        lastSelRect_ = r;
        lastSelCol_ = col_;
        lastSelRow_ = row_;
        if (OnChangeSel)
            OnChangeSel(this, col_, row_);
    }
}

void Tyq_Bevel::SetCaps(const QStringList& value)
{
    caps_ = value;
    update();
}

void Tyq_Bevel::SetOrientation(Tyq_BevelOrientation value)
{
    orientation_ = value;
    update();
}

void Tyq_Bevel::SetOptions(Tyq_BevelOptions value)
{
    options_ = value;
    update();
}

void Tyq_Bevel::SetStyle(TBevelStyle value)
{
    style_ = value;
    update();
}

void Tyq_Bevel::SetAlignment(TAlignment value)
{
    alignment_ = value;
    update();
}

QColor Tyq_Bevel::SelColor() const { return selColor_.isValid() ? selColor_ : palette().color(QPalette::WindowText); }

void Tyq_Bevel::SetSelColor(const QColor& value)
{
    selColor_ = value;
    RedrawSelection();
}

void Tyq_Bevel::DrawFrame(QPainter& p, const QRect& r, bool raised) const
{
    const QColor tl = palette().color(raised ? QPalette::Light : QPalette::Dark);
    const QColor br = palette().color(raised ? QPalette::Dark : QPalette::Light);
    p.setPen(tl);
    p.drawLine(r.left(), r.top(), r.right(), r.top());
    p.drawLine(r.left(), r.top(), r.left(), r.bottom());
    p.setPen(br);
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
}

void Tyq_Bevel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QColor face = palette().color(QPalette::Button);
    p.fillRect(rect(), face);
    const int cw = CellWidth(), ch = CellHeight();
    if (cw <= 0 || ch <= 0)
        return;
    const bool raised = style_ == bsRaised;
    const int flags = static_cast<int>(HorizontalAlignment(alignment_)) | Qt::AlignVCenter | Qt::TextSingleLine
        | Qt::TextExpandTabs;
    const bool selInside = col_ >= 0 && row_ >= 0 && col_ < cols_ && row_ < rows_;
    const bool showSel = selInside && options_.Contains(boSelShow);
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < cols_; ++c) {
            const QRect cell = CellRect(c, r);
            DrawFrame(p, cell, raised);
            if (caps_.isEmpty())
                continue;
            const QRect area = cell.adjusted(3, 3, -3, -3);
            p.fillRect(area, face);
            QFont f = font();
            const bool selected = showSel && c == col_ && r == row_;
            if (selected)
                f.setBold(true);
            p.setFont(f);
            p.setPen(selected ? SelColor() : palette().color(QPalette::WindowText));
            p.drawText(area, flags, CellCaption(c, r));
        }
    }
    if (showSel) {
        const QRect cell = CellRect(col_, row_);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawRect(cell.adjusted(0, 0, -1, -1));
        const bool pressed = options_.Contains(boSelPressed);
        DrawFrame(p, cell.adjusted(1, 1, -1, -1), pressed ? !raised : raised);
    }
    if (!hotRect_.isNull()) {
        const QRect frame = hotRect_.adjusted(2, 2, -2, -2);
        DrawFrame(p, frame, hotInverted_ ? !raised : raised);
    }
}

void Tyq_Bevel::TrackHot(const QPoint& pos, Track kind, bool leftHeld)
{
    if (!flat_ && !leftHeld)
        return;
    if (kind == Track::Move && hotRect_.contains(pos))
        return;
    mouseInside_ = rect().contains(pos) && isVisible() && isEnabled();
    const int cw = CellWidth(), ch = CellHeight();
    // A control squeezed below its cell count has no cells to track.
    if (cw <= 0 || ch <= 0)
        mouseInside_ = false;
    if (!hotRect_.isNull())
        update(hotRect_);
    if (mouseInside_) {
        const int c = std::min(pos.x() / cw, cols_ - 1);
        const int r = std::min(pos.y() / ch, rows_ - 1);
        hotRect_ = CellRect(c, r);
        bool inverted = c == col_ && r == row_ && options_.Contains(boSelPressed);
        if (leftHeld)
            inverted = !inverted;
        hotInverted_ = inverted;
        if (options_.Contains(boSelRange) && rangeRect_.isNull())
            rangeRect_ = hotRect_;
        hotCol_ = c;
        hotRow_ = r;
        update(hotRect_);
        if (OnChange)
            OnChange(this, c, r);
    } else {
        hotRect_ = QRect();
        rangeRect_ = QRect();
    }
}

void Tyq_Bevel::mousePressEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        doubleClicked_ = false;
        const QPoint pos = event->position().toPoint();
        if (event->button() == Qt::LeftButton)
            TrackHot(pos, Track::Press, true);
        if (OnMouseDown)
            OnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
    });
}

void Tyq_Bevel::mouseDoubleClickEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        const QPoint pos = event->position().toPoint();
        if (event->button() == Qt::LeftButton) {
            doubleClicked_ = true;
            if (OnDblClick)
                OnDblClick(this);
            TrackHot(pos, Track::Press, true);
        }
        if (OnMouseDown)
            OnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
    });
}

void Tyq_Bevel::mouseMoveEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        const QPoint pos = event->position().toPoint();
        TrackHot(pos, Track::Move, event->buttons() & Qt::LeftButton);
        if (OnMouseMove)
            OnMouseMove(this, event->modifiers(), pos.x(), pos.y());
    });
}

void Tyq_Bevel::mouseReleaseEvent(QMouseEvent* event)
{
    GuardedCall([&] {
        const QPoint pos = event->position().toPoint();
        if (event->button() == Qt::LeftButton && !doubleClicked_ && rect().contains(pos)) {
            // The click comes before the release is tracked, as it always did.
            if (hotCol_ >= 0 && hotRow_ >= 0 && !hotRect_.isNull())
                SelectCell(hotCol_, hotRow_);
            if (OnClick)
                OnClick(this);
        }
        doubleClicked_ = false;
        if (event->button() == Qt::LeftButton)
            TrackHot(pos, Track::Release, event->buttons() & Qt::LeftButton);
        if (OnMouseUp)
            OnMouseUp(this, event->button(), event->modifiers(), pos.x(), pos.y());
    });
}

void Tyq_Bevel::leaveEvent(QEvent* event)
{
    GuardedCall([&] {
        QWidget::leaveEvent(event);
        TrackHot(QPoint(-1, -1), Track::Leave, false);
    });
}
