#include "reports/ui/PreviewForm.h"
#include "foundation/QtTranslations.h"
#include "reports/RenderedPages.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QtEndian>

namespace {

// A page as the run leaves it: the sheet of its orientation, a frame and a
// big label, fonts sized in pixels.
void DrawPage(TDocument& doc, int orientation, int number)
{
    TPageInfo& page = doc.AddOutputPage(orientation);
    QPainter g(&page.Picture);
    g.setPen(QPen(Qt::black, 3));
    g.drawRect(40, 40, page.Sheet.width() - 80, page.Sheet.height() - 80);
    g.fillRect(80, 300, page.Sheet.width() - 160, 40, QColor(0, 0, 160));
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(60);
    g.setFont(f);
    g.drawText(100, 200, QStringLiteral("Page %1").arg(number));
    g.end();
}

// What a poppler tool says on its standard output; empty when it could not run.
QString Output(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(30000) ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
}

class PreviewFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        backend = std::make_shared<TPdfPrintBackend>(dir.filePath(QStringLiteral("print.pdf")));
        doc.SetPrintBackend(backend);
        doc.Events.OnEndPrintView = [this](TDocument&) { ++endViews; };
        DrawPage(doc, 0, 1);
        DrawPage(doc, 0, 2);
        DrawPage(doc, 1, 3);
    }
    void TearDown() override { TPreviewForm::FileChooser() = saveChooser; }

    // The file dialog answers these names in turn.
    void ChooseFiles(QStringList names)
    {
        TPreviewForm::FileChooser() = [names](QWidget*, bool, const QString&) mutable {
            return names.isEmpty() ? QString() : names.takeFirst();
        };
    }
    static QString Status(TPreviewForm& f) { return f.StatusLabel->text(); }

    QTemporaryDir dir;
    std::shared_ptr<TPdfPrintBackend> backend;
    TDocument doc;
    int endViews = 0;
    TPreviewForm::TFileChooser saveChooser = TPreviewForm::FileChooser();
};

