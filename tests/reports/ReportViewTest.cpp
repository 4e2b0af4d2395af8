#include "RecordingCanvas.h"
#include "reports/ReportDocument.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

namespace {

class ReportViewTest : public ::testing::Test {
protected:
    void SetUp() override { doc.SetPrintBackend(std::make_shared<TRecordingPrintBackend>()); }
    TView& Text(int x, int y, int w, int h, const QStringList& lines)
    {
        auto v = std::make_unique<TView>(vtText, &doc);
        v->SetBounds(QRect(x, y, w, h));
        v->M = lines;
        return *doc.ActivePage()->AddView(std::move(v));
    }
    int LineHeight(const TView& v)
    {
        QFontMetricsF fm(v.Font());
        return static_cast<int>(std::ceil(fm.ascent() + fm.descent()));
    }
    TDocument doc;
};

TEST_F(ReportViewTest, FontsAreSizedInReportPixels)
{
    EXPECT_EQ(ReportPixels(8), 11);
    EXPECT_EQ(ReportPixels(10), 13);
    EXPECT_EQ(ReportPixels(12), 16);
    const QFont f = ReportFont(QStringLiteral("Arial"), 10, 2 | 4);
    EXPECT_EQ(f.pixelSize(), 13);
    EXPECT_TRUE(f.bold());
    EXPECT_TRUE(f.underline());
    EXPECT_FALSE(f.italic());
    EXPECT_EQ(QFontInfo(f).family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(QFontInfo(ReportFont(QStringLiteral("Courier New"), 8, 0)).family(), QStringLiteral("Liberation Mono"));
}

TEST_F(ReportViewTest, InnerRectMovesInOnlyOnSidesWithLines)
{
    struct Row {
        int ft, fw;
        QRect inner;
    } rows[] = {
        {15, 3, QRect(11, 21, 98, 48)},
        {15, 4, QRect(11, 21, 97, 47)},
        {5, 3, QRect(11, 20, 98, 50)},
        {0, 5, QRect(10, 20, 100, 50)},
        {15, 1, QRect(10, 20, 100, 50)},
    };
    for (const Row& r : rows) {
        TView& v = Text(10, 20, 100, 50, {});
        v.FT = r.ft;
        v.FW = r.fw;
        EXPECT_EQ(v.InnerRect(), r.inner) << "FT " << r.ft << " FW " << r.fw;
    }
}

TEST_F(ReportViewTest, LayoutBitsDecodeThroughTheAccessors)
{
    struct Row {
        int a, h, v;
        bool vertical, wrap;
    } rows[] = {
        {0, 0, 0, false, false},
        {1, 1, 0, false, false},
        {2, 2, 0, false, false},
        {128, 0, 1, false, false},
        {136, 0, 2, false, false},
        {8, 0, 0, false, false},
        {16 | 2, 2, 0, true, false},
        {512 | 129, 1, 1, false, true},
    };
    for (const Row& r : rows) {
        TView v(vtText, &doc);
        v.A = r.a;
        EXPECT_EQ(v.HAlign(), r.h) << r.a;
        EXPECT_EQ(v.VAlign(), r.v) << r.a;
        EXPECT_EQ(v.VerticalText(), r.vertical) << r.a;
        EXPECT_EQ(v.WordWrap(), r.wrap) << r.a;
        TView w(vtText, &doc);
        w.SetHAlign(r.h);
        w.SetVAlign(r.v);
        w.SetVerticalText(r.vertical);
        w.SetWordWrap(r.wrap);
        EXPECT_EQ(w.HAlign(), r.h);
        EXPECT_EQ(w.VAlign(), r.v);
    }
}

TEST_F(ReportViewTest, TextThatDoesNotFitGetsAsterisksOrAnEllipsis)
{
    const QString nbsp(QChar(0x00A0));
    const QString dots(QChar(0x2026));
    struct Row {
        const char* name;
        QString text;
        int width;
        bool wrap;
        QString expected; // "*" asterisks, "..." start and ellipsis, else the text itself
    } rows[] = {
        {"number", QStringLiteral("1234567,89"), 30, false, QStringLiteral("*")},
        {"number with thousands", QStringLiteral("1") + nbsp + QStringLiteral("234") + nbsp + QStringLiteral("567"), 30,
            false, QStringLiteral("*")},
        {"negative amount", QStringLiteral("-1234,56"), 30, false, QStringLiteral("...")},
        {"two decimal commas", QStringLiteral("12,345,67"), 30, false, QStringLiteral("...")},
        {"name", QStringLiteral("Иванов Иван"), 30, false, QStringLiteral("...")},
        {"number with word wrap", QStringLiteral("1234567,89"), 30, true, QStringLiteral("...")},
        {"wide object", QStringLiteral("1234567,89"), 300, false, QStringLiteral("1234567,89")},
    };
    for (const Row& r : rows) {
        TView& v = Text(0, 0, r.width, 20, {r.text});
        v.SetWordWrap(r.wrap);
        int height = 0;
        const QList<TTextLine> out = LayoutTextBlock(v, v.M, height);
        ASSERT_EQ(out.size(), 1) << r.name;
        if (r.expected == QStringLiteral("*"))
            EXPECT_EQ(out[0].text, kAsterisks) << r.name;
        else if (r.expected == QStringLiteral("...")) {
            EXPECT_TRUE(out[0].text.endsWith(dots)) << r.name << ": " << out[0].text.toStdString();
            EXPECT_TRUE(r.text.startsWith(out[0].text.chopped(1))) << r.name;
        } else
            EXPECT_EQ(out[0].text, r.expected) << r.name;
    }
    EXPECT_EQ(kAsterisks.size(), 33);
}

TEST_F(ReportViewTest, WordWrapCutsAtBlanksAndNeverInsideAWord)
{
    TView& v = Text(0, 0, 34, 200, {QStringLiteral("aaa bbb ccc")});
    v.SetWordWrap(true);
    int height = 0;
    QList<TTextLine> out = LayoutTextBlock(v, v.M, height);
    ASSERT_EQ(out.size(), 3);
    EXPECT_EQ(out[0].text, QStringLiteral("aaa"));
    EXPECT_EQ(out[2].text, QStringLiteral("ccc"));
    EXPECT_EQ(out[2].y, 2 * LineHeight(v));
    EXPECT_EQ(height, 3 * LineHeight(v));

    // A long word runs on to the next blank; the rest is the next piece.
    v.M = {QStringLiteral("aaaaaaaaaaaaaaaa bb")};
    out = LayoutTextBlock(v, v.M, height);
    ASSERT_EQ(out.size(), 2);
    EXPECT_TRUE(out[0].text.startsWith(QStringLiteral("aaa")));
    EXPECT_EQ(out[1].text, QStringLiteral("bb"));

    // An empty line still takes one line's height.
    v.SetWordWrap(false);
    v.M = {QStringLiteral("a"), QString(), QStringLiteral("b")};
    out = LayoutTextBlock(v, v.M, height);
    ASSERT_EQ(out.size(), 3);
    EXPECT_EQ(out[2].y, 2 * LineHeight(v));
}

TEST_F(ReportViewTest, VerticalAlignmentShiftsOnlyTextSmallerThanTheObject)
{
    auto textY = [&](int a, int h, int lines) {
        TView& v = Text(0, 100, 200, h, QStringList(lines, QStringLiteral("x")));
        v.A = a;
        RecordingCanvas canvas;
        QPainter p(&canvas);
        v.Draw(p, dmDesign);
        p.end();
        const QStringList texts = canvas.Only(QStringLiteral("text"));
        return texts.isEmpty() ? -1 : texts[0].section(QLatin1Char(' '), 1, 1).section(QLatin1Char(','), 1).toInt();
    };
    const TView probe(vtText, &doc);
    const int lh = LineHeight(probe);
    const int top = textY(0, 100, 1);
    // Inner room 100 - 2 (the text margin) holds one line.
    EXPECT_EQ(textY(136, 100, 1) - top, 98 - lh);
    EXPECT_EQ(textY(128, 100, 1) - top, (98 - lh) / 2);
    EXPECT_EQ(textY(8, 100, 1), top);
    // Text as tall as the object or taller: no shift.
    EXPECT_EQ(textY(136, 20, 5), textY(0, 20, 5));
}

TEST_F(ReportViewTest, DrawingIsRecordedWithFrameLinesFillAndColours)
{
    TView& v = Text(10, 20, 100, 30, {QStringLiteral("Итого")});
    v.FT = 15;
    v.FW = 2;
    v.FP = 0x0A05; // red text on navy
    v.SetHAlign(1);
    doc.SetRendering(true);
    RecordingCanvas canvas;
    QPainter p(&canvas);
    v.Draw(p, dmDraw);
    p.end();
    const QStringList log = canvas.Log();
    ASSERT_GE(log.size(), 6);
    // A run fills the whole bounds, whatever the lines.
    EXPECT_EQ(log[0], QStringLiteral("fill 10,20 100x30 #000080"));
    EXPECT_TRUE(log[1].startsWith(QStringLiteral("text ")) && log[1].contains(QStringLiteral("#ff0000 'Итого'")))
        << log[1].toStdString();
    EXPECT_EQ(log.mid(2, 4),
        QStringList({QStringLiteral("line 110,20 110,50 w2"), QStringLiteral("line 10,20 10,50 w2"),
            QStringLiteral("line 10,50 110,50 w2"), QStringLiteral("line 10,20 110,20 w2")}));
    // Right alignment: the text ends at the inner right edge less the margin.
    const int x = log[1].section(QLatin1Char(' '), 1, 1).section(QLatin1Char(','), 0, 0).toInt();
    const int width = qRound(QFontMetricsF(v.Font()).horizontalAdvance(QStringLiteral("Итого")));
    EXPECT_NEAR(x + width, 10 + 100 - 1 - 1, 1);
}

TEST_F(ReportViewTest, FillNoneAndBadIndexesLeaveTheBackgroundAndDrawBlack)
{
    doc.SetRendering(true);
    struct Row {
        int fp;
        QRgb inside;
    } rows[] = {
        {0x0110, qRgb(0, 0xFF, 0)}, {0x0105, qRgb(0, 0, 0x80)}, {0x3020, qRgb(0, 0xFF, 0)}, {0x0102, qRgb(0x80, 0, 0)}};
    for (const Row& r : rows) {
        TView& v = Text(5, 5, 20, 20, {});
        v.FP = r.fp;
        QImage img(40, 40, QImage::Format_RGB32);
        img.fill(qRgb(0, 0xFF, 0));
        QPainter p(&img);
        v.Draw(p, dmDraw);
        p.end();
        EXPECT_EQ(img.pixel(15, 15), r.inside) << std::hex << r.fp;
    }
    RecordingCanvas canvas;
    QPainter p(&canvas);
    TView& v = Text(0, 0, 100, 20, {QStringLiteral("x")});
    v.FP = 0x3020;
    v.Draw(p, dmDraw);
    p.end();
    EXPECT_EQ(canvas.Only(QStringLiteral("fill")).size(), 0);
    ASSERT_EQ(canvas.Only(QStringLiteral("text")).size(), 1);
    EXPECT_TRUE(canvas.Only(QStringLiteral("text"))[0].contains(QStringLiteral("#000000")));
}

TEST_F(ReportViewTest, FrameLinePixelsEndBeforeTheEndPoint)
{
    TView& v = Text(10, 10, 20, 10, {});
    v.FT = 8;
    doc.SetRendering(true);
    QImage img(40, 40, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    v.Draw(p, dmDraw);
    p.end();
    int first = -1, last = -1, row = -1;
    for (int y = 8; y <= 12; ++y)
        for (int x = 0; x < 40; ++x)
            if (img.pixel(x, y) == qRgb(0, 0, 0)) {
                if (first < 0)
                    first = x, row = y;
                last = x;
            }
    EXPECT_EQ(first, 10);
    EXPECT_EQ(last, 29) << "row " << row;
}

TEST_F(ReportViewTest, ARunsTextNeverInksOutsideItsObject)
{
    // Ink that would cross the inner rectangle is cut there (a line taller
    // than the object, a wrapped block's last line, an italic overhang); ink
    // inside is drawn whole. A clip the painter had comes back.
    struct Row {
        QRect bounds;
        QStringList lines;
        int size, style;
        bool wrap;
    } rows[] = {
        {QRect(10, 10, 60, 8), {QStringLiteral("ЖЁЙ")}, 20, 0, false},
        {QRect(10, 10, 60, 20), {QStringLiteral("один два три четыре пять шесть")}, 8, 0, true},
        {QRect(10, 10, 9, 20), {QStringLiteral("f")}, 16, 1, false},
        {QRect(10, 10, 80, 20), {QStringLiteral("Итого 12,50")}, 8, 0, false},
    };
    doc.SetRendering(true);
    for (const auto& [r, outerClip] : {std::pair{rows[0], false}, {rows[0], true}, {rows[1], false}, {rows[1], true},
             {rows[2], false}, {rows[3], false}, {rows[3], true}}) {
        TView& v = Text(r.bounds.x(), r.bounds.y(), r.bounds.width(), r.bounds.height(), r.lines);
        v.FS = r.size;
        v.FY = r.style;
        v.SetWordWrap(r.wrap);
        QImage img(120, 60, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        if (outerClip)
            p.setClipRect(QRect(0, 0, 110, 50));
        v.Draw(p, dmDraw);
        EXPECT_EQ(p.hasClipping(), outerClip);
        if (outerClip) {
            EXPECT_EQ(p.clipBoundingRect(), QRectF(0, 0, 110, 50));
        }
        p.end();
        int inked = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) != qRgb(0xFF, 0xFF, 0xFF)) {
                    ++inked;
                    EXPECT_TRUE(v.InnerRect().contains(x, y)) << r.lines[0].toStdString() << " " << x << "," << y;
                }
        EXPECT_GT(inked, 0) << r.lines[0].toStdString();
    }
}

TEST_F(ReportViewTest, WideFramesHaveWholeCorners)
{
    doc.SetRendering(true);
    for (const int fw : {2, 5, 8}) {
        TView& v = Text(10, 10, 30, 20, {});
        v.FT = 15;
        v.FW = fw;
        QImage img(60, 60, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        v.Draw(p, dmDraw);
        p.end();
        QRect black;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) == qRgb(0, 0, 0))
                    black |= QRect(x, y, 1, 1);
        // Each corner of the frame is a whole square of the line's width.
        const int side = fw / 2;
        for (const QPoint corner : {black.topLeft(), black.topRight() - QPoint(side - 1, 0),
                 black.bottomLeft() - QPoint(0, side - 1), black.bottomRight() - QPoint(side - 1, side - 1)})
            for (int dy = 0; dy < side; ++dy)
                for (int dx = 0; dx < side; ++dx)
                    EXPECT_EQ(img.pixel(corner + QPoint(dx, dy)), qRgb(0, 0, 0))
                        << "width " << fw << " at " << (corner.x() + dx) << "," << (corner.y() + dy);
        EXPECT_EQ(black.width(), 30 + fw) << fw;
    }
}

TEST_F(ReportViewTest, DesignerMarkerKeepsItsBandKindAndShowsItsName)
{
    auto marker = std::make_unique<TView>(vtBand, &doc);
    marker->SetBounds(QRect(0, 40, 300, 60));
    marker->FT = btMasterData;
    TView& m = *doc.ActivePage()->AddView(std::move(marker));
    RecordingCanvas canvas;
    QPainter p(&canvas);
    m.Draw(p, dmDesign);
    doc.Designer.BandNameRus = false;
    m.Draw(p, dmDesign);
    m.FT = 40; // a damaged kind shows no name
    m.Draw(p, dmDesign);
    p.end();
    m.FT = btMasterData;
    EXPECT_EQ(m.X, 0);
    EXPECT_EQ(m.W, 300);
    EXPECT_EQ(canvas.Texts(), QStringList({QStringLiteral("Основные данные"), QStringLiteral("Master data")}));
    const QStringList lines = canvas.Only(QStringLiteral("line"));
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[0], QStringLiteral("line 794,40 794,100 w1 dot"));
    EXPECT_EQ(lines[1], QStringLiteral("line -1,40 -1,100 w1 dot"));
}

TEST_F(ReportViewTest, CopyTakesEveryAttribute)
{
    TView& v = Text(1, 2, 3, 4, {QStringLiteral("a"), QStringLiteral("b")});
    v.A = 513;
    v.SC = true;
    v.FT = 7;
    v.FW = 3;
    v.FP = 0x0203;
    v.FN = QStringLiteral("Courier New");
    v.FS = 12;
    v.FY = 5;
    v.Selected = true;
    const TView c(v, &doc);
    EXPECT_EQ(std::tie(c.A, c.SC, c.FT, c.FW, c.FP, c.FN, c.FS, c.FY, c.M, c.Selected),
        std::tie(v.A, v.SC, v.FT, v.FW, v.FP, v.FN, v.FS, v.FY, v.M, v.Selected));
    EXPECT_EQ(c.Bounds(), v.Bounds());
    EXPECT_EQ(c.HitRect(), QRect(-2, -1, 9, 10));
}

} // namespace
