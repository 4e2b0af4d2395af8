#pragma once
// The in-place editor of the draw grid and its drop-down pick list. The
// editor asks its grid for the cell's text, alignment, style, limit and
// list, and hands keys it does not use back to the grid.

#include <QLineEdit>
#include <QListWidget>
#include <QString>

class QPainter;
class Tyq_DrawGrid;
class Tyq_InplaceEdit;

enum TInplaceEditStyle { esSimple, esEllipsis, esPickList };

// The drop-down list of the in-place editor: a top-most window that never
// takes the focus; the editor keeps it and forwards keys to it.
class TPopupListbox : public QListWidget {
    Q_OBJECT
public:
    explicit TPopupListbox(Tyq_InplaceEdit* editor);
    // Incremental search and list navigation for a key the editor passes on.
    void HandleKey(QKeyEvent* event);
    // The rows shown at most.
    static constexpr int kMaxRows = 8;
    // Characters typed within this time are collected for the search.
    static constexpr unsigned kSearchDelayMs = 4000;
    static constexpr int kSearchMaxChars = 32;
    const QString& SearchText() const { return searchText_; }
    int ItemHeight() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    friend class Tyq_InplaceEdit;
    void SelectAt(const QPoint& pos);

    Tyq_InplaceEdit* editor_;
    QString searchText_;
    unsigned searchTick_ = 0;
    bool captured_ = false;
};

// The grid's editor. Its style (from OnGetEditStyle) adds a button on the
// right edge: an ellipsis that fires OnEditButtonClick, or a combo arrow
// that opens the pick list.
class Tyq_InplaceEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit Tyq_InplaceEdit(Tyq_DrawGrid* grid);
    ~Tyq_InplaceEdit() override;

    Tyq_DrawGrid* Grid() const { return grid_; }
    TInplaceEditStyle EditStyle() const { return style_; }
    void SetEditStyle(TInplaceEditStyle style);
    // Null until the pick-list style is first used.
    TPopupListbox* PickList() const { return pickList_; }
    bool ListVisible() const;
    // The strip on the right edge that holds the button (empty for the plain style).
    QRect ButtonRect() const;
    int ButtonWidth() const;
    bool ButtonPressed() const { return pressed_; }

    void DropDown();
    void CloseUp(bool accept);
    // Loads the current cell: alignment, style, limit and text, without a change notice.
    void UpdateContents();
    void Deselect();
    // The clerk changed the text since the cell was loaded or stored.
    bool Typed() const { return typed_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class TPopupListbox;
    friend class Tyq_DrawGrid;
    void BoundsChanged();
    void StopTracking();
    void TrackButton(const QPoint& pos);
    void PaintButton(QPainter& p);
    void OnTextEdited();
    void ListMouseUp(const QPoint& globalPos, bool inside);
    bool HandleEditorKey(QKeyEvent* event);
    void PassBeyondGrid(QKeyEvent* event);

    Tyq_DrawGrid* grid_;
    TInplaceEditStyle style_ = esSimple;
    TPopupListbox* pickList_ = nullptr;
    bool activeList_ = false;
    bool tracking_ = false;
    bool pressed_ = false;
    bool loading_ = false;
    bool typed_ = false;
    int limit_ = 0;
};
