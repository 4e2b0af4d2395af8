#pragma once
// A grid of Cols x Rows captioned cells drawn as bevels, with a selected
// cell and a "hot" cell under the mouse. The month picker builds its year
// and month grids from it.

#include "foundation/ui/base/UiTypes.h"

#include <QColor>
#include <QStringList>
#include <QWidget>

enum TBevelStyle { bsLowered, bsRaised };
enum Tyq_BevelOrientation { boHorizontal, boVertical };
enum Tyq_BevelOption { boSelPressed, boSelShow, boSelRange };
using Tyq_BevelOptions = TSet<Tyq_BevelOption>;

using TBv0ChangeEvent = std::function<void(QObject* Sender, int Col, int Row)>;

class Tyq_Bevel : public QWidget {
    Q_OBJECT
public:
    explicit Tyq_Bevel(QWidget* parent = nullptr);

    int Cols() const { return cols_; }
    // Accepts 1 to width div 4 (Rows: height div 4); other values are ignored.
    void SetCols(int value);
    int Rows() const { return rows_; }
    void SetRows(int value);
    int Col() const { return col_; }
    void SetCol(int value);
    int Row() const { return row_; }
    void SetRow(int value);
    // Both at once, with one redraw of the selection.
    void SelectCell(int col, int row);
    QStringList Caps() const { return caps_; }
    void SetCaps(const QStringList& value);
    Tyq_BevelOrientation Orientation() const { return orientation_; }
    void SetOrientation(Tyq_BevelOrientation value);
    Tyq_BevelOptions Options() const { return options_; }
    void SetOptions(Tyq_BevelOptions value);
    TBevelStyle Style() const { return style_; }
    void SetStyle(TBevelStyle value);
    bool Flat() const { return flat_; }
    void SetFlat(bool value) { flat_ = value; }
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    // An invalid colour stands for the window-text colour of the palette.
    QColor SelColor() const;
    void SetSelColor(const QColor& value);

    // Width div Cols and height div Rows; 0 when the control is smaller than its cells.
    int CellWidth() const;
    int CellHeight() const;
    QRect CellRect(int col, int row) const;
    // The caption of a cell (empty without captions).
    QString CellCaption(int col, int row) const;
    int HotCol() const { return hotCol_; }
    int HotRow() const { return hotRow_; }
    bool HotVisible() const { return !hotRect_.isNull(); }
    QRect RangeRect() const { return rangeRect_; }

    TBv0ChangeEvent OnChange;
    TBv0ChangeEvent OnChangeSel;
    TQtNotifyEvent OnClick;
    TQtNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    enum class Track { Move, Press, Release, Leave };
    void ApplyBounds();
    void RedrawSelection();
    void TrackHot(const QPoint& pos, Track kind, bool leftHeld);
    void DrawFrame(QPainter& p, const QRect& r, bool raised) const;

    int cols_ = 1;
    int rows_ = 1;
    int col_ = -1;
    int row_ = -1;
    QStringList caps_;
    Tyq_BevelOrientation orientation_ = boVertical;
    Tyq_BevelOptions options_;
    TBevelStyle style_ = bsRaised;
    bool flat_ = true;
    TAlignment alignment_ = taCenter;
    QColor selColor_;

    QRect hotRect_;
    int hotCol_ = -1;
    int hotRow_ = -1;
    bool hotInverted_ = false;
    QRect rangeRect_;
    QRect lastSelRect_;
    int lastSelCol_ = -1;
    int lastSelRow_ = -1;
    bool mouseInside_ = false;
    bool applyingBounds_ = false;
    bool doubleClicked_ = false;
};
