#include "reports/ReportDocument.h"
#include "RecordingCanvas.h"
#include "platform/Exceptions.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>

namespace {

class ReportDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        backend = std::make_shared<TRecordingPrintBackend>();
        doc.SetPrintBackend(backend);
    }
    TView* Band(int kind, int y, int h, TPage* page = nullptr)
    {
        auto v = std::make_unique<TView>(vtBand, &doc);
        v->SetBounds(QRect(0, y, 700, h));
        v->FT = kind;
        return (page ? page : doc.ActivePage())->AddView(std::move(v));
    }
    TView* Text(int x, int y, int w, int h, const QStringList& m, TPage* page = nullptr)
    {
        auto v = std::make_unique<TView>(vtText, &doc);
        v->SetBounds(QRect(x, y, w, h));
        v->M = m;
        return (page ? page : doc.ActivePage())->AddView(std::move(v));
    }
    // Texts of every output page, with their y.
    QStringList PageTexts(int i, bool withY = false)
    {
        RecordingCanvas canvas;
        QPainter p(&canvas);
        p.drawPicture(0, 0, doc.OutputPage(i).Picture);
        p.end();
        if (!withY)
            return canvas.Texts();
        QStringList out;
        for (const QString& l : canvas.Only(QStringLiteral("text")))
            out << l.section(QLatin1Char(' '), 1, 1).section(QLatin1Char(','), 1) + QLatin1Char(' ')
                    + l.mid(l.indexOf(QLatin1Char('\'')) + 1).chopped(1);
        return out;
    }
    QStringList AllTexts()
    {
        QStringList out;
        for (int i = 0; i < doc.OutputPageCount(); ++i)
            out << PageTexts(i);
        return out;
    }
    // A host with n master records.
    void Records(int n)
    {
        doc.Events.OnNeedData = [n, i = 0](TDocument&, int b, bool& more) mutable {
            if (b == btMasterData)
                more = i++ < n;
        };
    }
    std::shared_ptr<TRecordingPrintBackend> backend;
    TDocument doc;
};

TEST_F(ReportDocumentTest, DemoDataGivesFiveMastersThreeDetailsTwoSubdetails)
{
    Band(btMasterData, 0, 20);
    Text(0, 2, 100, 15, {QStringLiteral("M[LineMaster]")});
    Band(btDetailData, 20, 20);
    Text(0, 22, 100, 15, {QStringLiteral("D[LineDetail]")});
    Band(btSubdetailData, 40, 20);
    Text(0, 42, 100, 15, {QStringLiteral("S[LineSubDetail]")});
    Band(btDetailFooter, 60, 20);
    Text(0, 62, 100, 15, {QStringLiteral("DF")});
    Band(btSubdetailFooter, 80, 20);
    Text(0, 82, 100, 15, {QStringLiteral("SF")});
    doc.DemoData = true;
    doc.Prepare();
    const QStringList texts = AllTexts();
    EXPECT_EQ(texts.filter(QRegularExpression(QStringLiteral("^M\\d$"))).size(), 5);
    EXPECT_EQ(texts.filter(QRegularExpression(QStringLiteral("^D\\d$"))).size(), 15);
    EXPECT_EQ(texts.filter(QRegularExpression(QStringLiteral("^S\\d$"))).size(), 30);
    EXPECT_EQ(texts.count(QStringLiteral("DF")), 5);
    EXPECT_EQ(texts.count(QStringLiteral("SF")), 15);
    EXPECT_EQ(texts.mid(0, 6),
        QStringList({QStringLiteral("M1"), QStringLiteral("D1"), QStringLiteral("S1"), QStringLiteral("S2"),
            QStringLiteral("SF"), QStringLiteral("D2")}));
    EXPECT_EQ(doc.Counter(lcDetailTotal), 15);
    EXPECT_EQ(doc.Counter(lcSubdetailTotal), 30);
}

