#include "reports/ui/DesignSurface.h"

#include "reports/ReportDocument.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

namespace ReportDesign {

namespace {

constexpr int kHandleReach = 3;

QRect Normal(QPoint a, QPoint b)
{
    return QRect(
        QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())), QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

// Handle points of a rectangle, clockwise from the top-left corner.
std::array<QPoint, 8> Handles(const QRect& r)
{
    const int x0 = r.x(), y0 = r.y(), x1 = r.x() + r.width(), y1 = r.y() + r.height();
    const int xm = (x0 + x1) / 2, ym = (y0 + y1) / 2;
    return {QPoint(x0, y0), QPoint(xm, y0), QPoint(x1, y0), QPoint(x1, ym), QPoint(x1, y1), QPoint(xm, y1),
        QPoint(x0, y1), QPoint(x0, ym)};
}

Qt::CursorShape HandleCursor(int h)
{
    switch (h) {
    case 0:
    case 4: return Qt::SizeFDiagCursor;
    case 2:
    case 6: return Qt::SizeBDiagCursor;
    case 1:
    case 5: return Qt::SizeVerCursor;
    default: return Qt::SizeHorCursor;
    }
}

QPixmap GridTile(int gridSize)
{
    QPixmap tile(8, 8);
    tile.fill(Qt::white);
    QPainter p(&tile);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawPoint(0, 0);
    if (gridSize == 4) {
        p.drawPoint(4, 0);
        p.drawPoint(0, 4);
        p.drawPoint(4, 4);
    }
    return tile;
}

} // namespace

bool IsDataBand(int kind) { return kind == btMasterData || kind == btDetailData || kind == btSubdetailData; }

bool PageHasMarker(const TPage& page, int kind, const TView* except)
{
    for (int i = 0; i < page.ViewCount(); ++i) {
        const TView* v = page.View(i);
        if (v != except && v->T == vtBand && v->FT == kind)
            return true;
    }
    return false;
}

int FirstFreeBandKind(const TPage& page)
{
    for (int k = 0; k <= btOverlay; ++k)
        if (!PageHasMarker(page, k))
            return k;
    return btMasterData;
}

void ResortViews(TPage& page)
{
    int front = 0;
    auto moveTo = [&](int from, int to) {
        if (from == to)
            return;
        page.InsertView(to, page.TakeView(from));
        if (page.Document)
            page.Document->Unmodified = false;
    };
    for (int i = 0; i < page.ViewCount(); ++i)
        if (page.View(i)->T == vtBand)
            moveTo(i, front++);
    for (int i = 0; i < page.ViewCount(); ++i)
        if (page.View(i)->T == vtBand && page.View(i)->FT == btOverlay) {
            moveTo(i, 0);
            break;
        }
}

int SelectedCount(const TPage& page)
{
    int n = 0;
    for (int i = 0; i < page.ViewCount(); ++i)
        n += page.View(i)->Selected ? 1 : 0;
    return n;
}

int TopmostSelected(const TPage& page)
{
    for (int i = page.ViewCount() - 1; i >= 0; --i)
        if (page.View(i)->Selected)
            return i;
    return page.ViewCount() - 1;
}

QRect ShownBounds(const TView& v)
{
    if (v.T != vtBand || !v.Document)
        return v.Bounds();
    TDocument& d = *v.Document;
    return QRect(-1, v.Y, d.UsableWidth(d.ActivePage() ? d.ActivePage()->O : 0) + 1, v.H);
}

int ViewPage(int size) { return size >= 77 ? size - 38 : size >= 39 ? 38 : size; }

// ---------------------------------------------------------------- TPreview

TPreview::TPreview(IDesignHost& host, QScrollArea* box, QWidget* parent) : QWidget(parent), host_(host), box_(box)
{
    setObjectName(QStringLiteral("Preview"));
    setAutoFillBackground(false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    if (box_) {
        auto* holder = new QWidget;
        holder->setObjectName(QStringLiteral("SheetHolder"));
        QPalette pal = holder->palette();
        pal.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
        holder->setPalette(pal);
        holder->setAutoFillBackground(true);
        setParent(holder);
        box_->setWidget(holder);
        box_->setWidgetResizable(false);
        box_->viewport()->installEventFilter(this);
    }
}

TPage* TPreview::Page() const
{
    TDocument* d = host_.Document();
    return d ? d->ActivePage() : nullptr;
}

int TPreview::Grid() const
{
    TDocument* d = host_.Document();
    return d && d->Designer.GridSize == 8 ? 8 : 4;
}

bool TPreview::Snap() const
{
    TDocument* d = host_.Document();
    return d && d->Designer.SnapToGrid;
}

void TPreview::FitToBox()
{
    TDocument* d = host_.Document();
    TPage* page = Page();
    if (!d || !page)
        return;
    const TPrinterGeometry& g = d->Geometry(page->O);
    resize(g.PhysWs, g.PhysHs);
    if (!box_ || !parentWidget())
        return;
    const QSize vp = box_->viewport()->size();
    QPoint at = pos();
    if (vp.width() > width())
        at = QPoint((vp.width() - width()) / 2, 10);
    else if (at.y() == 0)
        at = QPoint(0, 10);
    move(at);
    parentWidget()->resize(std::max(vp.width(), at.x() + width()), std::max(vp.height(), at.y() + height() + 10));
}

bool TPreview::eventFilter(QObject* watched, QEvent* event)
{
    if (box_ && watched == box_->viewport() && event->type() == QEvent::Resize)
        FitToBox();
    return QWidget::eventFilter(watched, event);
}

void TPreview::ResetMouse()
{
    if (copy_)
        DropCopy();
    mouseDown_ = false;
    drag_ = Drag::None;
    handle_ = -1;
    ignoreClick_ = false;
    unsetCursor();
}

// ---------------------------------------------------------------- painting

void TPreview::paintEvent(QPaintEvent* event)
{
    TDocument* d = host_.Document();
    TPage* page = Page();
    if (host_.Busy() || !d || !page)
        return;
    const QRect r = event->rect();
    QPainter p(this);
    p.setClipRect(r);
    if (d->Designer.ShowGrid)
        p.fillRect(r, QBrush(GridTile(d->Designer.GridSize)));
    else
        p.fillRect(r, Qt::white);
    if (d->Margins) {
        const TPrinterGeometry& g = d->Geometry(page->O);
        p.setPen(QColor(0xC0, 0xC0, 0xC0));
        p.drawRect(g.OffXs, g.OffYs, g.PrintWs, g.PrintHs);
    }
    const int n = page->ViewCount();
    for (int i = 0; i < n; ++i) {
        TView& v = *page->View(i);
        const QRect b = ShownBounds(v);
        const bool touches = b.x() - v.FW / 2 <= r.right() && b.x() + b.width() + 1 + (v.FW - 1) / 2 >= r.left()
            && b.y() - v.FW / 2 <= r.bottom() && b.y() + b.height() + 1 + (v.FW - 1) / 2 >= r.top();
        if (touches || i == n - 1) {
            p.save();
            v.Draw(p, dmDraw);
            p.restore();
        }
    }
    p.setClipping(false);
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    const bool single = SelectedCount(*page) == 1;
    for (int i = 0; i < n; ++i) {
        const TView& v = *page->View(i);
        if (!v.Selected)
            continue;
        const QRect b = ShownBounds(v);
        if (v.T == vtBand) {
            if (d->Designer.ShapeInvers) {
                p.fillRect(b, Qt::black);
            } else {
                p.setPen(QPen(Qt::black, 2));
                p.setBrush(Qt::NoBrush);
                p.drawRect(b.adjusted(1, 1, -1, -1));
            }
            continue;
        }
        const auto hs = Handles(b);
        for (int h = 0; h < 8; ++h)
            if (h % 2 == 0 || (single && resizeMode_))
                p.fillRect(QRect(hs[h] - QPoint(2, 2), QSize(5, 5)), Qt::black);
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (mouseDown_ && drag_ != Drag::None) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        QRect outline = dragRect_;
        if (drag_ == Drag::Move)
            outline.translate(SnappedDelta(last_ - press_));
        else if (drag_ == Drag::Resize)
            outline = ResizedRect().normalized();
        else
            outline = Normal(press_, last_);
        p.drawRect(outline);
    }
}

void TPreview::RepaintView(const TView& view) { update(ShownBounds(view).adjusted(-3, -3, 3, 3)); }

// ---------------------------------------------------------------- selection

void TPreview::ClearSelection()
{
    if (TPage* page = Page())
        for (int i = 0; i < page->ViewCount(); ++i)
            page->View(i)->Selected = false;
    update();
}

void TPreview::SelectOnly(TView* view)
{
    ClearSelection();
    if (view)
        view->Selected = true;
}

void TPreview::DeleteSelected()
{
    TPage* page = Page();
    if (!page || SelectedCount(*page) == 0)
        return;
    for (int i = page->ViewCount() - 1; i >= 0; --i)
        if (page->View(i)->Selected)
            page->DeleteView(i);
    Changed();
}

void TPreview::Changed()
{
    if (TDocument* d = host_.Document())
        d->Unmodified = false;
    update();
    host_.BarsChanged(false);
}

void TPreview::OpenEditor()
{
    TPage* page = Page();
    if (!page || SelectedCount(*page) != 1)
        return;
    if (host_.EditObject(*page->View(TopmostSelected(*page))))
        Changed();
}

// ---------------------------------------------------------------- mouse

QPoint TPreview::SnappedDelta(QPoint d) const
{
    if (!Snap())
        return d;
    const int g = Grid();
    if (std::abs(d.x()) < g && std::abs(d.y()) < g)
        return QPoint();
    return QPoint(d.x() / g * g, d.y() / g * g);
}

int TPreview::HandleAt(QPoint p) const
{
    TPage* page = Page();
    if (!resizeMode_ || !page || SelectedCount(*page) != 1)
        return -1;
    const TView& v = *page->View(TopmostSelected(*page));
    if (v.T == vtBand)
        return -1;
    const auto hs = Handles(v.Bounds());
    for (int h = 0; h < 8; ++h)
        if (std::abs(p.x() - hs[h].x()) <= kHandleReach && std::abs(p.y() - hs[h].y()) <= kHandleReach)
            return h;
    return -1;
}

QRect TPreview::ResizedRect() const
{
    const QPoint d = SnappedDelta(last_ - press_);
    int x0 = startBounds_.x(), y0 = startBounds_.y();
    int x1 = x0 + startBounds_.width(), y1 = y0 + startBounds_.height();
    if (handle_ == 0 || handle_ == 6 || handle_ == 7)
        x0 += d.x();
    if (handle_ == 2 || handle_ == 3 || handle_ == 4)
        x1 += d.x();
    if (handle_ == 0 || handle_ == 1 || handle_ == 2)
        y0 += d.y();
    if (handle_ == 4 || handle_ == 5 || handle_ == 6)
        y1 += d.y();
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

void TPreview::mousePressEvent(QMouseEvent* event)
{
    TPage* page = Page();
    if (event->button() != Qt::LeftButton || !page || mouseDown_)
        return;
    setFocus();
    const QPoint pt = event->position().toPoint();
    const Qt::KeyboardModifiers mods = event->modifiers();
    press_ = last_ = pt;
    mouseDown_ = true;
    handle_ = -1;
    if (mods & Qt::ControlModifier) {
        if (!(mods & Qt::ShiftModifier))
            ClearSelection();
        drag_ = Drag::Band;
    } else if (tool_ != toolSelect) {
        drag_ = Drag::Create;
    } else if ((handle_ = HandleAt(pt)) >= 0) {
        drag_ = Drag::Resize;
    } else {
        TView* hit = nullptr;
        for (int i = page->ViewCount() - 1; i >= 0 && !hit; --i) {
            const QRect b = ShownBounds(*page->View(i));
            if (b.x() <= pt.x() && pt.x() <= b.x() + b.width() && b.y() <= pt.y() && pt.y() <= b.y() + b.height())
                hit = page->View(i);
        }
        if (!hit) {
            if (!(mods & Qt::ShiftModifier))
                ClearSelection();
            drag_ = Drag::Band;
        } else {
            if (mods & Qt::ShiftModifier)
                hit->Selected = !hit->Selected;
            else if (!hit->Selected)
                SelectOnly(hit);
            drag_ = SelectedCount(*page) > 0 ? Drag::Move : Drag::None;
            host_.BarsChanged(false);
        }
    }
    const int top = TopmostSelected(*page);
    startBounds_ = top >= 0 ? page->View(top)->Bounds() : QRect();
    dragRect_ = drag_ == Drag::Move || drag_ == Drag::Resize ? startBounds_ : QRect(pt, pt);
    update();
}

void TPreview::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pt = event->position().toPoint();
    if (!mouseDown_) {
        const int h = tool_ == toolSelect ? HandleAt(pt) : -1;
        if (h >= 0)
            setCursor(HandleCursor(h));
        else
            unsetCursor();
        return;
    }
    last_ = pt;
    update();
}

void TPreview::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (ignoreClick_ || !mouseDown_) {
        ignoreClick_ = false;
        mouseDown_ = false;
        return;
    }
    last_ = event->position().toPoint();
    mouseDown_ = false;
    const Drag drag = std::exchange(drag_, Drag::None);
    copy_ = nullptr; // a copy made with Ctrl stays
    unsetCursor();
    switch (drag) {
    case Drag::Move: FinishMove(); break;
    case Drag::Resize: FinishResize(); break;
    case Drag::Band: FinishBand(event); break;
    case Drag::Create: FinishCreate(); break;
    case Drag::None: break;
    }
    update();
}

void TPreview::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || tool_ != toolSelect)
        return;
    mouseDown_ = false;
    drag_ = Drag::None;
    ignoreClick_ = true;
    OpenEditor();
}

