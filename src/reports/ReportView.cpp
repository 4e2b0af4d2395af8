#include "reports/ReportView.h"

#include "foundation/IniFiles.h"
#include "platform/FormatSettings.h"
#include "reports/ReportBands.h"
#include "reports/ReportDocument.h"

#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <cmath>
#include <utility>

const QString kAsterisks(33, QLatin1Char('*'));

namespace {

// The blank kept between the inner rectangle and the text.
constexpr int kMargin = 1;

const QString kValueMarker = QString(QChar(4)) + QChar(1) + QChar(3) + QChar(2);

// Restores a value when the scope ends, also when a handler raised.
template <typename T> class Restore {
public:
    explicit Restore(T& ref) : ref_(ref), saved_(ref) {}
    ~Restore() { ref_ = std::move(saved_); }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;
    const T& saved() const { return saved_; }

private:
    T& ref_;
    T saved_;
};

const QRgb kColours[16] = {0xFFFFFF, 0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
    0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF};

// How one text block is laid out.
struct TBlockStyle {
    QFont font;
    int hAlign = 0, vAlign = 0;
    bool wrap = false, vertical = false, all = false;
};

struct TMetrics {
    explicit TMetrics(const QFont& f) : fm(f)
    {
        lineHeight = static_cast<int>(std::ceil(fm.ascent() + fm.descent()));
        tab = 8 * fm.averageCharWidth();
        if (tab <= 0)
            tab = 8;
    }
    // Tabs expanded to every 8 average characters.
    qreal Width(const QString& s) const
    {
        qreal x = 0;
        const QStringList parts = s.split(QLatin1Char('\t'));
        for (qsizetype i = 0; i < parts.size(); ++i) {
            x += fm.horizontalAdvance(parts[i]);
            if (i + 1 < parts.size())
                x = (std::floor(x / tab + 1e-6) + 1) * tab;
        }
        return x;
    }
    QFontMetricsF fm;
    int lineHeight = 0;
    qreal tab = 0;
};

bool IsNumber(const QString& s)
{
    const TFormatSettings& fs = FormatSettings();
    int digits = 0, decimals = 0;
    for (const QChar c : s) {
        if (c.isDigit())
            ++digits;
        else if (c == fs.DecimalSeparator)
            ++decimals;
        else if (c != fs.ThousandSeparator)
            return false;
    }
    return digits > 0 && decimals <= 1;
}

// The text as it goes into avail pixels: asterisks for a number that does
// not fit (without wrap), else the start and an ellipsis.
QString FitText(const QString& text, const TMetrics& m, qreal avail, bool wrap)
{
    if (m.Width(text) <= avail)
        return text;
    if (!wrap && IsNumber(text))
        return kAsterisks;
    const QString dots = QString(QChar(0x2026));
    int n = static_cast<int>(text.size());
    while (n > 0 && m.Width(text.left(n) + dots) > avail)
        --n;
    return text.left(n) + dots;
}

// Word wrap of one line: characters are added until the piece reaches the
// width; it is cut at the last blank or tab seen, or, without one, at the
// next one further on. Words are never broken.
QStringList WrapLine(const QString& line, const TMetrics& m, qreal avail)
{
    QStringList pieces;
    const int n = static_cast<int>(line.size());
    int start = 0;
    auto isBlank = [&](int i) { return line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t'); };
    while (start < n) {
        int lastBlank = -1;
        int end = start;
        while (end < n) {
            if (isBlank(end))
                lastBlank = end;
            if (m.Width(line.mid(start, end - start + 1)) >= avail)
                break;
            ++end;
        }
        if (end >= n) {
            pieces << line.mid(start).trimmed();
            break;
        }
        int cut = lastBlank;
        if (cut < start) {
            cut = end;
            while (cut < n && !isBlank(cut))
                ++cut;
        }
        const QString piece = line.mid(start, cut - start).trimmed();
        if (!piece.isEmpty())
            pieces << piece;
        start = cut + 1;
    }
    if (pieces.isEmpty())
        pieces << QStringLiteral(" ");
    return pieces;
}

QList<TTextLine> Layout(const TBlockStyle& st, const QStringList& lines, qreal avail, int& height)
{
    const TMetrics m(st.font);
    QList<TTextLine> out;
    int y = 0;
    for (QString line : lines) {
        if (line.isEmpty())
            line = QStringLiteral(" ");
        const QStringList pieces = st.wrap && line.size() > 1 ? WrapLine(line, m, avail) : QStringList{line};
        for (const QString& p : pieces) {
            out.append({p, y});
            y += m.lineHeight;
        }
    }
    height = y;
    return out;
}

void DrawSegments(QPainter& p, qreal x, qreal baseline, const QString& text, const TMetrics& m)
{
    const QStringList parts = text.split(QLatin1Char('\t'));
    qreal pos = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (!parts[i].isEmpty())
            p.drawText(QPointF(x + pos, baseline), parts[i]);
        pos += m.fm.horizontalAdvance(parts[i]);
        if (i + 1 < parts.size())
            pos = (std::floor(pos / m.tab + 1e-6) + 1) * m.tab;
    }
}

// Draws (p set) or measures (p null) a text block in rect r; answers its height.
int TextBlock(QPainter* p, const TBlockStyle& st, const QStringList& lines, const QRect& inner, const QColor& colour)
{
    const QRect r = inner.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const qreal avail = st.vertical ? r.height() : r.width();
    int height = 0;
    const QList<TTextLine> layout = Layout(st, lines, avail, height);
    if (!p)
        return height;
    const TMetrics m(st.font);
    const int room = st.vertical ? r.width() : r.height();
    int shift = 0;
    if (st.vAlign != 0 && height < room)
        shift = st.vAlign == 2 ? room - height : (room - height) / 2;
    p->save();
    p->setFont(st.font);
    p->setPen(colour);
    if (!st.all)
        p->setClipRect(inner);
    const int limit = st.vertical ? r.x() + r.width() : r.y() + r.height();
    for (const TTextLine& line : layout) {
        const int at = (st.vertical ? r.x() : r.y()) + shift + line.y;
        if (!st.all && at >= limit && &line != &layout.front())
            break;
        const QString text = FitText(line.text, m, avail, st.wrap);
        const qreal w = m.Width(text);
        if (!st.vertical) {
            qreal x = r.x();
            if (r.width() > w && st.hAlign == 1)
                x = r.x() + r.width() - w;
            else if (r.width() > w && st.hAlign == 2)
                x = r.x() + (r.width() - w) / 2;
            DrawSegments(*p, x, at + m.fm.ascent(), text, m);
        } else {
            qreal start = r.y() + r.height();
            if (r.height() > w && st.hAlign == 1)
                start = r.y() + w;
            else if (r.height() > w && st.hAlign == 2)
                start = r.y() + (r.height() + w) / 2;
            p->save();
            p->translate(at, start);
            p->rotate(-90);
            DrawSegments(*p, 0, m.fm.ascent(), text, m);
            p->restore();
        }
    }
    p->restore();
    return height;
}

TBlockStyle StyleOf(const TView& v)
{
    TBlockStyle st;
    st.font = v.Font();
    st.hAlign = v.HAlign();
    st.vAlign = v.VAlign();
    st.wrap = v.WordWrap();
    st.vertical = v.VerticalText();
    st.all = v.SC;
    return st;
}

void CornerMarks(QPainter& p, const TView& v)
{
    const bool narrow = v.W < 4, low = v.H < 4;
    if ((narrow || low) && (!narrow || (v.FT & 5)) && (!low || (v.FT & 10)) && v.FT != 0)
        return;
    auto len = [](int side) { return side > 18 ? 8 : side < 8 ? side : 4; };
    const int lx = len(v.W), ly = len(v.H);
    p.save();
    if (p.paintEngine() && p.paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
    p.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::FlatCap));
    const int l = v.X, t = v.Y, r = v.X + v.W - 1, b = v.Y + v.H - 1;
    p.drawLine(l, t, l + lx - 1, t);
    p.drawLine(l, t + 1, l, t + ly - 1);
    p.drawLine(r - lx + 1, t, r, t);
    p.drawLine(r, t + 1, r, t + ly - 1);
    p.drawLine(l, b, l + lx - 1, b);
    p.drawLine(l, b - ly + 1, l, b - 1);
    p.drawLine(r - lx + 1, b, r, b);
    p.drawLine(r, b - ly + 1, r, b - 1);
    p.restore();
}

} // namespace

