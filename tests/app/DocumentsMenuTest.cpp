// The real program with the shipped templates: the clerk opens "Выходные
// формы" - "Расчетные листы" from the main window, forms the pay slips of the
// department he stands on and reads them in the preview.

#include "app/program/QorProgram.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Podr.h"
#include "data/TabnDops.h"
#include "data/ui/FormRegistry.h"
#include "data/ui/Program.h"
#include "desk/Main.h"
#include "foundation/Progress.h"
#include "reports/PrintBackend.h"
#include "reports/ui/FormReports.h"
#include "reports/ui/PreviewForm.h"
#include "support/CalcBuilders.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

class DocumentsMenuTest : public ::testing::Test {
protected:
    void SetUp() override { InstallShippedTemplates(QStringLiteral(QOR_SHIPPED_TXT), folder_); }
    void TearDown() override { SetProgramStepHook({}); }

    // A first start of the program; inLoop runs in its main loop, then the
    // main window is closed.
    void FirstStart(std::function<void()> inLoop)
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning)
            .Details(QStringLiteral("Создаем алиас \"Qor\"\r\n") + folder_.Path() + QStringLiteral("DB/"));
        msgs.Expect(MsgKind::Warning).Details(QStringLiteral("Сегодня :    01.01.2025"));
        SetProgramStepHook([inLoop](const QString& step) {
            if (step == QLatin1String("MainLoop"))
                QTimer::singleShot(0, [inLoop] {
                    inLoop();
                    if (QMainWindow* main = MainForm())
                        main->close();
                });
        });
        ASSERT_EQ(QorMain(), 0);
    }

    ScopedFakeClock clock_{45658.5}; // 01.01.2025, noon
    TSilentProgress progress_;
    ScopedProgress progressScope_{&progress_};
    ScopedProgramFolder folder_;
};

QAction* MenuAction(QMainWindow& main, const QString& name)
{
    for (QAction* a : main.menuBar()->findChildren<QAction*>())
        if (a->objectName() == name)
            return a;
    return nullptr;
}

TPreviewForm* OpenPreview()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<TPreviewForm*>(w); f && f->isVisible())
            return f;
    return nullptr;
}

TEST_F(DocumentsMenuTest, ThePaySlipsOfTheDepartmentAreFormedFromTheMainMenuAndPreviewed)
{
    QString pdfText, caption, status, kindName;
    int inked = 0;
    bool previewClosed = false;
    FirstStart([&] {
        auto* main = dynamic_cast<TFormMain*>(MainForm());
        ASSERT_NE(main, nullptr);
        const qint32 tabn = AddWorkshopEmployee();
        TCardSpec spec;
        spec.Podr = 2;
        spec.Fio = QStringLiteral("Сидоров Сидор Сидорович");
        AddCard(spec);
        const T_Dop* piecework = DNList()->FindDop(1);
        ASSERT_NE(piecework, nullptr);
        const qint32 first = piecework->DopNum;
        kindName = piecework->GetName();
        T_TabnDopList results(DNList(), tdkNewResults);
        results.Date = Cfg.Workdate;
        results.TabNum = tabn;
        results.SetValues(first, 160, Currency::FromInt(12345), 0);
        results.SetValues(dnNachis, 160, Currency::FromInt(12345), 0);
        results.SetValues(dnVsego, 0, Currency::FromInt(12345), 0);
        results.SaveNewResults();
        main->SetCurrentPodr(2);
        main->LocateTabn(tabn);
        ASSERT_EQ(main->CurTabn(), tabn);

        ModalScript modal;
        modal.Next<TFormReports>([&](TFormReports& f) {
            EXPECT_EQ(f.edPodrNum->text(), QStringLiteral("2"));
            QTreeWidgetItem* slip = f.tvDocs->topLevelItem(0)->child(0);
            ASSERT_NE(slip, nullptr);
            f.tvDocs->setCurrentItem(slip);
            QTest::mouseClick(f.btForm, Qt::LeftButton);
            QPointer<TPreviewForm> preview = OpenPreview();
            ASSERT_NE(preview, nullptr);
            caption = preview->windowTitle();
            status = preview->StatusLabel->text();
            const QImage shot(SaveScreenshot(preview, QStringLiteral("program-payslip-preview")));
            const QRect page
                = preview->Pages->PageRect(0).translated(preview->Pages->viewport()->mapTo(preview, QPoint(0, 0)));
            for (int y = page.top() + 4; y < page.bottom() - 4; ++y)
                for (int x = page.left() + 4; x < page.right() - 4; ++x)
                    inked += shot.pixelColor(x, y).lightness() < 128;
            const QString pdf = folder_.File(QStringLiteral("slip.pdf"));
            preview->Document().SetPrintBackend(std::make_shared<TPdfPrintBackend>(pdf));
            preview->Document().Print(1, preview->PageCount());
            QProcess p;
            p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
            ASSERT_TRUE(p.waitForFinished(30000));
            pdfText = QString::fromUtf8(p.readAllStandardOutput()).simplified();
            // The preview is the clerk's while the catalogue waits behind it:
            // a click through the window system, which honours modality.
            QTest::mouseClick(preview->windowHandle(), Qt::LeftButton, {},
                preview->ExitBtn->mapTo(preview, preview->ExitBtn->rect().center()));
            previewClosed = !preview || !preview->isVisible(); // closing frees it
            QTest::keyClick(&f, Qt::Key_Escape);
        });
        ASSERT_NE(MenuAction(*main, QStringLiteral("mnVedRL")), nullptr);
        MenuAction(*main, QStringLiteral("mnVedRL"))->trigger();
    });
    EXPECT_EQ(caption, QStringLiteral("Расчетные листы"));
    EXPECT_EQ(status, QStringLiteral("Стр. 1/1"));
    EXPECT_GT(inked, 500) << "a page drawn, not an empty sheet";
    EXPECT_TRUE(pdfText.contains(QStringLiteral("Петров Петр Петрович"))) << pdfText.toStdString();
    EXPECT_TRUE(pdfText.contains(kindName + QStringLiteral(" 160,0 12345,00"))) << pdfText.toStdString();
    EXPECT_TRUE(pdfText.contains(QStringLiteral("К выплате: 12345,00"))) << pdfText.toStdString();
    EXPECT_TRUE(pdfText.contains(QStringLiteral("Сидоров Сидор Сидорович"))) << "every employee of the department";
    EXPECT_TRUE(previewClosed);
}

} // namespace