void TPreview::FinishMove()
{
    TPage* page = Page();
    const QPoint d = SnappedDelta(last_ - press_);
    const bool copied = copied_ != nullptr;
    copied_ = nullptr;
    if (d.isNull() && !copied)
        return;
    for (int i = 0; i < page->ViewCount(); ++i) {
        TView& v = *page->View(i);
        if (v.Selected) {
            v.X += d.x();
            v.Y += d.y();
        }
    }
    if (copied)
        ResortViews(*page);
    Changed();
}

void TPreview::FinishResize()
{
    TPage* page = Page();
    TView& v = *page->View(TopmostSelected(*page));
    const QRect r = ResizedRect();
    if (r == v.Bounds())
        return;
    // A negative size is turned the right way round only now.
    v.SetBounds(QRect(std::min(r.x(), r.x() + r.width()), std::min(r.y(), r.y() + r.height()), std::abs(r.width()),
        std::abs(r.height())));
    Changed();
}

void TPreview::FinishBand(QMouseEvent*)
{
    TPage* page = Page();
    const QRect band = Normal(press_, last_);
    const int l = band.left(), t = band.top(), rr = band.right(), b = band.bottom();
    for (int i = 0; i < page->ViewCount(); ++i) {
        TView& v = *page->View(i);
        const QRect o = ShownBounds(v);
        const int x0 = o.x(), y0 = o.y(), x1 = o.x() + o.width(), y1 = o.y() + o.height();
        const bool touches = x0 <= rr && x1 >= l && y0 <= b && y1 >= t;
        const bool encloses = x0 < l && x1 > rr && y0 < t && y1 > b;
        if (touches && !encloses)
            v.Selected = true;
    }
    host_.BarsChanged(true);
}