TEST_F(PreviewFormTest, ZoomsPagesSavesLoadsPrintsAndEmptiesTheDocumentOnClose)
{
    doc.Margins = true;
    TPreviewForm form(doc);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Предварительный просмотр"));
    form.show();
    QApplication::processEvents();
    // The page area's client made 820 x 620.
    const QSize vp = form.Pages->viewport()->size();
    form.resize(form.size() + QSize(820, 620) - vp);
    QApplication::processEvents();
    ASSERT_EQ(form.Pages->viewport()->size(), QSize(820, 620));

    // The buttons are pressed by click(): those the narrow tool bar folds
    // away stand in its extension menu.
    // Every zoom text, A4 portrait 794 x 1123 current: the menu in its order,
    // then the tool buttons.
    auto* menu = form.findChild<QMenu*>(QStringLiteral("ZoomMenu"));
    ASSERT_TRUE(menu);
    QStringList items, shown;
    for (QAction* a : menu->actions()) {
        items << a->text();
        a->trigger();
        shown << form.ZoomBtn->text();
    }
    EXPECT_EQ(items,
        QStringList({"200%", "150%", "100%", "75%", "50%", "25%", "10%", "По ширине страницы", "Страница целиком",
            "Две страницы"}));
    // (820-20)/794, (620-20)/1123, min((820-30)/1588, (620-20)/1123).
    EXPECT_EQ(shown, QStringList({"200%", "150%", "100%", "75%", "50%", "25%", "10%", "101%", "53%", "50%"}));
    const std::pair<QToolButton*, QString> buttons[] = {
        {form.PageWidthBtn, "101%"}, {form.WholePageBtn, "53%"}, {form.TwoPagesBtn, "50%"}, {form.Zoom100Btn, "100%"}};
    for (const auto& [button, text] : buttons) {
        button->click();
        EXPECT_EQ(form.ZoomBtn->text(), text) << button->text().toStdString();
    }

    // Paging by the buttons and Ctrl+PgUp/PgDn, clamped at both ends.
    EXPECT_EQ(Status(form), QStringLiteral("Стр. 1/3"));
    form.PrevPageBtn->click();
    EXPECT_EQ(Status(form), QStringLiteral("Стр. 1/3"));
    form.NextPageBtn->click();
    EXPECT_EQ(Status(form), QStringLiteral("Стр. 2/3"));
    QTest::keyClick(form.Pages, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(Status(form), QStringLiteral("Стр. 3/3"));
    QTest::keyClick(form.Pages, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(Status(form), QStringLiteral("Стр. 3/3"));
    // The landscape page is already wide: its whole-page zoom is (620-20)/794.
    form.WholePageBtn->click();
    EXPECT_EQ(form.ZoomBtn->text(), QStringLiteral("76%"));
    QTest::keyClick(form.Pages, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(Status(form), QStringLiteral("Стр. 2/3"));
    EXPECT_EQ(form.ZoomBtn->text(), QStringLiteral("53%"));

    // Scrolling keys at 200 %.
    form.SetZoomPercent(200);
    QScrollBar* v = form.Pages->verticalScrollBar();
    QScrollBar* h = form.Pages->horizontalScrollBar();
    const int top = v->value();
    QTest::keyClick(form.Pages, Qt::Key_PageDown);
    EXPECT_EQ(v->value(), top + 620);
    QTest::keyClick(form.Pages, Qt::Key_Up);
    EXPECT_EQ(v->value(), top + 600);
    h->setValue(0);
    QTest::keyClick(form.Pages, Qt::Key_Right);
    EXPECT_EQ(h->value(), 20);
    EXPECT_EQ(Status(form), QStringLiteral("Стр. 2/3")) << "scrolling keeps the page";

    // A left click on a page makes it current; at 25 % all three stand in a row.
    form.SetZoomPercent(25);
    const QRect third = form.Pages->PageRect(2);
    EXPECT_EQ(form.Pages->PageRect(0).top(), third.top());
    QTest::mouseClick(form.Pages->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(Status(form), QStringLiteral("Стр. 3/3"));
    QTest::mouseClick(form.Pages->viewport(), Qt::RightButton, {}, form.Pages->PageRect(0).center());
    EXPECT_EQ(Status(form), QStringLiteral("Стр. 3/3"));
    QTest::mouseClick(form.Pages->viewport(), Qt::LeftButton, {}, form.Pages->PageRect(0).center());
    EXPECT_EQ(Status(form), QStringLiteral("Стр. 1/3"));

    // Space opens the zoom menu just below its button.
    bool menuShown = false;
    QTimer::singleShot(0, [&] {
        QWidget* popup = QApplication::activePopupWidget();
        menuShown = popup == menu && menu->geometry().top() >= form.ZoomBtn->mapToGlobal(QPoint(0, 0)).y();
        if (popup)
            popup->close();
    });
    QTest::keyClick(form.Pages, Qt::Key_Space);
    EXPECT_TRUE(menuShown);

    // The screenshot shows page 1 drawn: its dark frame and blue bar.
    form.WholePageBtn->click();
    const QImage shot(SaveScreenshot(&form, QStringLiteral("preview_form")));
    const QRect page = form.Pages->PageRect(0).translated(form.Pages->viewport()->mapTo(&form, QPoint(0, 0)));
    int blue = 0, black = 0;
    for (int y = page.top() + 4; y < page.bottom() - 4; ++y)
        for (int x = page.left() + 4; x < page.right() - 4; ++x) {
            const QColor c = shot.pixelColor(x, y);
            blue += c.blue() > 120 && c.red() < 60;
            black += c.red() < 90 && c.green() < 90 && c.blue() < 90;
        }
    EXPECT_GT(blue, 200);
    EXPECT_GT(black, 500);
    // On a screen of twice the pixels the page's text is twice as high: the
    // picture's fonts do not follow the device.
    auto textHeight = [&](int dpr) {
        QImage img(form.Pages->viewport()->size() * dpr, QImage::Format_RGB32);
        img.setDevicePixelRatio(dpr);
        img.fill(Qt::white);
        form.Pages->viewport()->render(&img);
        const QRect r = form.Pages->PageRect(0);
        const double z = form.Pages->Zoom();
        int top = img.height(), bottom = -1;
        for (int y = int((r.top() + 60 * z) * dpr); y < int((r.top() + 280 * z) * dpr); ++y)
            for (int x = int((r.left() + 60 * z) * dpr); x < int((r.right() - 60 * z) * dpr); ++x)
                if (qGray(img.pixel(x, y)) < 100) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        return bottom - top;
    };
    const int single = textHeight(1);
    EXPECT_GT(single, 20);
    EXPECT_NEAR(textHeight(2), 2 * single, 3);

    // Save: a name without extension gets ".rep"; load it back.
    const QSize landscape = doc.OutputPage(2).Sheet;
    ASSERT_GT(landscape.width(), landscape.height());
    const QString saved = dir.filePath(QStringLiteral("x.rep"));
    ChooseFiles({dir.filePath(QStringLiteral("x")), dir.filePath(QStringLiteral("y.v2")), saved});
    QTest::keyClick(form.Pages, Qt::Key_S, Qt::ControlModifier);
    form.SaveBtn->click();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("y.v2"))));
    const QByteArray bytes = ReadFileBytes(saved);
    ASSERT_GT(bytes.size(), 124);
    EXPECT_EQ(bytes.at(0), 1) << "the page-geometry flag";
    form.LoadBtn->click();
    EXPECT_TRUE(form.FileLoaded());
    EXPECT_TRUE(form.PageMargins());
    ASSERT_EQ(doc.OutputPageCount(), 3);
    EXPECT_EQ(doc.OutputPage(2).Orientation, 1);
    EXPECT_EQ(doc.OutputPage(2).Sheet, landscape);
    EXPECT_EQ(Status(form), QStringLiteral("Стр. 1/3"));

    // Print pages 2-3, two copies, not collated; the window's flag holds
    // while printing and the window cannot be closed meanwhile.
    doc.Margins = false;
    bool marginsWhilePrinting = false, closedWhilePrinting = false;
    doc.Events.OnProgress = [&](TDocument& d, int) {
        marginsWhilePrinting = d.Margins;
        form.close();
        closedWhilePrinting |= !form.isVisible();
    };
    {
        ModalScript modal;
        modal.Next<QPrintDialog>([](QPrintDialog& d) {
            d.setPrintRange(QAbstractPrintDialog::PageRange);
            d.setFromTo(2, 3);
            d.printer()->setCopyCount(2);
            d.printer()->setCollateCopies(false);
            d.done(QDialog::Accepted);
        });
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::StandardBox).Containing(dir.filePath(QStringLiteral("print.pdf")));
        form.PrintBtn->click();
    }
    EXPECT_TRUE(marginsWhilePrinting);
    EXPECT_FALSE(closedWhilePrinting);
    EXPECT_FALSE(doc.Margins);
    EXPECT_EQ(backend->Printer().copyCount(), 1);
    QStringList numbers;
    auto it = QRegularExpression(QStringLiteral("Page (\\d)"))
                  .globalMatch(Output(
                      QStringLiteral("pdftotext"), {dir.filePath(QStringLiteral("print.pdf")), QStringLiteral("-")}));
    while (it.hasNext())
        numbers << it.next().captured(1);
    EXPECT_EQ(numbers, QStringList({"2", "2", "3", "3"}));
    // The pages read back keep their text size on a 600-dpi printer: the
    // 60-pixel font is 45 points, its word box a little higher.
    const QRegularExpressionMatch word
        = QRegularExpression(QStringLiteral("<word xMin=\"[\\d.]+\" yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" "
                                            "yMax=\"([\\d.]+)\">Page</word>"))
              .match(Output(QStringLiteral("pdftotext"),
                  {QStringLiteral("-bbox"), dir.filePath(QStringLiteral("print.pdf")), QStringLiteral("-")}));
    ASSERT_TRUE(word.hasMatch());
    const double height = word.captured(2).toDouble() - word.captured(1).toDouble();
    EXPECT_GT(height, 45);
    EXPECT_LT(height, 60);

    // Closing empties the document's pages and tells the host once.
    doc.Events.OnProgress = nullptr;
    form.ExitBtn->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(doc.OutputPageCount(), 0);
    EXPECT_EQ(endViews, 1);
    form.close();
    EXPECT_EQ(endViews, 1);
}

