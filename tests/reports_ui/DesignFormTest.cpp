// The designer window on a template read from its file: cancel and finish
// with the file and OnEndDesign, the clipboard's paste steps, the state of
// the bars, the page actions and the context menu, the placement kept in
// the template, and a screenshot of the whole window.

#include "reports/ui/DesignForm.h"
#include "reports/ReportDocument.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace ReportDesign;

namespace {

class DesignFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        file = dir.filePath(QStringLiteral("vedom.dcf"));
        {
            TDocument d;
            d.SetPrintBackend(std::make_shared<TRecordingPrintBackend>());
            d.SetNameDocument(QStringLiteral("Расчетная ведомость"));
            d.Designer.WState = 0;
            d.Designer.Left = 20;
            d.Designer.Top = 30;
            d.Designer.Width = 700;
            d.Designer.Height = 500;
            auto add = [&](int type, QRect r, QStringList m, int ft, int fs = 8) {
                auto v = std::make_unique<TView>(type, &d);
                v->SetBounds(r);
                v->M = m;
                v->FT = ft;
                v->FS = fs;
                d.ActivePage()->AddView(std::move(v));
            };
            add(vtBand, QRect(0, 20, 700, 70), {QString()}, btPageHeader);
            add(vtBand, QRect(0, 90, 700, 24), {QString()}, btMasterData);
            add(vtBand, QRect(0, 114, 700, 40), {QString()}, btReportSummary);
            add(vtText, QRect(40, 24, 520, 26), {QStringLiteral("Расчетная ведомость за [Month]")}, 0, 13);
            add(vtText, QRect(40, 60, 60, 24), {QStringLiteral("Таб.№")}, 15);
            add(vtText, QRect(100, 60, 300, 24), {QStringLiteral("Фамилия, имя, отчество")}, 15);
            add(vtText, QRect(400, 60, 120, 24), {QStringLiteral("К выдаче")}, 15);
            add(vtText, QRect(40, 90, 60, 24), {QStringLiteral("[Tabn]")}, 15);
            add(vtText, QRect(100, 90, 300, 24), {QStringLiteral("[Name]")}, 15);
            add(vtText, QRect(400, 90, 120, 24), {QStringLiteral("[Sum]")}, 15);
            add(vtText, QRect(40, 120, 480, 2), {}, 8);
            d.SaveToFile(file);
        }
        original = ReadFileBytes(file);
        doc = std::make_unique<TDocument>();
        doc->SetPrintBackend(std::make_shared<TRecordingPrintBackend>());
        doc->LoadFromFile(file);
        doc->Events.OnEndDesign = [this](TDocument& d) {
            ++ended;
            endedOpen = d.DesignerOpen();
            doc.reset(); // the host frees the document: nothing may touch it afterwards
        };
        InstallDesignWindow();
    }
    void TearDown() override { ReportWindowFactories().Design = nullptr; }

    // Runs the designer modally through the engine with the step.
    void Design(std::function<void(TDesignForm&)> step)
    {
        ModalScript modal;
        modal.Next<TDesignForm>([&](TDesignForm& f) {
            f.Surface()->setFocus();
            step(f);
        });
        doc->Design(true);
    }
    static void Trigger(TDesignForm& f, const char* action) { f.Action(QString::fromLatin1(action))->trigger(); }
    static TPage& Page(TDesignForm& f) { return *f.Document()->ActivePage(); }
    static void Select(TDesignForm& f, std::initializer_list<int> indexes)
    {
        f.Surface()->ClearSelection();
        for (int i : indexes)
            Page(f).View(i)->Selected = true;
        f.RefreshBars();
    }

    QTemporaryDir dir;
    QString file;
    QByteArray original;
    std::unique_ptr<TDocument> doc;
    int ended = 0;
    bool endedOpen = true;
};

TEST_F(DesignFormTest, CancelReloadsTheFileUntouchedAndEndsDesignOnceAndLast)
{
    int viewsInDocument = -1;
    doc->Events.OnEndDesign = [&](TDocument& d) {
        ++ended;
        endedOpen = d.DesignerOpen();
        viewsInDocument = d.ActivePage()->ViewCount();
        doc.reset();
    };
    Design([](TDesignForm& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Конструктор отчетов:  \"Расчетная ведомость\""));
        Select(f, {4});
        QTest::keyClick(f.Surface(), Qt::Key_Delete);
        QTest::keyClick(f.Surface(), Qt::Key_Right, Qt::ControlModifier);
        EXPECT_EQ(Page(f).ViewCount(), 10);
        EXPECT_TRUE(f.Action(QStringLiteral("DocSave"))->isEnabled());
        Trigger(f, "DocExit");
    });
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(endedOpen);
    EXPECT_EQ(viewsInDocument, 11); // read again from the file
    EXPECT_EQ(ReadFileBytes(file), original);
}

