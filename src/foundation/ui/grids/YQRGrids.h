#pragma once
// The program's draw grid: owner-drawn cells, fixed rows and columns that may
// act as push buttons, and in-place editing with a per-cell editor style
// (plain, ellipsis button or drop-down pick list). The grid keeps the shape
// and the rules of the old class library's draw grid (RowCount, FixedRows,
// ColWidths, Col/Row, OnDrawCell, OnGetEditText/OnSetEditText, the option
// bits), so that the windows built on it read as they did.

#include "foundation/ui/base/UiTypes.h"
#include "foundation/ui/grids/InplaceEdit.h"

#include <QAbstractScrollArea>
#include <QStringList>
#include <functional>
#include <vector>

class QPainter;

// The bit order is the old library's, so that a stored option value (175)
// means the same options.
enum TGridOption {
    goFixedVertLine,
    goFixedHorzLine,
    goVertLine,
    goHorzLine,
    goRangeSelect,
    goDrawFocusSelected,
    goRowSizing,
    goColSizing,
    goRowMoving,
    goColMoving,
    goEditing,
    goTabs,
    goRowSelect,
    goAlwaysShowEditor,
    goThumbTracking
};

class TGridOptions {
public:
    constexpr TGridOptions() = default;
    constexpr explicit TGridOptions(unsigned bits) : bits_(bits) {}
    constexpr TGridOptions(std::initializer_list<TGridOption> options)
    {
        for (TGridOption o : options)
            bits_ |= 1u << o;
    }
    constexpr bool Contains(TGridOption o) const { return (bits_ >> o) & 1u; }
    constexpr TGridOptions& Include(TGridOption o)
    {
        bits_ |= 1u << o;
        return *this;
    }
    constexpr TGridOptions& Exclude(TGridOption o)
    {
        bits_ &= ~(1u << o);
        return *this;
    }
    constexpr TGridOptions With(TGridOption o) const { return TGridOptions(bits_ | (1u << o)); }
    constexpr TGridOptions Without(TGridOption o) const { return TGridOptions(bits_ & ~(1u << o)); }
    constexpr unsigned Bits() const { return bits_; }
    constexpr bool operator==(const TGridOptions&) const = default;

private:
    unsigned bits_ = 0;
};

enum TGridDrawStateItem : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = unsigned;

struct TGridCoord {
    int X = 0;
    int Y = 0;
    bool operator==(const TGridCoord&) const = default;
};

struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool Contains(int col, int row) const { return col >= Left && col <= Right && row >= Top && row <= Bottom; }
    bool operator==(const TGridRect&) const = default;
};

using TDrawCellEvent
    = std::function<void(QObject* Sender, int ACol, int ARow, const QRect& Rect, TGridDrawState State)>;
using TSelectCellEvent = std::function<void(QObject* Sender, int ACol, int ARow, bool& CanSelect)>;
using TGetEditEvent = std::function<void(QObject* Sender, int ACol, int ARow, QString& Value)>;
using TSetEditEvent = std::function<void(QObject* Sender, int ACol, int ARow, const QString& Value)>;
using TGridKeyEvent = std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;
// Key 0 drops the character; another value replaces it.
using TGridKeyPressEvent = std::function<void(QObject* Sender, QChar& Key)>;
// The handler gets a copy of the key; the answer decides whether the editor takes it.
using TAcceptKeyEvent = std::function<bool(QObject* Sender, QChar Key)>;
using TFixedCellCheckEvent = std::function<void(QObject* Sender, int ACol, int ARow, bool& Enabled)>;
using TFixedCellClickEvent = std::function<void(QObject* Sender, int ACol, int ARow)>;
using TEditLimitEvent = std::function<void(QObject* Sender, int& MaxLength)>;
using TEditShowEvent = std::function<void(QObject* Sender, int ACol, int ARow, bool& AllowEdit)>;
using TEditAlignEvent = std::function<void(QObject* Sender, int ACol, int ARow, TAlignment& Alignment)>;
using TEditStyleEvent = std::function<void(QObject* Sender, int ACol, int ARow, TInplaceEditStyle& Style)>;
using TPicklistEvent = std::function<void(QObject* Sender, int ACol, int ARow, QStringList& PickList)>;

