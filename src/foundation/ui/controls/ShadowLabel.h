#pragma once
// A label with raised, recessed or shadowed text, and an optional ellipsis
// for a caption too long for its width.

#include "foundation/ui/base/UiTypes.h"

#include <QColor>
#include <QLabel>
#include <QMargins>

class QFontMetrics;

enum TTextStyle { tsNone, tsRaised, tsRecessed, tsShadow };
enum TTextElipsStyle { tsNoneElisis, tsEndElisis, tsPathElisis };
enum TTextLayout { tlTop, tlCenter, tlBottom };

// Shortens a path in its middle so that it fits `width`: as much as possible
// of the part after the last "/" (or "\") is kept, and "…" replaces what is
// left out before it.
QString ElidePathText(const QFontMetrics& metrics, const QString& text, int width);

class Tyq_ShadowLabel : public QLabel {
    Q_OBJECT
public:
    explicit Tyq_ShadowLabel(QWidget* parent = nullptr);
    explicit Tyq_ShadowLabel(const QString& caption, QWidget* parent = nullptr);

    // An invalid colour stands for the button-shadow colour of the palette.
    QColor ShadowColor() const;
    void SetShadowColor(const QColor& value);
    int ShadowDepth() const { return shadowDepth_; }
    void SetShadowDepth(int value);
    TTextStyle TextStyle() const { return textStyle_; }
    void SetTextStyle(TTextStyle value);
    TTextElipsStyle TextElipsis() const { return textElipsis_; }
    void SetTextElipsis(TTextElipsStyle value);

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout value);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool value);
    QString Caption() const { return text(); }
    void SetCaption(const QString& value) { setText(value); }
    // The caption as it is drawn at the current width (after the ellipsis).
    QString DisplayText() const;
    // What the shadow passes add around the text.
    QMargins ShadowMargins() const;

    // Room for the text in the label's own font and for its shadow, so that
    // a layout never cuts the lower strokes or the shadow.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void SyncAlignment();
    int DrawFlags() const;

    QColor shadowColor_;
    int shadowDepth_ = 1;
    TTextStyle textStyle_ = tsRecessed;
    TTextElipsStyle textElipsis_ = tsNoneElisis;
    bool transparent_ = false;
    TAlignment alignment_ = taLeftJustify;
    TTextLayout layout_ = tlTop;
    bool showAccelChar_ = true;
};
