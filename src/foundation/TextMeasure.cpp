#include "foundation/TextMeasure.h"

#include <QFontMetrics>
#include <QRect>

#include <climits>

QSize MeasureText(const QString& S, const QFont& Font, int Width, bool WordWrap)
{
    QString text = S;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QFontMetrics fm(Font);
    int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs;
    if (WordWrap)
        flags |= Qt::TextWordWrap;
    const QRect box(0, 0, WordWrap ? qMax(Width, 1) : 0, INT_MAX / 2);
    return fm.boundingRect(box, flags, text).size();
}

QSize MeasureTextLine(const QString& S, const QFont& Font) { return MeasureText(S, Font, 0, false); }

int TextWidthInFont(const QString& S, const QFont& Font) { return MeasureTextLine(S, Font).width(); }

int TextHeightInFont(const QString& S, const QFont& Font) { return MeasureTextLine(S, Font).height(); }

QSize MeasureWrappedText(const QString& S, const QFont& Font, int Width) { return MeasureText(S, Font, Width, true); }

int WrappedTextHeight(const QString& S, const QFont& Font, int Width)
{
    return MeasureWrappedText(S, Font, Width).height();
}

int DateMaskWidth(const QFont& Font) { return TextWidthInFont(QStringLiteral(" 99/99/9999"), Font); }