TEST_F(ReportDocumentTest, PagesBreakBeforeTheFooterWithHeadersAndPageNumbers)
{
    Band(btReportTitle, 0, 40);
    Text(0, 5, 300, 20, {QStringLiteral("Ведомость")});
    Band(btPageHeader, 40, 30);
    Text(0, 45, 300, 20, {QStringLiteral("Шапка")});
    Band(btMasterData, 70, 20);
    Text(0, 72, 300, 15, {QStringLiteral("Строка [LineMaster]")});
    Band(btPageFooter, 1000, 40);
    Text(0, 1005, 300, 20, {QStringLiteral("Стр. [PageNumber]")});
    Band(btReportSummary, 200, 20);
    Text(0, 202, 300, 15, {QStringLiteral("Итого")});
    doc.ActivePage()->F = true;
    Records(100);
    std::vector<int> progress;
    doc.Events.OnProgress = [&](TDocument&, int n) { progress.push_back(n); };
    doc.Prepare();
    // Rows step by 19 (height - 1): the first sheet holds the rows from y 69
    // while y + 20 <= 1000, later sheets start below the page header.
    const int firstRows = (1000 - 20 - 69) / 19 + 1;
    const int laterRows = (1000 - 20 - 29) / 19 + 1;
    const int sheets = 1 + (100 - firstRows + laterRows - 1) / laterRows;
    ASSERT_EQ(doc.OutputPageCount(), sheets);
    for (int i = 0; i < sheets; ++i) {
        const QStringList t = PageTexts(i);
        EXPECT_TRUE(t.contains(QStringLiteral("Стр. %1").arg(i + 1))) << i;
        EXPECT_EQ(t.count(QStringLiteral("Шапка")), 1) << i;
    }
    EXPECT_EQ(PageTexts(0).filter(QStringLiteral("Строка")).size(), firstRows);
    EXPECT_EQ(PageTexts(0).first(), QStringLiteral("Ведомость"));
    EXPECT_EQ(PageTexts(1).filter(QStringLiteral("Строка")).first(), QStringLiteral("Строка %1").arg(firstRows + 1));
    EXPECT_EQ(PageTexts(sheets - 1).filter(QStringLiteral("Итого")).size(), 1);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), sheets);
    EXPECT_EQ(doc.OutputPage(0).Sheet, QSize(794, 1123));
}

TEST_F(ReportDocumentTest, ABandHigherThanAnySheetGivesEachRecordASheet)
{
    QTemporaryDir dir;
    for (const bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "from a file" : "in memory");
        TDocument built;
        built.SetPrintBackend(backend);
        TDocument& d = fromFile ? built : doc;
        d.ActivePage()->DeleteAllViews();
        for (auto [type, y, h] : {std::tuple(vtBand, 100, 2000000000), std::tuple(vtText, 102, 15)}) {
            auto v = std::make_unique<TView>(type, &d);
            v->SetBounds(QRect(0, y, 300, 20));
            v->H = h;
            v->FT = type == vtBand ? btMasterData : 0;
            v->M = {QStringLiteral("Запись [LineMaster]")};
            d.ActivePage()->AddView(std::move(v));
        }
        if (fromFile) {
            d.SaveToFile(dir.filePath(QStringLiteral("high.dcf")));
            doc.LoadFromFile(dir.filePath(QStringLiteral("high.dcf")));
        }
        Records(4);
        doc.Prepare();
        QStringList seen;
        for (int i = 0; i < doc.OutputPageCount(); ++i)
            for (const QString& t : PageTexts(i, true)) {
                const int y = t.section(QLatin1Char(' '), 0, 0).toInt();
                if (y >= 0 && y < doc.OutputPage(i).Sheet.height())
                    seen << t.section(QLatin1Char(' '), 1);
            }
        EXPECT_EQ(seen,
            QStringList({QStringLiteral("Запись 1"), QStringLiteral("Запись 2"), QStringLiteral("Запись 3"),
                QStringLiteral("Запись 4")}));
    }
}