void TPreview::FinishCreate()
{
    TDocument* doc = host_.Document();
    TPage* page = Page();
    const T_RPDefDesigner& s = doc->Designer;
    QRect r = Normal(press_, last_);
    int x0 = r.left(), y0 = r.top(), x1 = r.right(), y1 = r.bottom();
    if (Snap()) {
        const int g = Grid();
        auto round = [g](int c) { return (c + g / 2) / g * g; };
        x0 = round(x0), y0 = round(y0), x1 = round(x1), y1 = round(y1);
    }
    const int type = tool_ == toolPicture ? vtPicture
        : tool_ == toolBand               ? vtBand
        : tool_ == toolOwnerDraw          ? vtOwnerDraw
                                          : vtText;
    auto v = std::make_unique<TView>(type, doc);
    v->X = x0;
    v->Y = y0;
    if (type == vtText) {
        v->W = 80;
        v->H = 24;
        v->FN = s.FontName;
        v->FS = s.FontSize;
        v->FY = s.FontStyle;
        v->SetHAlign(s.HAlign);
        v->SetVAlign(s.VAlign);
        v->SetWordWrap(s.WordWrap != 0);
        v->SetVerticalText(s.VertText != 0);
        v->FP = s.FP;
        v->FT = s.FrameTyp;
        v->M = QStringList{s.LabelText};
        if (tool_ == toolRectangle) {
            v->M.clear();
            v->FT = 15;
            v->FP = 272;
        }
    } else if (type == vtBand) {
        v->W = 80;
        v->H = 80;
        v->M = QStringList{QString()};
        v->FT = FirstFreeBandKind(*page);
    } else {
        v->W = 80;
        v->H = 80;
        v->FT = 15;
        v->FP = s.FP;
    }
    if (x1 - x0 > 8 || y1 - y0 > 8) {
        v->W = std::max(x1 - x0, 4);
        v->H = std::max(y1 - y0, 4);
    }
    v->FW = s.FrameWidth;
    ClearSelection();
    v->Selected = true;
    page->AddView(std::move(v));
    if (type == vtBand)
        ResortViews(*page);
    if (!repeat_) {
        tool_ = toolSelect;
        host_.ToolReverted();
    }
    Changed();
}

