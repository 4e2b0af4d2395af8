#pragma once
// Number edits: a float, a currency and an integer edit. With the focus they
// show the edit text ("0.##", one "#" per decimal place); without it they
// paint the display text of their DisplayFormat. Typing is filtered so that
// the text always stays a number with at most DecimalPlaces decimals.

#include "foundation/ui/base/UiTypes.h"

#include <QLineEdit>

class Tyq_CustomNumEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit Tyq_CustomNumEdit(QWidget* parent = nullptr);

    // Reads the text back first; a text that is no number gives MinValue.
    double Value();
    void SetValue(double value);
    double MinValue() const { return minValue_; }
    void SetMinValue(double value);
    double MaxValue() const { return maxValue_; }
    void SetMaxValue(double value);
    bool BeepOnError() const { return beepOnError_; }
    void SetBeepOnError(bool value) { beepOnError_ = value; }
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    bool AutoSelect() const { return autoSelect_; }
    void SetAutoSelect(bool value) { autoSelect_ = value; }

    // The text setter: normalised, converted, limited, stored and rewritten.
    // Raises EConvertError for a text that is no number.
    void SetText(const QString& text);
    // What the edit shows without the focus.
    QString DisplayText() const;
    // The value limited by MinValue and MaxValue.
    double LimitValue(double value) const;
    // Reads the text back into the value (normalised, converted, limited);
    // raises EConvertError and keeps the value when the text is no number.
    void ReadBack();
    // Pastes the clipboard; a paste that leaves no number is undone and reported.
    void PasteText();

    TQtNotifyEvent OnChange;
    TQtNotifyEvent OnExit;

protected:
    int DecimalPlaces() const { return decimalPlaces_; }
    void SetDecimalPlaces(int value);
    QString DisplayFormat() const { return displayFormat_; }
    void SetDisplayFormat(const QString& value);
    virtual QString DefaultDisplayFormat() const;
    // Whether typing key (the selection replaced by it) leaves an acceptable text.
    virtual bool IsValidChar(QChar key) const;
    // The class's own limits after MinValue/MaxValue (the integer range).
    virtual double ClampToType(double value) const { return value; }
    // Normalisation of a text before it is converted ("" → "0", "-" → "-0").
    static QString TextToValText(const QString& text);
    void DataChanged();

    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    double value_ = 0;
    double minValue_ = 0;
    double maxValue_ = 0;
    int decimalPlaces_ = 2;
    QString displayFormat_;

private:
    void SetFocused(bool value);
    void ReapplyLimits();
    QString EditTextOf(double value) const;

    bool beepOnError_ = true;
    bool autoSelect_ = true;
    TAlignment alignment_ = taRightJustify;
    bool focused_ = false;
};

class Tyq_FloatEdit : public Tyq_CustomNumEdit {
    Q_OBJECT
public:
    explicit Tyq_FloatEdit(QWidget* parent = nullptr);
    using Tyq_CustomNumEdit::DecimalPlaces;
    using Tyq_CustomNumEdit::DisplayFormat;
    using Tyq_CustomNumEdit::SetDecimalPlaces;
    using Tyq_CustomNumEdit::SetDisplayFormat;

protected:
    QString DefaultDisplayFormat() const override;
};

class Tyq_CurrencyEdit : public Tyq_FloatEdit {
    Q_OBJECT
public:
    explicit Tyq_CurrencyEdit(QWidget* parent = nullptr);
    // ",0.00" with the currency string placed by the format settings, as
    // positive and negative sections.
    static QString CurrencyDisplayFormat();

protected:
    QString DefaultDisplayFormat() const override;
};

// Integer values only; they stay inside the 32-bit range (a key that would
// leave it is refused, a larger value is clamped).
class Tyq_IntegerEdit : public Tyq_CustomNumEdit {
    Q_OBJECT
public:
    explicit Tyq_IntegerEdit(QWidget* parent = nullptr);
    int Value();
    void SetValue(int value);
    int MinValue() const;
    void SetMinValue(int value);
    int MaxValue() const;
    void SetMaxValue(int value);

protected:
    QString DefaultDisplayFormat() const override;
    bool IsValidChar(QChar key) const override;
    double ClampToType(double value) const override;
};