TEST_F(ReportDocumentTest, ChainedDataBandsPrintTogetherAfterTheirGroupHeader)
{
    Band(btMasterHeader, 0, 30);
    Text(0, 2, 100, 15, {QStringLiteral("H")});
    Band(btMasterData, 300, 20);
    Text(0, 302, 100, 15, {QStringLiteral("B[LineMaster]")});
    Band(btMasterData, 200, 20);
    Text(0, 202, 100, 15, {QStringLiteral("A[LineMaster]")});
    Records(2);
    doc.Prepare();
    const QStringList t = PageTexts(0, true);
    ASSERT_EQ(t.size(), 5);
    QList<int> ys;
    for (const QString& s : t)
        ys << s.section(QLatin1Char(' '), 0, 0).toInt();
    EXPECT_EQ(t[0].section(QLatin1Char(' '), 1), QStringLiteral("H"));
    EXPECT_EQ(t[1].section(QLatin1Char(' '), 1), QStringLiteral("A1"));
    EXPECT_EQ(t[2].section(QLatin1Char(' '), 1), QStringLiteral("B1"));
    EXPECT_EQ(t[3].section(QLatin1Char(' '), 1), QStringLiteral("A2"));
    // The header (0..29) is not overwritten by the chain that follows it.
    EXPECT_EQ(ys[1] - ys[0], 29);
    EXPECT_EQ(ys[2] - ys[1], 19);
    EXPECT_EQ(ys[3] - ys[2], 19);
}