TEST_F(DesignFormTest, TemplateWithoutAFileIsNeitherSavedNorReadBack)
{
    for (const char* exit : {"DocSaveExit", "DocExit"}) {
        TDocument d;
        d.SetPrintBackend(std::make_shared<TRecordingPrintBackend>());
        int ends = 0;
        d.Events.OnEndDesign = [&](TDocument&) { ++ends; };
        ModalScript modal;
        modal.Next<TDesignForm>([&](TDesignForm& f) {
            f.Surface()->SetTool(toolText);
            QTest::mouseClick(f.Surface(), Qt::LeftButton, {}, QPoint(40, 40));
            Trigger(f, exit);
        });
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(dir.path());
        d.Design(true);
        QDir::setCurrent(cwd);
        EXPECT_EQ(ends, 1) << exit;
        EXPECT_EQ(d.ActivePage()->ViewCount(), 1) << exit;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("vedom.dcf")})
            << exit;
    }
}

TEST_F(DesignFormTest, FinishSavesTheChangesAndThePlacement)
{
    Design([](TDesignForm& f) {
        EXPECT_EQ(f.geometry(), QRect(20, 30, 700, 500));
        f.setGeometry(50, 60, 740, 540);
        Select(f, {10});
        QTest::keyClick(f.Surface(), Qt::Key_Delete);
        Trigger(f, "DocSaveExit");
        EXPECT_EQ(f.ExitMode(), 1);
    });
    EXPECT_EQ(ended, 1);
    TDocument saved;
    saved.LoadFromFile(file);
    EXPECT_EQ(saved.ActivePage()->ViewCount(), 10);
    EXPECT_EQ(QRect(saved.Designer.Left, saved.Designer.Top, saved.Designer.Width, saved.Designer.Height),
        QRect(50, 60, 740, 540));
    EXPECT_EQ(saved.Designer.WState, 0);
}

TEST_F(DesignFormTest, SavingMaximisedKeepsTheLastNormalPlacement)
{
    Design([](TDesignForm& f) {
        f.setWindowState(Qt::WindowMaximized);
        QApplication::processEvents();
        Select(f, {3});
        QTest::keyClick(f.Surface(), Qt::Key_Down, Qt::ControlModifier);
        Trigger(f, "DocSave");
        EXPECT_FALSE(f.Action(QStringLiteral("DocSave"))->isEnabled());
        Trigger(f, "DocExit");
    });
    TDocument saved;
    saved.LoadFromFile(file);
    EXPECT_EQ(saved.Designer.WState, 2);
    EXPECT_EQ(QRect(saved.Designer.Left, saved.Designer.Top, saved.Designer.Width, saved.Designer.Height),
        QRect(20, 30, 700, 500));
    EXPECT_EQ(saved.ActivePage()->View(3)->Y, 25);
}

TEST_F(DesignFormTest, PasteStepsTheStoredCopiesAndSkipsMarkersOfPresentKinds)
{
    Design([](TDesignForm& f) {
        Select(f, {1, 4});
        Trigger(f, "ObjCopy");
        Trigger(f, "ObjPaste");
        QTest::keyClick(f.Surface(), Qt::Key_Insert, Qt::ShiftModifier);
        TPage& p = Page(f);
        ASSERT_EQ(p.ViewCount(), 13); // the Master data marker is skipped although data kinds may repeat
        EXPECT_EQ(p.View(11)->Bounds(), QRect(44, 64, 60, 24));
        EXPECT_EQ(p.View(12)->Bounds(), QRect(48, 68, 60, 24));
        EXPECT_EQ(SelectedCount(p), 1);
        EXPECT_TRUE(p.View(12)->Selected);
        // Cut and paste on a new page brings the marker along.
        Select(f, {1});
        Trigger(f, "ObjCut");
        Trigger(f, "PgNew");
        Trigger(f, "ObjPaste");
        ASSERT_EQ(Page(f).ViewCount(), 1);
        EXPECT_EQ(Page(f).View(0)->FT, btMasterData);
        Trigger(f, "DocExit");
    });
    EXPECT_EQ(ReadFileBytes(file), original);
}

