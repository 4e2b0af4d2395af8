// The designer window on a template read from its file: cancel and finish
// with the file and OnEndDesign, the clipboard's paste steps, the state of
// the bars, the page actions and the context menu, the placement kept in
// the template, and a screenshot of the whole window.

#include "reports/ui/DesignForm.h"
#include "data/Globals.h"
#include "reports/FastRep.h"
#include "reports/ReportDocument.h"
#include "reports/ui/DesignDialogs.h"
#include "reports/ui/PreviewForm.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace ReportDesign;

namespace {

// The text folder for the run: a fresh one holding the shipped pay sheet.
class ShippedTextFolder {
public:
    ShippedTextFolder() : saved_(TxtDir)
    {
        TxtDir = dir_.path() + QLatin1Char('/');
        ready_ = QFile::copy(QStringLiteral(QOR_SHIPPED_TXT "/RV.dcf"), Template());
    }
    ~ShippedTextFolder() { TxtDir = saved_; }
    ShippedTextFolder(const ShippedTextFolder&) = delete;
    ShippedTextFolder& operator=(const ShippedTextFolder&) = delete;
    bool Ready() const { return ready_; }
    QString Template() const { return TxtDir + QStringLiteral("RV.dcf"); }

private:
    QTemporaryDir dir_;
    QString saved_;
    bool ready_ = false;
};

// The designer window the engine opened, if any.
TDesignForm* OpenDesigner()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<TDesignForm*>(w))
            return f;
    return nullptr;
}

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
        // Writing does not mark the template unchanged: save and reload stay offered.
        EXPECT_TRUE(f.Action(QStringLiteral("DocSave"))->isEnabled());
        EXPECT_TRUE(f.Action(QStringLiteral("DocReload"))->isEnabled());
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
        f.lbBands->setCurrentRow(btMasterData); // data kinds may repeat
        emit f.lbBands->itemClicked(f.lbBands->currentItem());
        EXPECT_EQ(Page(f).View(2)->FT, btMasterData);
        f.lbBands->setCurrentRow(btOverlay);
        emit f.lbBands->itemClicked(f.lbBands->currentItem());
        EXPECT_EQ(Page(f).View(0)->FT, btOverlay);
        Trigger(f, "DocExit");
    });
}

TEST_F(DesignFormTest, AttributeBarsAreDecidedByTheSelectedObjectsOnly)
{
    Design([](TDesignForm& f) {
        // A picture before the texts and one at the end: 0-2 markers, 3 picture, 4-11 texts, 12 picture.
        auto picture = [&f](int at) {
            auto v = std::make_unique<TView>(vtPicture, f.Document());
            v->SetBounds(QRect(560, 20 + at, 40, 40));
            Page(f).InsertView(at, std::move(v));
        };
        picture(3);
        picture(Page(f).ViewCount());
        struct Case {
            std::initializer_list<int> selected;
            bool font, frame;
        } cases[] = {
            {{4, 5}, true, true}, // two texts, whatever the page holds first
            {{3, 12}, false, true}, // two pictures take frame lines, no font
            {{3, 4}, false, true},
            {{3}, false, true},
            {{0, 4}, false, false},
            {{}, false, false},
        };
        int n = 0;
        for (const Case& c : cases) {
            SCOPED_TRACE(n++);
            Select(f, c.selected);
            for (QToolBar* bar : {f.tbFont, f.tbColour, f.tbAlign})
                EXPECT_EQ(bar->isEnabled(), c.font) << bar->objectName().toStdString();
            EXPECT_EQ(f.cbFont->isEnabled(), c.font);
            EXPECT_EQ(f.tbFrame->isEnabled(), c.frame);
            EXPECT_EQ(f.seFrameWidth->isEnabled(), c.frame);
            if (!c.font) {
                EXPECT_EQ(f.cbSize->currentText(), QStringLiteral(" "));
            }
        }
        Trigger(f, "DocExit");
    });
}