QColor ReportColour(int index)
{
    if (index < 0 || index >= kColourNone)
        return QColor();
    return QColor::fromRgb(kColours[index]);
}

QColor TextColour(int index) { return index >= 0 && index < kColourNone ? ReportColour(index) : QColor(Qt::black); }

bool FillColour(int index, QColor& colour)
{
    if (index < 0 || index >= kColourNone)
        return false;
    colour = ReportColour(index);
    return true;
}

int ReportPixels(int points) { return static_cast<int>((static_cast<qint64>(points) * 96 + 36) / 72); }

QFont ReportFont(const QString& name, int points, int style)
{
    QString family = name;
    if (name.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0)
        family = QStringLiteral("Liberation Sans");
    else if (name.compare(QLatin1String("Courier New"), Qt::CaseInsensitive) == 0)
        family = QStringLiteral("Liberation Mono");
    QFont f(family);
    // A damaged template cannot ask the font engine for absurd sizes.
    f.setPixelSize(std::clamp(ReportPixels(points), 1, 2000));
    f.setItalic(style & 1);
    f.setBold(style & 2);
    f.setUnderline(style & 4);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return f;
}

// ---------------------------------------------------------------- TView

TView::TView(int type, TDocument* document) : Document(document), T(type) {}

TView::TView(const TView& s, TDocument* document)
    : A(s.A),
      Document(document),
      Selected(s.Selected),
      T(s.T),
      X(s.X),
      Y(s.Y),
      W(s.W),
      H(s.H),
      SC(s.SC),
      FT(s.FT),
      FW(s.FW),
      FP(s.FP),
      FN(s.FN),
      FS(s.FS),
      FY(s.FY),
      M(s.M),
      Picture(s.Picture)
{
}

