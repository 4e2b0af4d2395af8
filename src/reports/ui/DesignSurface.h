#pragma once
// The designer's page surface: the active template page at 1:1 on a white
// sheet inside a grey scroll box, edited with the mouse and the keys. It
// changes the document's active page directly; the designer window hosts
// it through IDesignHost.

#include <QPoint>
#include <QRect>
#include <QWidget>

class QScrollArea;
class TDocument;
class TPage;
class TView;

namespace ReportDesign {

// Tools of the surface; the selection tool is 0.
enum TTool : int { toolSelect = 0, toolText, toolPicture, toolBand, toolOwnerDraw, toolRectangle };

class IDesignHost {
public:
    virtual ~IDesignHost() = default;
    virtual TDocument* Document() = 0;
    // The selection, an attribute or the document changed; releaseChecks
    // after a rubber band (the attribute bars' check buttons go up first).
    virtual void BarsChanged(bool releaseChecks) = 0;
    // An object was made without the repeat flag: the tool is selection again.
    virtual void ToolReverted() = 0;
    // The editor of one object; true when it closed with OK.
    virtual bool EditObject(TView& view) = 0;
    // While busy the surface does not paint.
    virtual bool Busy() const { return false; }
};

// Band kinds that may have several markers on a page.
bool IsDataBand(int kind);
bool PageHasMarker(const TPage& page, int kind, const TView* except = nullptr);
// The first kind 0-13 without a marker on the page, else Master data.
int FirstFreeBandKind(const TPage& page);
// Markers first in their order, the Overlay marker in front of all; every
// move clears the document's unmodified flag.
void ResortViews(TPage& page);
int SelectedCount(const TPage& page);
// The topmost selected object: the selected one nearest the list's end;
// with none selected the last object (-1 on an empty page).
int TopmostSelected(const TPage& page);
// The bounds the surface hits and marks: a band marker spans the sheet.
QRect ShownBounds(const TView& view);
// A view page: the size less 38 when 77 or more, 38 between 39 and 76.
int ViewPage(int size);

class TPreview : public QWidget {
    Q_OBJECT
public:
    explicit TPreview(IDesignHost& host, QScrollArea* box = nullptr, QWidget* parent = nullptr);

    int Tool() const { return tool_; }
    void SetTool(int tool) { tool_ = tool; }
    bool Repeat() const { return repeat_; }
    void SetRepeat(bool on) { repeat_ = on; }
    // Handles and resizing of a single selected object.
    bool ResizeMode() const { return resizeMode_; }
    void SetResizeMode(bool on) { resizeMode_ = on; }

    // The sheet's size, centred in the scroll box when that is wider.
    void FitToBox();
    void ResetMouse();
    bool Dragging() const { return mouseDown_; }

    // Keys as the designer window forwards them; true when used.
    bool HandleKeyPress(QKeyEvent* event);
    bool HandleKeyRelease(QKeyEvent* event);

    // Repaints the object's hit rectangle.
    void RepaintView(const TView& view);
    void SelectOnly(TView* view);
    void ClearSelection();
    void DeleteSelected();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Drag { None, Move, Resize, Band, Create };
    TPage* Page() const;
    int Grid() const;
    bool Snap() const;
    QPoint SnappedDelta(QPoint d) const;
    int HandleAt(QPoint p) const; // 0-7 of the single selected object, -1 none
    void StartCopy();
    void DropCopy();
    void Cancel();
    void FinishMove();
    void FinishResize();
    void FinishBand(QMouseEvent* event);
    void FinishCreate();
    void EscCycle();
    void ArrowKey(int key, Qt::KeyboardModifiers mods);
    void Scroll(Qt::Orientation o, int by);
    void Changed();
    void OpenEditor();
    QRect ResizedRect() const;

    IDesignHost& host_;
    QScrollArea* box_;
    int tool_ = toolSelect;
    bool repeat_ = false;
    bool resizeMode_ = true;
    bool mouseDown_ = false;
    Drag drag_ = Drag::None;
    int handle_ = -1;
    QPoint press_, last_;
    QRect dragRect_, startBounds_;
    TView* copy_ = nullptr; // owned by the page
    TView* copied_ = nullptr;
    int copiedKind_ = 0;
    bool ignoreClick_ = false;
};

} // namespace ReportDesign