TEST_F(DesignFormTest, ActionsCarryTheirCaptionsHintsAndKeys)
{
    Design([](TDesignForm& f) {
        const QString nl = QStringLiteral("\n");
        const struct {
            const char *name, *caption;
            QString hint;
            QKeySequence key;
        } cases[] = {
            {"DocSaveExit", "Закончить", QStringLiteral("Сохранить изменения и выйти"), {}},
            {"DocExit", "Отмена", QStringLiteral("Выйти без изменений"), QKeySequence(QStringLiteral("Alt+X"))},
            {"DocSave", "Записать", QStringLiteral("Записать изменения на диск"),
                QKeySequence(QStringLiteral("Ctrl+S"))},
            {"DocReload", "Отменить последние изменения", {}, {}},
            {"DocPreview", "Просмотр", QStringLiteral("Просмотр печатного вида документа"), QKeySequence(Qt::Key_F3)},
            {"DocRedraw", "Перерисовать", {}, QKeySequence(QStringLiteral("Ctrl+R"))},
            {"ObjUp", "Поднять на верх", QStringLiteral("Поднять выделенные объекты на верх"), {}},
            {"ObjDown", "Спустить вниз", QStringLiteral("Спустить выделенные объекты вниз"), {}},
            {"ObjSelect", "Выделить все", QStringLiteral("Выделить все / Отменить выделение"),
                QKeySequence(QStringLiteral("Ctrl+A"))},
            {"ObjCut", "Убрать",
                QStringLiteral("Перенести выделенные элементы ") + nl + QStringLiteral("в буфер обмена"),
                QKeySequence(QStringLiteral("Ctrl+X"))},
            {"ObjCopy", "Копировать",
                QStringLiteral("Копировать выделенные элементы ") + nl + QStringLiteral("в буфер обмена"),
                QKeySequence(QStringLiteral("Ctrl+C"))},
            {"ObjPaste", "Вставить",
                QStringLiteral("Вставить выделенные элементы ") + nl + QStringLiteral("из буфера обмена"),
                QKeySequence(QStringLiteral("Ctrl+V"))},
            {"ObjPrev", "", {}, QKeySequence(QStringLiteral("Ctrl+P"))},
            {"ObjNext", "", {}, QKeySequence(QStringLiteral("Ctrl+N"))},
            {"PgNew", "Новый", QStringLiteral("Новай лист документа"), {}},
            {"PgDel", "Удалить", QStringLiteral("Удалить текущий лист документа"), {}},
            {"PgOpt", "Параметры листа", {}, {}},
            {"PgPrev", "Предыдущий", {}, {}},
            {"PgNext", "Следующий", {}, {}},
            {"OptGridShow", "Показывать сетку", {}, {}},
            {"OptGridSnap", "Привязка к сетке", {}, {}},
            {"OptReport", "Параметры документа", {}, {}},
            {"OptShowWhite", "", {}, QKeySequence(QStringLiteral("Ctrl+W"))},
            {"ShapeRound", "Окружить рамкой", {}, {}},
            {"ShapeLeft", "Линия слева", {}, {}},
            {"ShapeRight", "Линия справа", {}, {}},
            {"ShapeTop", "Линия сверху", {}, {}},
            {"ShapeBottom", "Линия снизу", {}, {}},
        };
        for (const auto& c : cases) {
            QAction* a = f.Action(QString::fromLatin1(c.name));
            ASSERT_TRUE(a) << c.name;
            EXPECT_EQ(a->text(), QString::fromUtf8(c.caption)) << c.name;
            if (!c.hint.isEmpty()) {
                EXPECT_EQ(a->toolTip(), c.hint) << c.name;
            }
            EXPECT_EQ(a->shortcut(), c.key) << c.name;
        }
        EXPECT_EQ(f.btElement->toolTip(), QStringLiteral("Вид текущего выбранного элемента "));
        // The keys reach the actions from the page surface.
        QTest::keyClick(f.Surface(), Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(SelectedCount(Page(f)), 11);
        QTest::keyClick(f.Surface(), Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(SelectedCount(Page(f)), 0);
        Select(f, {4});
        QTest::keyClick(f.Surface(), Qt::Key_Insert, Qt::ControlModifier);
        ASSERT_EQ(DesignClipboard().Views.size(), 1u);
        EXPECT_EQ(DesignClipboard().Views[0]->M, Page(f).View(4)->M);
        EXPECT_EQ(DesignClipboard().Views[0]->Document, nullptr); // no tie to a document that may be freed
        const bool white = f.Document()->Designer.ClearAsWhite;
        QTest::keyClick(f.Surface(), Qt::Key_W, Qt::ControlModifier);
        EXPECT_NE(f.Document()->Designer.ClearAsWhite, white);
        Trigger(f, "DocExit");
    });
    EXPECT_EQ(DesignClipboard().Source, nullptr); // its document is gone
    // Another designer pastes the copy of the freed document's object.
    doc = std::make_unique<TDocument>();
    doc->SetPrintBackend(std::make_shared<TRecordingPrintBackend>());
    doc->LoadFromFile(file);
    Design([](TDesignForm& f) {
        EXPECT_TRUE(f.Action(QStringLiteral("ObjPaste"))->isEnabled());
        Trigger(f, "ObjPaste");
        ASSERT_EQ(Page(f).ViewCount(), 12);
        EXPECT_EQ(Page(f).View(11)->Document, f.Document());
        EXPECT_EQ(Page(f).View(11)->Bounds(), QRect(44, 64, 60, 24));
        Trigger(f, "DocExit");
    });
}

TEST_F(DesignFormTest, PreviewFromTheDesignerLeavesTheTemplateAsItWas)
{
    ReportWindowFactories().Preview = OpenPreviewWindow;
    const QString before = dir.filePath(QStringLiteral("before.dcf")),
                  after = dir.filePath(QStringLiteral("after.dcf"));
    ModalScript modal;
    modal.Next<TDesignForm>([&](TDesignForm& f) {
        TDocument& d = *f.Document();
        d.SaveToFile(before);
        QTest::keyClick(f.Surface(), Qt::Key_F3);
        EXPECT_FALSE(d.DemoData);
        EXPECT_FALSE(d.Rendering());
        EXPECT_FALSE(d.PreviewOpen());
        d.SaveToFile(after);
        d.NameSaveFile = file;
        Trigger(f, "DocExit");
    });
    modal.Next<TPreviewForm>([](TPreviewForm& p) {
        EXPECT_TRUE(p.Document().DemoData);
        EXPECT_GT(p.Document().OutputPageCount(), 0);
        QTest::keyClick(p.Pages, Qt::Key_Escape);
    });
    doc->Design(true);
    ReportWindowFactories().Preview = nullptr;
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(ReadFileBytes(after), ReadFileBytes(before));
}

TEST_F(DesignFormTest, OptionsAfterOkRefreshTheCaptionAndTheSheet)
{
    ModalScript modal;
    modal.Next<TDesignForm>([](TDesignForm& f) {
        const int portrait = f.Surface()->width();
        Trigger(f, "PgOpt");
        EXPECT_EQ(Page(f).O, 1);
        EXPECT_EQ(f.Surface()->width(), f.Document()->Geometry(1).PhysWs);
        EXPECT_GT(f.Surface()->width(), portrait);
        EXPECT_TRUE(f.Action(QStringLiteral("DocSave"))->isEnabled());
        Trigger(f, "OptReport");
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Конструктор отчетов:  \"Свод\""));
        Trigger(f, "DocExit");
    });
    QPoint first;
    modal.Next<TOptForm>([&first](TOptForm& f) {
        first = f.pos();
        EXPECT_EQ(f.pc->currentIndex(), TOptForm::pgSheet);
        f.rbLandscape->setChecked(true);
        QTest::mouseClick(f.findChild<QPushButton*>(QStringLiteral("btOk")), Qt::LeftButton);
        f.move(f.pos() + QPoint(0, 20)); // what a window manager did after each showing
    });
    modal.Next<TOptForm>([&first](TOptForm& f) {
        EXPECT_EQ(f.pos(), first) << "opens where it opened the first time";
        EXPECT_EQ(f.pc->currentIndex(), TOptForm::pgCommon);
        f.edName->setText(QStringLiteral("Свод"));
        QTest::mouseClick(f.findChild<QPushButton*>(QStringLiteral("btOk")), Qt::LeftButton);
    });
    doc->Design(true);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(ReadFileBytes(file), original);
}