TEST_F(ReportDocumentTest, StretchedObjectsGrowTheirBand)
{
    Band(btMasterData, 100, 20);
    TView* memo = Text(0, 100, 200, 18, {});
    memo->SC = true;
    memo->FT = 2;
    Text(300, 102, 50, 15, {QStringLiteral("N[LineMaster]")});
    int line = 0;
    doc.Events.OnNeedData = [&](TDocument&, int b, bool& more) {
        if (b == btMasterData)
            more = ++line <= 2;
    };
    doc.Events.OnEnterRect = [&](TDocument&, int, QStringList& m, TView& v) {
        if (&v == memo)
            m = QStringList(line == 1 ? 5 : 1, QStringLiteral("строка"));
    };
    doc.Prepare();
    const QStringList t = PageTexts(0, true);
    ASSERT_EQ(t.size(), 8) << t.join(QLatin1Char('|')).toStdString();
    QFontMetricsF fm(memo->Font());
    const int lh = static_cast<int>(std::ceil(fm.ascent() + fm.descent()));
    const int n1 = t.filter(QStringLiteral("N1")).first().section(QLatin1Char(' '), 0, 0).toInt();
    const int n2 = t.filter(QStringLiteral("N2")).first().section(QLatin1Char(' '), 0, 0).toInt();
    // Band 1 grows to Y + 5 lines + the text margins + 2; the next band
    // starts on its last row.
    const int height = 5 * lh + 2 + 2;
    EXPECT_EQ(n2 - n1, height - 1);
    // The stretched bottom line lies at the band's new bottom.
    QImage img(doc.OutputPage(0).Sheet, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.drawPicture(0, 0, doc.OutputPage(0).Picture);
    p.end();
    int row = -1;
    for (int y = 101; y < 400 && row < 0; ++y)
        if (img.pixel(100, y) == qRgb(0, 0, 0))
            row = y;
    EXPECT_EQ(row, 100 + height - 1);
    EXPECT_EQ(memo->H, 18);
}

TEST_F(ReportDocumentTest, VariablesFollowTheMarkerRule)
{
    Text(0, 0, 700, 60,
        {QStringLiteral("[Known] [Unknown] [Empty]|"), QStringLiteral("[A[B]] [Loop] [open"),
            QStringLiteral("[NameSaveFile] [ReportTitle] [NameDocument]   ")});
    doc.Title = QStringLiteral("Заголовок");
    doc.NameSaveFile = QStringLiteral("RV.dcf");
    QStringList asked;
    doc.Events.OnGetValue = [&](TDocument&, int b, const QString& name, QString& value) {
        asked << name;
        EXPECT_EQ(b, btFree);
        if (name == QStringLiteral("Known"))
            value = QStringLiteral("знач");
        else if (name == QStringLiteral("Empty"))
            value = QString();
        else if (name == QStringLiteral("Loop"))
            value = QStringLiteral("[Known]");
    };
    doc.Prepare();
    EXPECT_EQ(PageTexts(0),
        QStringList({QStringLiteral("знач [Unknown] |"), QStringLiteral("[A[B]] [Known] [open"),
            QStringLiteral("RV.dcf Заголовок Заголовок")}));
    EXPECT_TRUE(asked.contains(QStringLiteral("A[B]")));
    EXPECT_TRUE(asked.contains(QStringLiteral("open")));
    EXPECT_EQ(asked.count(QStringLiteral("Known")), 1);
}

TEST_F(ReportDocumentTest, AHandlerThatRaisesLeavesTheTemplateWhole)
{
    Band(btMasterData, 100, 20);
    TView* v = Text(0, 105, 100, 15, {QStringLiteral("[Bad]")});
    v->SC = true;
    TPage* second = doc.AddPage(0);
    Text(0, 50, 100, 15, {QStringLiteral("x")}, second);
    doc.SetActivePage(0);
    Records(3);
    doc.Events.OnGetValue
        = [](TDocument&, int, const QString&, QString&) { throw EAppException(QStringLiteral("Нет столбца №3")); };
    EXPECT_THROW(doc.Prepare(), EAppException);
    EXPECT_EQ(v->Y, 105);
    EXPECT_EQ(v->H, 15);
    EXPECT_EQ(v->Band, nullptr);
    EXPECT_EQ(doc.ActivePageIndex(), 0);
    doc.Events.OnGetValue = nullptr;
    Records(3);
    doc.Prepare();
    EXPECT_EQ(doc.OutputPageCount(), 2);
}

TEST_F(ReportDocumentTest, ASecondPrepareGivesTheSamePages)
{
    Band(btMasterData, 0, 300);
    Text(0, 10, 200, 50, {QStringLiteral("Запись [LineMaster]")})->FT = 15;
    TPage* p2 = doc.AddPage(1);
    Text(10, 10, 100, 20, {QStringLiteral("Вторая")}, p2);
    Records(7);
    doc.Prepare();
    QList<QStringList> first;
    for (int i = 0; i < doc.OutputPageCount(); ++i)
        first << Replay(doc.OutputPage(i).Picture);
    Records(7);
    doc.Prepare();
    ASSERT_EQ(doc.OutputPageCount(), first.size());
    for (int i = 0; i < doc.OutputPageCount(); ++i)
        EXPECT_EQ(Replay(doc.OutputPage(i).Picture), first[i]) << i;
    EXPECT_EQ(doc.OutputPage(doc.OutputPageCount() - 1).Orientation, 1);
    EXPECT_EQ(doc.OutputPage(doc.OutputPageCount() - 1).Sheet, QSize(1123, 794));
}

TEST_F(ReportDocumentTest, APageWithPContinuesOnThePreviousSheet)
{
    Text(0, 10, 100, 15, {QStringLiteral("один")});
    TPage* p2 = doc.AddPage(0);
    p2->P = true;
    Band(btReportTitle, 0, 20, p2);
    Text(0, 2, 100, 15, {QStringLiteral("два")}, p2);
    doc.Prepare();
    ASSERT_EQ(doc.OutputPageCount(), 1);
    EXPECT_EQ(PageTexts(0), QStringList({QStringLiteral("один"), QStringLiteral("два")}));
}

TEST_F(ReportDocumentTest, DoubleOnSheetPrintsASecondCopyInTheLowerHalf)
{
    Band(btMasterData, 0, 20);
    Text(0, 2, 100, 15, {QStringLiteral("r")});
    doc.DoubleOnSheet = true;
    int n = 3;
    doc.Events.OnBeginPage = [&](TDocument&, int, QStringList&, QStringList&, QStringList&) { n = 3; };
    doc.Events.OnNeedData = [&](TDocument&, int b, bool& more) { more = b == btMasterData && n-- > 0; };
    doc.Prepare();
    ASSERT_EQ(doc.OutputPageCount(), 1);
    const QStringList t = PageTexts(0, true);
    ASSERT_EQ(t.size(), 6);
    EXPECT_GE(t[3].section(QLatin1Char(' '), 0, 0).toInt(), 1123 / 2);

    // A result longer than half a sheet is printed once.
    doc.Events.OnBeginPage = [&](TDocument&, int, QStringList&, QStringList&, QStringList&) { n = 40; };
    doc.Prepare();
    ASSERT_EQ(doc.OutputPageCount(), 1);
    EXPECT_EQ(PageTexts(0).size(), 40);
}

TEST_F(ReportDocumentTest, PrintingFollowsRangeCopiesCollationAndOrientation)
{
    for (int i = 0; i < 3; ++i)
        doc.AddOutputPage(i == 2 ? 1 : 0);
    doc.SetNameDocument(QStringLiteral("Ведомость"));
    struct Row {
        const char* name;
        int from, to, copies;
        bool collate;
        QStringList pages;
    } rows[] = {
        {"no collation", 1, 2, 2, false, {"1", "1", "2", "2"}},
        {"collation", 1, 2, 2, true, {"1", "2", "1", "2"}},
        {"clamped", -5, 2, 1, false, {"1", "2"}},
    };
    for (const Row& r : rows) {
        backend->Log.clear();
        EXPECT_EQ(doc.Print(r.from, r.to, r.collate, r.copies), TPrintOutcome::Printed);
        QStringList pages;
        for (const QString& l : backend->Log.filter(QRegularExpression(QStringLiteral("^page "))))
            pages << l.section(QLatin1Char(' '), 1, 1);
        EXPECT_EQ(pages, r.pages) << r.name;
        EXPECT_EQ(backend->Log.first(), QStringLiteral("begin Ведомость 0")) << r.name;
        EXPECT_EQ(backend->Log.count(QStringLiteral("sheet")), r.pages.size() - 1) << r.name;
    }
    backend->Log.clear();
    doc.Print(2, 9, false, 1);
    EXPECT_EQ(backend->Log,
        QStringList({QStringLiteral("begin Ведомость 0"), QStringLiteral("page 2 0 794x1123 -> 0,0 4961x7016"),
            QStringLiteral("end"), QStringLiteral("begin Ведомость (002) 1"),
            QStringLiteral("page 3 1 1123x794 -> 0,0 7016x4961"), QStringLiteral("end"), QStringLiteral("finish")}));
    // With Margins the sheet starts at the physical corner.
    auto bordered = std::make_shared<TRecordingPrintBackend>(600, 100);
    doc.SetPrintBackend(bordered);
    doc.Margins = true;
    doc.Print(1, 1);
    EXPECT_EQ(bordered->Log.filter(QStringLiteral("page")).first(),
        QStringLiteral("page 1 0 794x1123 -> -100,-100 4961x7016"));
    doc.Margins = false;
    doc.SetPrintBackend(backend);

    // An aborted job stops the whole print.
    backend->Log.clear();
    backend->AbortAfterPages = 1;
    EXPECT_EQ(doc.Print(1, 3, false, 2), TPrintOutcome::Cancelled);
    EXPECT_EQ(backend->Log.filter(QStringLiteral("page")).size(), 1);
    EXPECT_FALSE(doc.Printing());
}

TEST_F(ReportDocumentTest, NothingToPrintIsRefused)
{
    for (auto [from, to] : {std::pair(1, 1), std::pair(3, 2)}) {
        try {
            doc.Print(from, to);
            ADD_FAILURE() << "printed " << from << ".." << to;
        } catch (const EAppException& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Нет данных для печати"));
        }
        doc.AddOutputPage(0);
        doc.AddOutputPage(0);
    }
    EXPECT_FALSE(doc.Printing());
}

TEST_F(ReportDocumentTest, PreviewGoesThroughTheWindowFactoryAndEmptiesThePagesOnClose)
{
    Text(0, 0, 100, 20, {QStringLiteral("x")});
    QString caption;
    int pages = -1;
    ReportWindowFactories().Preview = [&](TDocument&, const QString& c, int n, bool) -> IReportWindow* {
        caption = c;
        pages = n;
        return nullptr;
    };
    bool ended = false;
    doc.Events.OnEndPrintView = [&](TDocument&) { ended = true; };
    doc.Preview(false);
    ReportWindowFactories().Preview = nullptr;
    EXPECT_EQ(caption, QStringLiteral("Просмотр документа"));
    EXPECT_EQ(pages, 1);
    EXPECT_TRUE(doc.PreviewOpen());
    doc.PreviewClosed();
    EXPECT_TRUE(ended);
    EXPECT_EQ(doc.OutputPageCount(), 0);
    EXPECT_FALSE(doc.PreviewOpen());
}

// A two-page document with frames and Cyrillic texts printed to PDF; the
// first page is also rendered to a PNG for a look.
TEST_F(ReportDocumentTest, PdfHasThePagesAndTextsAndThePngShowsTheFrames)
{
    Band(btPageHeader, 0, 40);
    TView* head = Text(20, 10, 500, 24, {QStringLiteral("Расчетная ведомость за [Month]")});
    head->FS = 12;
    head->FY = 2;
    Band(btMasterData, 40, 24);
    TView* cell = Text(20, 40, 300, 24, {QStringLiteral("Иванов Иван Иванович [LineMaster]")});
    cell->FT = 15;
    TView* sum = Text(320, 40, 120, 24, {QStringLiteral("1234,56")});
    sum->FT = 15;
    sum->SetHAlign(1);
    sum->SetVAlign(1);
    doc.ActivePage()->F = true;
    doc.Events.OnGetValue = [](TDocument&, int, const QString& n, QString& v) {
        if (n == QStringLiteral("Month"))
            v = QStringLiteral("январь");
    };
    Records(60);
    doc.Prepare();
    ASSERT_EQ(doc.OutputPageCount(), 2);

    QImage img(doc.OutputPage(0).Sheet, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        p.drawPicture(0, 0, doc.OutputPage(0).Picture);
    }
    const QString png = TestArtifactsDir() + QStringLiteral("/reports-page1.png");
    QDir().mkpath(TestArtifactsDir());
    ASSERT_TRUE(img.save(png));
    // The cell's left line at x 20 and the right one at 320, from y 39 down.
    EXPECT_EQ(img.pixel(20, 50), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(320, 50), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(440, 50), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(600, 50), qRgb(0xFF, 0xFF, 0xFF));

    const QString pdf = TestArtifactsDir() + QStringLiteral("/reports.pdf");
    doc.SetPrintBackend(std::make_shared<TPdfPrintBackend>(pdf));
    doc.Print(1, 2);
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    ASSERT_TRUE(info.waitForFinished());
    EXPECT_TRUE(
        QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression(QStringLiteral("Pages: +2"))));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished());
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_EQ(out.count(QStringLiteral("Расчетная ведомость за январь")), 2) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Иванов Иван Иванович 1")));
    EXPECT_TRUE(out.contains(QStringLiteral("Иванов Иван Иванович 60")));
    EXPECT_EQ(out.count(QStringLiteral("1234,56")), 60);
    const QStringList sheets = out.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_GE(sheets.size(), 2);
    EXPECT_TRUE(sheets[1].contains(QStringLiteral("Иванов Иван Иванович 60")));
}

} // namespace