void TView::SetBounds(const QRect& r)
{
    X = r.x();
    Y = r.y();
    W = r.width();
    H = r.height();
}

int TView::VAlign() const
{
    if ((A & 136) == 136)
        return 2;
    return (A & 128) ? 1 : 0;
}

void TView::SetHAlign(int a) { A = (A & ~3) | (a & 3); }
void TView::SetVAlign(int a) { A = (A & ~136) | (a == 1 ? 128 : a == 2 ? 136 : 0); }
void TView::SetVerticalText(bool on) { A = on ? A | 16 : A & ~16; }
void TView::SetWordWrap(bool on) { A = on ? A | 512 : A & ~512; }

QRect TView::InnerRect() const
{
    const int l = X + ((FT & 4) ? (FW - 1) / 2 : 0);
    const int t = Y + ((FT & 8) ? (FW - 1) / 2 : 0);
    const int r = X + W - ((FT & 1) ? FW / 2 : 0);
    const int b = Y + H - ((FT & 2) ? FW / 2 : 0);
    return QRect(l, t, r - l, b - t);
}

QFont TView::Font() const { return ReportFont(FN, FS, FY); }

int TView::BandKind() const { return Band ? Band->Kind : btFree; }

QString TView::SubstituteVariables(const QString& source) const
{
    QString s = source;
    while (s.endsWith(QLatin1Char(' ')))
        s.chop(1);
    qsizetype i = 0;
    while ((i = s.indexOf(QLatin1Char('['), i)) >= 0) {
        int depth = 0;
        qsizetype j = i + 1;
        for (; j < s.size(); ++j) {
            if (s[j] == QLatin1Char('['))
                ++depth;
            else if (s[j] == QLatin1Char(']') && --depth < 0)
                break;
        }
        const QString name = s.mid(i + 1, j - i - 1);
        QString value = kValueMarker;
        if (Document && Document->Events.OnGetValue)
            Document->Events.OnGetValue(*Document, BandKind(), name, value);
        if (value == kValueMarker && Document) {
            QString sys;
            if (Document->GetSystemValue(name, sys))
                value = sys;
        }
        if (value != kValueMarker) {
            s.replace(i, std::min(j + 1, s.size()) - i, value);
            i += value.size();
        } else {
            ++i;
        }
    }
    return s;
}