// Fills Rect with the painter's brush and draws Text in the painter's pen
// and font. HorizontalAlign: 0 left, 1 right, 2 centre; VerticalAlign: 0
// top, 1 centre, 2 bottom. Margin comes off the side the text is aligned to
// (none for centring). Tabs are expanded; WordWrap breaks lines at words.
void DrawCellText(QPainter* Canvas, const QRect& Rect, const QString& Text, int Margin, bool WordWrap,
    int VerticalAlign, int HorizontalAlign);

// Removes the pending posted events of one type for a receiver. A quit
// request removed this way is posted again, so that the program still ends.
void RemovePendingMessage(QObject* Window, int MessageId);

class Tyq_DrawGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit Tyq_DrawGrid(QWidget* parent = nullptr);
    ~Tyq_DrawGrid() override;

    static constexpr unsigned kDefaultOptions = 175;

    // ----- shape
    int ColCount() const { return colCount_; }
    void SetColCount(int value);
    int RowCount() const { return rowCount_; }
    void SetRowCount(int value);
    int FixedCols() const { return fixedCols_; }
    void SetFixedCols(int value);
    int FixedRows() const { return fixedRows_; }
    void SetFixedRows(int value);
    int DefaultColWidth() const { return defaultColWidth_; }
    void SetDefaultColWidth(int value);
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void SetDefaultRowHeight(int value);
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    int GridLineWidth() const { return gridLineWidth_; }
    void SetGridLineWidth(int value);
    TGridOptions Options() const { return options_; }
    void SetOptions(TGridOptions value);
    bool DefaultDrawing() const { return defaultDrawing_; }
    void SetDefaultDrawing(bool value);
    bool FixedButtons() const { return fixedButtons_; }
    void SetFixedButtons(bool value);
    QColor Color() const { return color_; }
    void SetColor(const QColor& value);
    QColor FixedColor() const { return fixedColor_; }
    void SetFixedColor(const QColor& value);

    // ----- position
    int Col() const { return current_.X; }
    void SetCol(int value);
    int Row() const { return current_.Y; }
    void SetRow(int value);
    // Moves the current cell (both at once), as a click would.
    void FocusCell(int col, int row);
    TGridRect Selection() const;
    void SetSelection(const TGridRect& value);
    int TopRow() const { return topLeft_.Y; }
    void SetTopRow(int value);
    int LeftCol() const { return topLeft_.X; }
    void SetLeftCol(int value);
    int VisibleColCount() const;
    int VisibleRowCount() const;
    // The cell's rectangle in viewport coordinates; empty when it is scrolled out.
    QRect CellRect(int col, int row) const;
    // The cell at a viewport point; -1 for a point beyond the cells.
    TGridCoord MouseCoord(int x, int y) const;
    bool EditorMode() const { return editorMode_; }
    void SetEditorMode(bool value);
    void ShowEditor();
    void HideEditor();
    Tyq_InplaceEdit* InplaceEditor() const { return editor_; }
    // The painter of the cell being drawn; valid only inside OnDrawCell.
    QPainter* Canvas() const { return canvas_; }
    // The fixed cell pressed as a button ({-1, -1} when none).
    TGridCoord PressedCell() const { return pressedCell_; }
    bool PressedDrawn() const { return pressedDrawn_; }

    void InvalidateCell(int col, int row);
    void InvalidateRow(int row);
    void InvalidateCol(int col);
    void InvalidateGrid();

    // ----- events of the old library's draw grid
    TDrawCellEvent OnDrawCell;
    TSelectCellEvent OnSelectCell;
    TGetEditEvent OnGetEditText;
    TSetEditEvent OnSetEditText;
    TQtNotifyEvent OnClick;
    TQtNotifyEvent OnDblClick;
    TQtNotifyEvent OnTopLeftChanged;
    TGridKeyEvent OnKeyDown;
    TGridKeyPressEvent OnKeyPress;

    // ----- the program's own events
    TAcceptKeyEvent OnAcceptEditKey;
    TQtNotifyEvent OnCancelEdit;
    TFixedCellCheckEvent OnCheckButton;
    TQtNotifyEvent OnChangeFocus;
    TFixedCellClickEvent OnFixedCellClick;
    TQtNotifyEvent OnColumnSized;
    TQtNotifyEvent OnRowSized;
    TEditLimitEvent OnGetEditLimit;
    TQtNotifyEvent OnEditChange;
    TEditShowEvent OnShowEditor;
    TEditAlignEvent OnGetEditAlign;
    TEditStyleEvent OnGetEditStyle;
    TPicklistEvent OnGetPicklist;
    TQtNotifyEvent OnEditButtonClick;

    // ----- what the editor asks of the grid
    QString GetEditText(int col, int row);
    void SetEditText(int col, int row, const QString& value);
    bool CanEditAcceptKey(QChar key);
    bool CanEditModify() const { return canEditModify_; }
    int GetEditLimit();
    TAlignment GetEditAlign(int col, int row);
    TInplaceEditStyle GetEditStyle(int col, int row);
    void GetPickList(int col, int row, QStringList& list);
    void EditButtonClick();
    // True when the keyboard focus is in the grid or its editor.
    bool IsActiveControl() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool event(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    friend class Tyq_InplaceEdit;
    enum class GridState { Normal, Selecting, RowSizing, ColSizing };

    // key handling shared with the editor
    // Whether a key's character is one the grid takes as typed.
    static bool IsTextChar(QChar ch);
    // Answer true when the key was used.
    bool KeyDown(int& key, Qt::KeyboardModifiers shift);
    bool KeyPress(QChar& key);
    bool MoveFocusOut(bool next);

    void MoveCurrent(int col, int row, bool moveAnchor, bool show);
    void MoveAnchor(int col, int row);
    bool SelectCell(int col, int row);
    void ClampInView(int col, int row);
    void MoveTopLeft(int left, int top);
    void UpdateScrollBars();
    int MaxTopRow() const;
    int MaxLeftCol() const;
    void UpdateEdit();
    void HideEdit();
    void UpdateText();
    bool CanEditShow();
    void EditorTextChanged();
    void FocusLeftGrid();
    void FocusEnteredGrid();

    int ColLeft(int col) const;
    int RowTop(int row) const;
    // What a grid line adds after each column and after each row (0 when
    // neither its fixed nor its plain line is drawn).
    int ColLineWidth() const;
    int RowLineWidth() const;
    void DrawCell(QPainter& p, int col, int row, QRect rect, TGridDrawState state);
    void PaintLines(QPainter& p);
    void ResizeAxis(std::vector<int>& sizes, int count, int def);
    // One column's width or one row's height, then the default of all of them;
    // sized is the axis's notification.
    void SetCellSize(std::vector<int>& sizes, int count, int index, int size, const TQtNotifyEvent& sized);
    void SetDefaultSize(int& def, std::vector<int>& sizes, int value, const TQtNotifyEvent& sized);
    bool SizingAt(const QPoint& pos, GridState& state, int& index) const;

    bool IsFixedButton(int col, int row);
    void SetPressedDrawn(bool on);
    void StopFixedTracking();

    int colCount_ = 5;
    int rowCount_ = 5;
    int fixedCols_ = 1;
    int fixedRows_ = 1;
    int defaultColWidth_ = 64;
    int defaultRowHeight_ = 18;
    int gridLineWidth_ = 1;
    std::vector<int> colWidths_;
    std::vector<int> rowHeights_;
    TGridOptions options_{kDefaultOptions};
    bool defaultDrawing_ = true;
    bool fixedButtons_ = false;
    QColor color_;
    QColor fixedColor_;

    TGridCoord current_{1, 1};
    TGridCoord anchor_{1, 1};
    TGridCoord topLeft_{1, 1};
    bool editorMode_ = false;
    Tyq_InplaceEdit* editor_ = nullptr;
    int inplaceCol_ = -1;
    int inplaceRow_ = -1;
    bool canEditModify_ = true;
    bool cancelling_ = false;
    bool updatingText_ = false;
    bool focusInside_ = false;
    bool updatingScrollBars_ = false;
    QPainter* canvas_ = nullptr;

    GridState gridState_ = GridState::Normal;
    int sizingIndex_ = -1;
    int sizingPos_ = 0;
    int sizingOfs_ = 0;

    TGridCoord pressedCell_{-1, -1};
    bool fixedTracking_ = false;
    bool pressedDrawn_ = false;
};