TEST_F(DesignFormTest, BarsFollowTheSelection)
{
    Design([](TDesignForm& f) {
        Select(f, {3});
        EXPECT_TRUE(f.tbFont->isEnabled());
        EXPECT_EQ(f.cbSize->currentText(), QStringLiteral("13"));
        EXPECT_EQ(f.cbSize->itemText(f.cbSize->currentIndex()), QStringLiteral("12"));
        EXPECT_EQ(f.btElement->text(), QStringLiteral("Текст"));
        EXPECT_FALSE(f.Action(QStringLiteral("ShapeRound"))->isChecked());
        Select(f, {4});
        EXPECT_TRUE(f.Action(QStringLiteral("ShapeRound"))->isChecked());
        EXPECT_TRUE(f.Action(QStringLiteral("ShapeLeft"))->isChecked());
        Select(f, {10});
        EXPECT_EQ(f.btElement->text(), QStringLiteral("Прямоугольник"));
        EXPECT_TRUE(f.Action(QStringLiteral("ShapeTop"))->isChecked());
        EXPECT_FALSE(f.Action(QStringLiteral("ShapeBottom"))->isChecked());
        Select(f, {0, 3});
        for (QToolBar* bar : {f.tbFont, f.tbColour, f.tbAlign, f.tbFrame})
            EXPECT_FALSE(bar->isEnabled()) << bar->objectName().toStdString();
        EXPECT_TRUE(f.Action(QStringLiteral("ObjSelect"))->isChecked());
        Select(f, {});
        EXPECT_FALSE(f.Action(QStringLiteral("ObjCopy"))->isEnabled());
        EXPECT_FALSE(f.tbFrame->isEnabled());
        // An attribute changes every selected object.
        Select(f, {4, 5});
        f.Action(QStringLiteral("FontBold"))->trigger();
        EXPECT_EQ(Page(f).View(4)->FY & 2, 2);
        EXPECT_EQ(Page(f).View(5)->FY & 2, 2);
        f.seFrameWidth->setValue(3);
        EXPECT_EQ(Page(f).View(5)->FW, 3);
        Select(f, {3});
        Trigger(f, "ShapeBottom");
        EXPECT_EQ(Page(f).View(3)->FT, 2);
        Trigger(f, "ShapeRound"); // down while any line is on: the press takes them all off
        EXPECT_EQ(Page(f).View(3)->FT, 0);
        Trigger(f, "ShapeRound");
        EXPECT_EQ(Page(f).View(3)->FT, 15);
        // A marker takes another kind only when that kind is free.
        Select(f, {2});
        f.lbBands->setCurrentRow(btPageHeader);
        emit f.lbBands->itemClicked(f.lbBands->currentItem());
        EXPECT_EQ(Page(f).View(2)->FT, btReportSummary);
        f.lbBands->setCurrentRow(btOverlay);
        emit f.lbBands->itemClicked(f.lbBands->currentItem());
        EXPECT_EQ(Page(f).View(0)->FT, btOverlay);
        Trigger(f, "DocExit");
    });
}

TEST_F(DesignFormTest, SelectedObjectsGoUpOrDownAndCtrlNStepsThroughTheList)
{
    Design([](TDesignForm& f) {
        TView* a = Page(f).View(4);
        TView* b = Page(f).View(6);
        Select(f, {4, 6});
        Trigger(f, "ObjUp");
        EXPECT_EQ(Page(f).View(9), a);
        EXPECT_EQ(Page(f).View(10), b);
        Trigger(f, "ObjDown");
        EXPECT_EQ(Page(f).View(0), a);
        EXPECT_EQ(Page(f).View(1), b);
        Trigger(f, "ObjNext"); // two selected: no step
        EXPECT_EQ(SelectedCount(Page(f)), 2);
        Select(f, {10});
        Trigger(f, "ObjNext");
        EXPECT_TRUE(Page(f).View(0)->Selected);
        Trigger(f, "ObjPrev");
        EXPECT_TRUE(Page(f).View(10)->Selected);
        EXPECT_EQ(SelectedCount(Page(f)), 1);
        Trigger(f, "DocExit");
    });
}

