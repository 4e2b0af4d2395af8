#include "foundation/ui/controls/ShadowLabel.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

const QString kEllipsis = QStringLiteral("\u2026");

} // namespace

QString ElidePathText(const QFontMetrics& metrics, const QString& text, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const int sep = std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\')));
    if (sep < 0)
        return metrics.elidedText(text, Qt::ElideMiddle, width);
    const QString head = text.left(sep);
    const QString tail = text.mid(sep);
    for (int n = head.size() - 1; n >= 0; --n) {
        const QString candidate = head.left(n) + kEllipsis + tail;
        if (metrics.horizontalAdvance(candidate) <= width)
            return candidate;
    }
    // Even the last part is too wide: it is kept whole and clipped.
    return kEllipsis + tail;
}

Tyq_ShadowLabel::Tyq_ShadowLabel(QWidget* parent) : Tyq_ShadowLabel(QString(), parent) {}

Tyq_ShadowLabel::Tyq_ShadowLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent)
{
    setObjectName(QStringLiteral("Tyq_ShadowLabel"));
    setTextFormat(Qt::PlainText);
    SyncAlignment();
}

QColor Tyq_ShadowLabel::ShadowColor() const
{
    return shadowColor_.isValid() ? shadowColor_ : palette().color(QPalette::Dark);
}

void Tyq_ShadowLabel::SetShadowColor(const QColor& value)
{
    shadowColor_ = value;
    update();
}

void Tyq_ShadowLabel::SetShadowDepth(int value)
{
    shadowDepth_ = value;
    updateGeometry();
    update();
}

void Tyq_ShadowLabel::SetTextStyle(TTextStyle value)
{
    textStyle_ = value;
    updateGeometry();
    update();
}

QMargins Tyq_ShadowLabel::ShadowMargins() const
{
    const int d = std::max(shadowDepth_, 0);
    switch (textStyle_) {
    case tsShadow: return QMargins(0, 0, d, d);
    case tsRaised:
    case tsRecessed: return QMargins(d, d, d, d);
    case tsNone: break;
    }
    return QMargins();
}

QSize Tyq_ShadowLabel::sizeHint() const
{
    const QMargins m = ShadowMargins();
    return QLabel::sizeHint().grownBy(m);
}

QSize Tyq_ShadowLabel::minimumSizeHint() const
{
    const QMargins m = ShadowMargins();
    QSize least = QLabel::minimumSizeHint();
    // An elided caption may be narrow, but never lower than one line.
    least.setHeight(std::max(least.height(), fontMetrics().height() + 2 * margin()));
    return least.grownBy(m);
}

int Tyq_ShadowLabel::heightForWidth(int width) const
{
    const QMargins m = ShadowMargins();
    const int h = QLabel::heightForWidth(width - m.left() - m.right());
    return h < 0 ? h : h + m.top() + m.bottom();
}

void Tyq_ShadowLabel::SetTextElipsis(TTextElipsStyle value)
{
    textElipsis_ = value;
    update();
}

void Tyq_ShadowLabel::SetTransparent(bool value)
{
    transparent_ = value;
    update();
}

void Tyq_ShadowLabel::SetAlignment(TAlignment value)
{
    alignment_ = value;
    SyncAlignment();
}

void Tyq_ShadowLabel::SetLayout(TTextLayout value)
{
    layout_ = value;
    SyncAlignment();
}

void Tyq_ShadowLabel::SetShowAccelChar(bool value)
{
    showAccelChar_ = value;
    update();
}

void Tyq_ShadowLabel::SyncAlignment()
{
    const Qt::Alignment v = layout_ == tlCenter ? Qt::AlignVCenter
        : layout_ == tlBottom                   ? Qt::AlignBottom
                                                : Qt::AlignTop;
    setAlignment(HorizontalAlignment(alignment_) | v);
    update();
}

int Tyq_ShadowLabel::DrawFlags() const
{
    int flags = static_cast<int>(HorizontalAlignment(alignment_)) | Qt::AlignTop | Qt::TextExpandTabs;
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    if (showAccelChar_)
        flags |= Qt::TextShowMnemonic;
    return flags;
}

QString Tyq_ShadowLabel::DisplayText() const
{
    const QString caption = text();
    if (textElipsis_ == tsNoneElisis || wordWrap())
        return caption;
    const QFontMetrics fm(font());
    const int width = contentsRect().marginsRemoved(ShadowMargins()).width();
    QStringList lines = caption.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line
            = textElipsis_ == tsEndElisis ? fm.elidedText(line, Qt::ElideRight, width) : ElidePathText(fm, line, width);
    return lines.join(QLatin1Char('\n'));
}

void Tyq_ShadowLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!transparent_)
        p.fillRect(rect(), palette().color(backgroundRole()));
    p.setFont(font());
    p.setBrush(Qt::NoBrush);
    const int flags = DrawFlags();
    const QString caption = DisplayText();
    // The text goes inside the room its shadow passes leave.
    QRect r = contentsRect().marginsRemoved(ShadowMargins());
    if (layout_ != tlTop) {
        const int h = QFontMetrics(font()).boundingRect(r, flags, caption).height();
        r.translate(0, layout_ == tlCenter ? (r.height() - h) / 2 : r.height() - h);
    }
    const int d = shadowDepth_;
    auto draw = [&](const QColor& color, int dx, int dy) {
        p.setPen(color);
        p.drawText(r.translated(dx, dy), flags, caption);
    };
    const QColor light = palette().color(QPalette::Light);
    const QColor dark = palette().color(QPalette::Dark);
    switch (textStyle_) {
    case tsRaised:
        draw(light, 0, -d);
        draw(light, -d, -d);
        draw(dark, 0, d);
        draw(dark, d, d);
        break;
    case tsRecessed:
        draw(light, 0, d);
        draw(light, d, d);
        draw(dark, 0, -d);
        draw(dark, -d, -d);
        break;
    case tsShadow: draw(ShadowColor(), d, d); break;
    case tsNone: break;
    }
    draw(isEnabled() ? palette().color(QPalette::WindowText) : palette().color(QPalette::Disabled, QPalette::Text), 0,
        0);
}