// ---------------------------------------------------------------- Ctrl-copy

void TPreview::StartCopy()
{
    TPage* page = Page();
    const int i = TopmostSelected(*page);
    TView* dragged = page->View(i);
    auto copy = std::make_unique<TView>(*dragged, dragged->Document);
    copy->Selected = false;
    copy->SetBounds(startBounds_);
    copy_ = page->InsertView(i, std::move(copy));
    copied_ = dragged;
    copiedKind_ = dragged->FT;
    if (dragged->T == vtBand && !IsDataBand(dragged->FT) && PageHasMarker(*page, dragged->FT, dragged))
        dragged->FT = FirstFreeBandKind(*page);
    setCursor(Qt::DragCopyCursor);
    update();
}

void TPreview::DropCopy()
{
    TPage* page = Page();
    for (int i = 0; page && i < page->ViewCount(); ++i)
        if (page->View(i) == copy_) {
            page->DeleteView(i);
            break;
        }
    if (copied_)
        copied_->FT = copiedKind_;
    copy_ = copied_ = nullptr;
    unsetCursor();
    update();
}

void TPreview::Cancel()
{
    if (copy_)
        DropCopy(); // the cancelled drag leaves no hidden twin behind
    mouseDown_ = false;
    drag_ = Drag::None;
    update();
}