TEST_F(DesignFormTest, PagesAreAddedAndDeletedAfterTheQuestion)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::StandardBox).Details(QStringLiteral("Удалить страницу.  Вы уверены?")).PressEsc();
    msgs.Expect(MsgKind::StandardBox).Caption(QStringLiteral("Удаление страницы документа")).Answer(IDOK);
    Design([](TDesignForm& f) {
        EXPECT_FALSE(f.Action(QStringLiteral("PgDel"))->isEnabled());
        Page(f).O = 1;
        Trigger(f, "PgNew");
        EXPECT_EQ(f.Document()->PageCount(), 2);
        EXPECT_EQ(Page(f).O, 1);
        EXPECT_EQ(f.lbStatus->text(), QStringLiteral("стр. 2/2"));
        EXPECT_FALSE(f.Action(QStringLiteral("PgNext"))->isEnabled());
        Trigger(f, "PgPrev");
        EXPECT_EQ(f.lbStatus->text(), QStringLiteral("стр. 1/2"));
        Trigger(f, "PgDel");
        EXPECT_EQ(f.Document()->PageCount(), 2);
        Trigger(f, "PgDel");
        EXPECT_EQ(f.Document()->PageCount(), 1);
        EXPECT_EQ(Page(f).ViewCount(), 0);
        Trigger(f, "DocExit");
    });
    EXPECT_EQ(ReadFileBytes(file), original);
}

TEST_F(DesignFormTest, ContextMenuShowsOnlyWhatFitsTheSelection)
{
    Design([](TDesignForm& f) {
        struct Case {
            std::vector<int> selected;
            bool stretch, section, narrow, edit;
        } cases[] = {
            {{3}, true, false, false, true},
            {{0}, false, true, false, true},
            {{4, 10}, false, false, true, false},
            {{}, false, false, false, false},
        };
        for (const Case& c : cases) {
            f.Surface()->ClearSelection();
            for (int i : c.selected)
                Page(f).View(i)->Selected = true;
            emit f.Popup->aboutToShow();
            EXPECT_EQ(f.Action(QStringLiteral("pmStretch"))->isVisible(), c.stretch);
            EXPECT_EQ(f.Action(QStringLiteral("pmSection"))->isVisible(), c.section);
            EXPECT_EQ(f.Action(QStringLiteral("pmTexts"))->isVisible(), c.narrow);
            EXPECT_EQ(f.Action(QStringLiteral("pmEdit"))->isEnabled(), c.edit);
            EXPECT_EQ(f.Action(QStringLiteral("pmCopy"))->isEnabled(), !c.selected.empty());
        }
        Select(f, {1});
        f.Action(QStringLiteral("pmSection"))->trigger();
        EXPECT_EQ(SelectedCount(Page(f)), 4); // the marker and the three fields in its band
        f.Action(QStringLiteral("pmTexts"))->trigger();
        EXPECT_EQ(SelectedCount(Page(f)), 3);
        Trigger(f, "DocExit");
    });
}

TEST_F(DesignFormTest, PopupListsStayInsideTheScrollBox)
{
    const QRect box(100, 100, 400, 300);
    struct Case {
        QRect button;
        QSize popup;
        QPoint at;
    } cases[] = {
        {{150, 80, 20, 20}, {60, 100}, {150, 100}},
        {{50, 80, 20, 20}, {60, 100}, {100, 100}},
        {{150, 350, 20, 20}, {60, 100}, {150, 300}},
        {{150, 80, 20, 20}, {60, 500}, {150, 100}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TDesignForm::PopupPlace(c.button, c.popup, box), c.at) << c.button.y();
}

TEST_F(DesignFormTest, WindowFromTheEngineEndsDesignOnceWhenClosedAndFreesItself)
{
    doc->Design(false);
    ASSERT_TRUE(doc->DesignerOpen());
    QPointer<TDesignForm> form;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<TDesignForm*>(w))
            form = f;
    ASSERT_TRUE(form);
    doc->Design(false); // a second call brings the same window forward
    Select(*form, {3});
    form->Surface()->setFocus();
    QTest::keyClick(form->Surface(), Qt::Key_Delete);
    form->close();
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(doc);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(form);
    EXPECT_EQ(ReadFileBytes(file), original);
}

TEST_F(DesignFormTest, ScreenshotOfTheWindowWithATemplate)
{
    Design([](TDesignForm& f) {
        f.resize(800, 600);
        Select(f, {5});
        QApplication::processEvents();
        EXPECT_FALSE(SaveScreenshot(&f, QStringLiteral("design-window")).isEmpty());
        Trigger(f, "DocExit");
    });
    EXPECT_EQ(ended, 1);
}

} // namespace