void TView::Draw(QPainter& canvas, int mode)
{
    const bool run = Document && Document->Rendering();
    const bool design = !run;
    Restore<int> keepY(Y), keepX(X), keepW(W), keepFT(FT), keepFW(FW);
    const int kind = FT;
    QStringList lines;
    if (run) {
        if (Band)
            Y += Band->Top;
        if (mode == dmDrawMeasured) {
            lines = std::exchange(Prepared, QStringList());
        } else {
            lines = M;
        }
        if (T == vtOwnerDraw) {
            if (Document->Events.OnOwnerDraw && mode != dmMeasure) {
                canvas.save();
                canvas.setFont(ReportFont(QStringLiteral("Arial"), 8, 0));
                canvas.setPen(Qt::black);
                Document->Events.OnOwnerDraw(*Document, BandKind(), lines, canvas, Bounds());
                canvas.restore();
            }
        } else if (Document->Events.OnEnterRect) {
            Document->Events.OnEnterRect(*Document, BandKind(), lines, *this);
        }
    } else {
        lines = M;
    }
    const T_RPDefDesigner* settings = Document ? &Document->Designer : nullptr;
    if (design && T == vtBand) {
        FT = 15;
        FW = 1;
        X = -1;
        W = (Document ? Document->UsableWidth(Document->ActivePage() ? Document->ActivePage()->O : 0) : 794) + 1;
    }
    if (mode == dmMarksOn || mode == dmMarksOff)
        return;

    const QRect inner = InnerRect();
    int fill = FP & 0xFF;
    if (design && settings && settings->ClearAsWhite && fill == kColourNone)
        fill = 0;
    QColor fillColour;
    if (T != vtBand && mode != dmMeasure && FillColour(fill, fillColour))
        canvas.fillRect(design ? inner : Bounds(), fillColour);

    // The text block.
    if (run && T == vtText) {
        QStringList shown;
        for (const QString& l : lines)
            shown << SubstituteVariables(l);
        const TBlockStyle st = StyleOf(*this);
        if (mode == dmMeasure) {
            const int height = TextBlock(nullptr, st, shown, inner, QColor());
            Prepared = lines;
            Document->MeasuredHeight = std::max(Document->MeasuredHeight, keepY.saved() + height + 2 * kMargin + 2);
        } else {
            TextBlock(&canvas, st, shown, inner, TextColour(FP >> 8));
        }
    } else if (design && (T == vtText || (T == vtPicture && Picture.isNull()) || T == vtOwnerDraw)) {
        TBlockStyle st = StyleOf(*this);
        QColor colour = TextColour(FP >> 8);
        if (T != vtText) {
            st.font = ReportFont(QStringLiteral("Arial"), 8, 0);
            st.hAlign = 2;
            st.vAlign = 1;
            colour = Qt::black;
        }
        TextBlock(&canvas, st, lines, inner, colour);
    }

    if (T == vtPicture && mode != dmMeasure && !Picture.isNull()) {
        if (WordWrap())
            canvas.drawImage(inner.topLeft(), Picture);
        else
            canvas.drawImage(inner, Picture);
    }
    if (design && T == vtBand && settings && settings->ShowBandName && kind >= 0 && kind < kBandKinds) {
        const QString& name = settings->BandNameRus ? BandNamesRus[kind] : BandNamesEng[kind];
        const QFont f = ReportFont(QStringLiteral("Arial"), 8, 0);
        canvas.save();
        canvas.setFont(f);
        canvas.setPen(QColor(0x80, 0x80, 0x80));
        canvas.drawText(QPointF(keepX.saved() + 2, Y + 2 + QFontMetricsF(f).ascent()), name);
        canvas.restore();
    }

    if (mode == dmDesign || mode == dmDraw || mode == dmDrawMeasured) {
        if (design && T != vtBand)
            CornerMarks(canvas, *this);
        canvas.save();
        const int fw = std::clamp(FW, 1, 2000);
        canvas.setPen(QPen(Qt::black, fw, T == vtBand ? Qt::DotLine : Qt::SolidLine, Qt::FlatCap));
        canvas.setBrush(Qt::NoBrush);
        if (FT & 1)
            canvas.drawLine(X + W, Y, X + W, Y + H);
        if (FT & 4)
            canvas.drawLine(X, Y, X, Y + H);
        if (FT & 2)
            canvas.drawLine(X, Y + H, X + W, Y + H);
        if (FT & 8)
            canvas.drawLine(X, Y, X + W, Y);
        // Two wide lines with flat ends leave the outer square of their
        // corner open: it is filled, so the corner is whole.
        if (fw > 1 && T != vtBand) {
            const qreal half = fw / 2.0;
            const auto corner = [&](int sides, int x, int y) {
                if ((FT & sides) == sides)
                    canvas.fillRect(QRectF(x - half, y - half, fw, fw), Qt::black);
            };
            corner(8 | 4, X, Y);
            corner(8 | 1, X + W, Y);
            corner(2 | 4, X, Y + H);
            corner(2 | 1, X + W, Y + H);
        }
        canvas.restore();
    }
    if (design && Selected && mode != dmDraw && Document && Document->DrawSelectionMarks)
        Document->DrawSelectionMarks(canvas, *this);
}

QList<TTextLine> LayoutTextBlock(const TView& view, const QStringList& lines, int& height)
{
    const QRect r = view.InnerRect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const TBlockStyle st = StyleOf(view);
    const TMetrics m(st.font);
    QList<TTextLine> out = Layout(st, lines, st.vertical ? r.height() : r.width(), height);
    for (TTextLine& l : out)
        l.text = FitText(l.text, m, st.vertical ? r.height() : r.width(), st.wrap);
    return out;
}