TEST_F(PreviewFormTest, PrintingIntoAPdfFileIsOfferedInRussianAndGivesThePagesAsOnTheScreen)
{
    ASSERT_TRUE(InstallQtTranslations()) << "Qt's Russian translations are not installed";
    struct English {
        ~English() { RemoveQtTranslations(); }
    } english;
    // The program's own printer, whatever the machine has: with no printer
    // at all Qt prints into a file.
    TDocument real;
    real.SetPrintBackend(std::make_shared<TSystemPrintBackend>());
    real.SetNameDocument(QStringLiteral("Расчетная ведомость \"Цех 1\" / март"));
    auto add = [&](int type, QRect r, int ft, int fw) {
        auto v = std::make_unique<TView>(type, &real);
        v->SetBounds(r);
        v->FT = ft;
        v->FW = fw;
        v->M = {QStringLiteral("Итого по цеху: [LineMaster]")};
        real.ActivePage()->AddView(std::move(v));
    };
    add(vtBand, QRect(0, 100, 700, 600), btMasterData, 1);
    add(vtText, QRect(40, 100, 400, 500), 15, 6);
    int rows = 0;
    real.Events.OnNeedData = [&](TDocument&, int b, bool& more) { more = b == btMasterData && rows++ < 2; };
    real.Prepare();
    ASSERT_EQ(real.OutputPageCount(), 2);

    TPreviewForm form(real);
    form.show();
    const bool noPrinter = QPrinterInfo::availablePrinterNames().isEmpty();
    const QString pdf = dir.filePath(QStringLiteral("ведомость.pdf"));
    QString offered, fileItem;
    {
        ModalScript modal;
        modal.Next<QPrintDialog>([&](QPrintDialog& d) {
            auto* printers = d.findChild<QComboBox*>(QStringLiteral("printers"));
            auto* file = d.findChild<QLineEdit*>(QStringLiteral("filename"));
            ASSERT_TRUE(printers && file);
            fileItem = printers->itemText(printers->count() - 1);
            if (noPrinter) {
                EXPECT_EQ(printers->currentIndex(), printers->count() - 1) << "the file is the default";
            }
            printers->setCurrentIndex(printers->count() - 1);
            EXPECT_EQ(d.windowTitle(), QStringLiteral("Печать"));
            SaveScreenshot(&d, QStringLiteral("preview_print_dialog"));
            offered = file->text();
            file->setText(pdf);
            d.accept();
        });
        ScriptedMessages msgs; // the clerk is told where the file went
        msgs.Expect(MsgKind::StandardBox).Containing(QStringLiteral("Документ напечатан в файл\r\n") + pdf);
        form.PrintBtn->click();
    }
    EXPECT_EQ(fileItem, QStringLiteral("Печать в файл (PDF)"));
    EXPECT_EQ(QFileInfo(offered).fileName(), QStringLiteral("Расчетная ведомость Цех 1 март.pdf"));
    EXPECT_EQ(offered, DefaultPdfFileName(real.NameDocument()));
    EXPECT_TRUE(QFileInfo(QFileInfo(offered).path()).isDir()) << offered.toStdString();

    // Both pages, the Cyrillic text in the report's own font, the frame's
    // corners whole and where the screen has them.
    EXPECT_TRUE(Output(QStringLiteral("pdfinfo"), {pdf}).contains(QRegularExpression(QStringLiteral("Pages: +2\n"))));
    const QString words = Output(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_EQ(words.count(QStringLiteral("Итого по цеху:")), 2) << words.toStdString();
    EXPECT_TRUE(Output(QStringLiteral("pdffonts"), {pdf}).contains(QStringLiteral("LiberationSans")));
    Output(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-png"), QStringLiteral("-f"), QStringLiteral("1"),
            QStringLiteral("-singlefile"), pdf, dir.filePath(QStringLiteral("page"))});
    const QImage page(dir.filePath(QStringLiteral("page.png")));
    ASSERT_FALSE(page.isNull());
    QImage screen(real.OutputPage(0).Sheet, QImage::Format_RGB32);
    screen.fill(Qt::white);
    QPainter g(&screen);
    g.drawPicture(0, 0, real.OutputPage(0).Picture);
    g.end();
    // The frame's outer top corners (lines 6 wide about x 40 and 440, y 100)
    // are black in both.
    for (const QPoint corner : {QPoint(38, 98), QPoint(441, 98)}) {
        EXPECT_LT(qGray(screen.pixel(corner)), 64) << corner.x() << "," << corner.y();
        EXPECT_LT(qGray(page.pixel(corner)), 128) << corner.x() << "," << corner.y();
    }

    // The next print offers the file the printer wrote.
    {
        ModalScript modal;
        modal.Next<QPrintDialog>([&](QPrintDialog& d) {
            offered = d.findChild<QLineEdit*>(QStringLiteral("filename"))->text();
            d.findChild<QLineEdit*>(QStringLiteral("filename"))->setText(dir.filePath(QStringLiteral("нет/x.pdf")));
            d.accept();
        });
        // A file that cannot be made is said, never passed over.
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Containing(QStringLiteral("Печать не началась"));
        form.PrintBtn->click();
        ASSERT_EQ(msgs.Log().size(), 1u);
        EXPECT_TRUE(msgs.Log()[0].details.contains(QStringLiteral("нет папки"))) << msgs.Log()[0].details.toStdString();
    }
    EXPECT_EQ(offered, pdf);
    EXPECT_FALSE(form.Busy());
}