// ---------------------------------------------------------------- keys

void TPreview::EscCycle()
{
    TPage* page = Page();
    if (!page || SelectedCount(*page) != 1)
        return;
    const int from = TopmostSelected(*page);
    for (int i = from - 1; i >= 0; --i) {
        TView* v = page->View(i);
        if (ShownBounds(*v).contains(press_)) {
            RepaintView(*page->View(from));
            SelectOnly(v);
            RepaintView(*v);
            host_.BarsChanged(false);
            return;
        }
    }
}

void TPreview::Scroll(Qt::Orientation o, int by)
{
    if (!box_)
        return;
    QScrollBar* bar = o == Qt::Horizontal ? box_->horizontalScrollBar() : box_->verticalScrollBar();
    bar->setValue(bar->value() + by);
}

void TPreview::ArrowKey(int key, Qt::KeyboardModifiers mods)
{
    const bool horizontal = key == Qt::Key_Left || key == Qt::Key_Right;
    const int sign = key == Qt::Key_Left || key == Qt::Key_Up ? -1 : 1;
    const Qt::Orientation o = horizontal ? Qt::Horizontal : Qt::Vertical;
    const bool ctrl = mods & Qt::ControlModifier, shift = mods & Qt::ShiftModifier;
    if (!ctrl && !shift) {
        if (box_)
            Scroll(o, sign * (horizontal ? box_->horizontalScrollBar() : box_->verticalScrollBar())->singleStep());
        return;
    }
    TPage* page = Page();
    if (!page || SelectedCount(*page) == 0) {
        if (box_)
            Scroll(o, sign * ViewPage(horizontal ? box_->viewport()->width() : box_->viewport()->height()));
        return;
    }
    const int step = ctrl ? (shift ? Grid() : 1) : 0;
    for (int i = 0; i < page->ViewCount(); ++i) {
        TView& v = *page->View(i);
        if (!v.Selected)
            continue;
        if (ctrl)
            (horizontal ? v.X : v.Y) += sign * step;
        else // never below 1, or the object could no longer be hit
            (horizontal ? v.W : v.H) = std::max(1, (horizontal ? v.W : v.H) + sign);
    }
    Changed();
}

bool TPreview::HandleKeyPress(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    TPage* page = Page();
    switch (event->key()) {
    case Qt::Key_Escape:
        if (mouseDown_)
            Cancel();
        else
            EscCycle();
        return true;
    case Qt::Key_Delete:
        if (mods & Qt::ControlModifier)
            return false;
        DeleteSelected();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mods & Qt::ControlModifier)
            return false;
        OpenEditor();
        return true;
    case Qt::Key_Control:
        if (mouseDown_ && drag_ == Drag::Move && !copy_ && page && SelectedCount(*page) == 1)
            StartCopy();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (mods & Qt::AltModifier)
            return false;
        ArrowKey(event->key(), mods);
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (box_)
            Scroll(Qt::Vertical, (event->key() == Qt::Key_PageUp ? -1 : 1) * ViewPage(box_->viewport()->height()));
        return true;
    default: return false;
    }
}

bool TPreview::HandleKeyRelease(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Control)
        return false;
    if (copy_ && mouseDown_)
        DropCopy();
    return true;
}

void TPreview::keyPressEvent(QKeyEvent* event)
{
    if (!HandleKeyPress(event))
        QWidget::keyPressEvent(event);
}

void TPreview::keyReleaseEvent(QKeyEvent* event)
{
    if (!HandleKeyRelease(event))
        QWidget::keyReleaseEvent(event);
}

} // namespace ReportDesign