TEST_F(DesignFormTest, ClosingDuringACtrlCopyDropsTheCopyFirst)
{
    for (const char* exit : {"DocExit", "DocSaveExit"}) {
        doc = std::make_unique<TDocument>();
        doc->SetPrintBackend(std::make_shared<TRecordingPrintBackend>());
        doc->LoadFromFile(file);
        doc->Events.OnEndDesign = [this](TDocument&) {
            ++ended;
            doc.reset();
        };
        Design([exit](TDesignForm& f) {
            Select(f, {4});
            TPreview* s = f.Surface();
            QTest::keyClick(s, Qt::Key_Right, Qt::ControlModifier); // a change, so the close saves or reloads
            QTest::mousePress(s, Qt::LeftButton, {}, QPoint(51, 70));
            QTest::mouseMove(s, QPoint(91, 150));
            QTest::keyPress(s, Qt::Key_Control, Qt::ControlModifier);
            ASSERT_EQ(Page(f).ViewCount(), 12);
            Trigger(f, exit); // the button and Ctrl still held
        });
        TDocument saved;
        saved.LoadFromFile(file);
        EXPECT_EQ(saved.ActivePage()->ViewCount(), 11) << exit; // no copy in the file
    }
    EXPECT_EQ(ended, 2);
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
    msgs.Expect(MsgKind::StandardBox)
        .Details(QStringLiteral("Удалить страницу.  Вы уверены?"))
        .Caption(QStringLiteral("Удаление страницы документа"))
        .PressEsc();
    msgs.Expect(MsgKind::StandardBox).Answer(IDOK).Times(2);
    Design([](TDesignForm& f) {
        EXPECT_FALSE(f.Action(QStringLiteral("PgDel"))->isEnabled());
        Page(f).O = 1;
        Trigger(f, "PgNew");
        EXPECT_EQ(f.Document()->PageCount(), 2);
        EXPECT_EQ(Page(f).O, 1);
        EXPECT_EQ(f.lbStatus->text(), QStringLiteral("стр. 2/2"));
        EXPECT_FALSE(f.Action(QStringLiteral("PgNext"))->isEnabled());
        Trigger(f, "PgNew");
        Trigger(f, "PgPrev");
        EXPECT_EQ(f.lbStatus->text(), QStringLiteral("стр. 2/3"));
        Trigger(f, "PgDel"); // Esc: nothing goes
        EXPECT_EQ(f.Document()->PageCount(), 3);
        Trigger(f, "PgDel");
        EXPECT_EQ(f.Document()->PageCount(), 2);
        EXPECT_EQ(f.lbStatus->text(), QStringLiteral("стр. 1/2")); // the page before the deleted one
        EXPECT_EQ(Page(f).ViewCount(), 11);
        Trigger(f, "PgDel");
        EXPECT_EQ(f.Document()->PageCount(), 1);
        EXPECT_EQ(Page(f).ViewCount(), 0);
        EXPECT_FALSE(f.Action(QStringLiteral("PgDel"))->isEnabled());
        Trigger(f, "DocExit");
    });
    ASSERT_FALSE(msgs.Log().isEmpty());
    const QList<MsgButton>& buttons = msgs.Log().front().buttons;
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0].result, IDOK);
    EXPECT_EQ(buttons[1].result, IDCANCEL);
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
    QPointer<TDesignForm> form = OpenDesigner();
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