TEST_F(PreviewFormTest, ADamagedFileKeepsThePagesReadBeforeAndAWindowsFileChangesNothing)
{
    TPreviewForm form(doc);
    form.show();
    const QByteArray good = WriteRenderedPages(false, {&doc.OutputPage(0), &doc.OutputPage(1), &doc.OutputPage(2)});
    const QString cut = dir.filePath(QStringLiteral("cut.rep"));
    const qint32 end1 = qFromLittleEndian<qint32>(good.constData() + 128);
    WriteFileBytes(cut, good.left(end1 + 40));
    QByteArray emf = good.left(132) + QByteArray(80, '\0');
    emf[132] = 1;
    emf.replace(132 + 40, 4, " EMF");
    const QString windows = dir.filePath(QStringLiteral("old.qr"));
    WriteFileBytes(windows, emf);

    ChooseFiles({windows, cut});
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Containing(kWindowsMetafilePages);
    msgs.Expect(MsgKind::Error).Containing(kStreamReadError);
    QTest::keyClick(form.Pages, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(doc.OutputPageCount(), 3);
    EXPECT_FALSE(form.FileLoaded());
    QTest::keyClick(form.Pages, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(doc.OutputPageCount(), 1);
    EXPECT_EQ(Status(form), QStringLiteral("Стр. 1/1"));
    EXPECT_EQ(msgs.Log().size(), 2u);
}

TEST_F(PreviewFormTest, ARefusedPrintRestoresTheDocumentsGeometryAndTheZoomNeverFallsToNothing)
{
    doc.Margins = true;
    TPreviewForm form(doc);
    form.show();
    doc.Margins = false;
    const TPreviewForm::TPrintChooser saved = TPreviewForm::PrintChooser();
    TPreviewForm::PrintChooser() = [](TPreviewForm&, IPrintBackend&, TPreviewForm::TPrintChoice& c) {
        c.From = 5;
        c.To = 6;
        return true;
    };
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Containing(QStringLiteral("Нет данных для печати"));
        QTest::keyClick(form.Pages, Qt::Key_P, Qt::ControlModifier);
    }
    TPreviewForm::PrintChooser() = saved;
    EXPECT_FALSE(doc.Margins);
    EXPECT_FALSE(form.Busy());

    // Two pages in a page area this narrow would be under 5 %, or below
    // nothing once narrower than the margins.
    form.resize(40, 40);
    QApplication::processEvents();
    ASSERT_LT(form.Pages->viewport()->width(), 30 + 2 * 794 / 20);
    form.SetZoomMode(TZoomMode::TwoPages);
    EXPECT_EQ(form.ZoomBtn->text(), QStringLiteral("5%"));
    EXPECT_GT(form.Pages->PageRect(0).width(), 0);
}

TEST_F(PreviewFormTest, TheEngineOpensItsPreviewThroughTheFactory)
{
    ReportWindowFactories().Preview = OpenPreviewWindow;
    TDocument empty;
    empty.SetPrintBackend(std::make_shared<TRecordingPrintBackend>());
    int ends = 0;
    empty.Events.OnEndPrintView = [&](TDocument&) { ++ends; };
    empty.Preview(false);
    ReportWindowFactories().Preview = nullptr;
    QPointer<TPreviewForm> form;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<TPreviewForm*>(w); f && f->isVisible())
            form = f;
    ASSERT_TRUE(form);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Просмотр документа"));
    EXPECT_TRUE(empty.PreviewOpen());
    // The run made one blank page.
    EXPECT_EQ(form->StatusLabel->text(), QStringLiteral("Стр. 1/1"));
    EXPECT_EQ(empty.OutputPageCount(), 1);
    QTest::keyClick(form->Pages, Qt::Key_Escape);
    EXPECT_EQ(empty.OutputPageCount(), 0);
    EXPECT_FALSE(empty.PreviewOpen());
    EXPECT_EQ(ends, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(form) << "the window frees itself";
}

TEST(PreviewFilterTest, DelphiFiltersBecomeQtFilters)
{
    const std::pair<QString, QString> cases[] = {
        {kPreviewSaveFilter, "Файл отчета (*.rep)"},
        {kPreviewOpenFilter, "Файл отчета (*.rep);;Файл Quick Report 1.0 (*.qrp);;Файл Quick Report 2.0 (*.qr)"},
        {"Все|*.a;*.b", "Все (*.a *.b)"},
    };
    for (const auto& [delphi, qt] : cases)
        EXPECT_EQ(QtFileFilter(delphi), qt);
}

} // namespace
