#pragma once
// An edit with a button inside its right edge (an ellipsis, a drop-down
// arrow or a custom glyph). The button, or its click key, fires
// OnButtonClick; a descendant may attach a drop-down window instead.

#include "foundation/ui/base/UiTypes.h"

#include <QImage>
#include <QKeySequence>
#include <QLineEdit>
#include <QPixmap>
#include <QToolButton>

enum TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };

// The ellipsis glyph of the button: as wide as the button less 4, 4 pixels
// high, three black 2 x 2 dots at y = 1 on a transparent ground.
QImage ComboEllipsisGlyph(int buttonWidth);

class TEditButton : public QToolButton {
    Q_OBJECT
public:
    explicit TEditButton(QWidget* parent = nullptr);
};

class Tyq_CustomComboEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit Tyq_CustomComboEdit(QWidget* parent = nullptr);
    ~Tyq_CustomComboEdit() override;

    static constexpr int kDefaultButtonWidth = 21;

    TEditButton* Button() const { return button_; }
    bool AlwaysEnable() const { return alwaysEnable_; }
    void SetAlwaysEnable(bool value) { alwaysEnable_ = value; }
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool value) { autoSelect_ = value; }
    QString ButtonHint() const { return button_->toolTip(); }
    void SetButtonHint(const QString& value) { button_->setToolTip(value); }
    QKeySequence ClickKey() const { return clickKey_; }
    void SetClickKey(const QKeySequence& value) { clickKey_ = value; }
    TGlyphKind GlyphKind() const { return glyphKind_; }
    void SetGlyphKind(TGlyphKind value);
    QPixmap Glyph() const { return glyph_; }
    void SetGlyph(const QPixmap& value);
    int ButtonWidth() const { return buttonWidth_; }
    void SetButtonWidth(int value);
    bool DirectInput() const { return directInput_; }
    void SetDirectInput(bool value);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);

    // The button action: ignored while ReadOnly without AlwaysEnable; opens
    // or closes an attached drop-down, otherwise fires OnButtonClick.
    void DoClick();
    bool PopupVisible() const;
    // Closes the drop-down, taking its value into the text or not.
    void PopupCloseUp(bool accept);

    TQtNotifyEvent OnButtonClick;

protected:
    // For descendants with a drop-down: the window (owned by the edit) that
    // opens under the edit and keeps the focus in it.
    void SetPopup(QWidget* popup);
    QWidget* Popup() const { return popup_; }
    // Fills the drop-down from the text before it opens.
    virtual void PopupSetValue(const QString& text);
    // The value the drop-down gives when it closes with acceptance.
    virtual QString PopupValue() const;
    void PopupDropDown();

    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class ComboPopupFilter;
    void UpdateEditable();
    void UpdateControlsPos();
    void UpdateGlyph();
    void UpdateMinimumHeight();
    bool EditAllowed() const { return directInput_ && !readOnly_; }

    TEditButton* button_;
    QWidget* popup_ = nullptr;
    QObject* popupFilter_ = nullptr;
    bool alwaysEnable_ = true;
    bool autoSelect_ = true;
    QKeySequence clickKey_{Qt::ALT | Qt::Key_Down};
    TGlyphKind glyphKind_ = gkCustom;
    QPixmap glyph_;
    int buttonWidth_ = kDefaultButtonWidth;
    bool directInput_ = true;
    bool readOnly_ = false;
    TAlignment alignment_ = taLeftJustify;
};

class Tyq_ComboEdit : public Tyq_CustomComboEdit {
    Q_OBJECT
public:
    explicit Tyq_ComboEdit(QWidget* parent = nullptr);
};