// The catalogue's "Конструктор" goes through the forming holder, which opens
// the window from the engine, not modal, on a template of the text folder.
TEST_F(DesignFormTest, ShippedTemplateOpensFromTheFormingHolderAndIsFreedAfterClosing)
{
    ShippedTextFolder txt;
    ASSERT_TRUE(txt.Ready());
    const QString shipped = txt.Template();
    const QByteArray bytes = ReadFileBytes(shipped);
    TFormFastRep rep;
    rep.DesignTemplate(QStringLiteral("RV.dcf"));
    TDocument* d = rep.DesignerDocument();
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->DesignerOpen());
    QPointer<TDesignForm> form = OpenDesigner();
    ASSERT_TRUE(form);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Конструктор отчетов:  \"") + d->NameDocument() + QLatin1Char('"'));
    ASSERT_GT(Page(*form).ViewCount(), 10);
    form->showNormal();
    form->setGeometry(10, 10, 1000, 700);
    int text = 0; // the first text with lines: the heading
    while (
        text < Page(*form).ViewCount() && (Page(*form).View(text)->T != vtText || Page(*form).View(text)->M.isEmpty()))
        ++text;
    ASSERT_LT(text, Page(*form).ViewCount());
    Select(*form, {text});
    QApplication::processEvents();
    EXPECT_FALSE(SaveScreenshot(form, QStringLiteral("design-window")).isEmpty());
    form->Surface()->setFocus();
    QTest::keyClick(form->Surface(), Qt::Key_Delete);
    form->close(); // the frame's close: the edit is discarded
    EXPECT_EQ(rep.DesignerDocument(), nullptr);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    EXPECT_FALSE(form);
    EXPECT_EQ(ReadFileBytes(shipped), bytes);
}

TEST_F(DesignFormTest, ADesignerOpenedFromAModalWindowTakesTheClerksInput)
{
    ShippedTextFolder txt;
    ASSERT_TRUE(txt.Ready());
    QDialog catalogue; // stands for the modal catalogue the clerk opened it from
    catalogue.setWindowModality(Qt::ApplicationModal);
    catalogue.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&catalogue));
    TFormFastRep rep;
    rep.DesignTemplate(QStringLiteral("RV.dcf"));
    ASSERT_TRUE(rep.DesignerDocument());
    QPointer<TDesignForm> form = OpenDesigner();
    ASSERT_TRUE(form);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    QToolBar* bar = nullptr;
    for (QToolBar* b : form->findChildren<QToolBar*>())
        if (b->widgetForAction(form->Action(QStringLiteral("DocExit"))))
            bar = b;
    ASSERT_TRUE(bar);
    QWidget* exit = bar->widgetForAction(form->Action(QStringLiteral("DocExit")));
    // A click through the window system, which honours modality.
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, exit->mapTo(form, exit->rect().center()));
    EXPECT_EQ(rep.DesignerDocument(), nullptr) << "the designer closed on the clerk's click";
    if (form)
        form->close();
}

} // namespace
