// The whole program block on a temporary program folder, run as main()
// runs it: first start, second start, the login, a failing start-up step.

#include "data/ui/Program.h"
#include "app/program/QorProgram.h"
#include "archive/ui/ImportData.h"
#include "archive/ui/Save.h"
#include "calc/ui/EditFml.h"
#include "data/AppContext.h"
#include "data/Calendar.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Startup.h"
#include "data/TableCatalogue.h"
#include "data/ui/FormRegistry.h"
#include "data/ui/ProgramFonts.h"
#include "data/ui/Splash.h"
#include "db/Tables.h"
#include "desk/Main.h"
#include "desk/MainOpeners.h"
#include "foundation/FileFuncs.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/Progress.h"
#include "foundation/ui/base/FormBase.h"
#include "foundation/ui/dialogs/TextView.h"
#include "foundation/ui/edits/ComboEdit.h"
#include "foundation/ui/edits/DateEdit.h"
#include "platform/Clock.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "support/CalcBuilders.h"
#include "support/ModalScript.h"
#include "support/OldFolder.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDirIterator>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <csignal>

namespace {

class ProgramTest : public ::testing::Test {
protected:
    void TearDown() override { SetProgramStepHook({}); }

    // Runs the program. `inLoop` runs once the main loop is up, then the
    // main window is closed as the clerk would close it.
    int Run(std::function<void()> inLoop = {}, std::function<void(const QString&)> onStep = {})
    {
        steps_.clear();
        splash_.clear();
        SetProgramStepHook([this, inLoop, onStep](const QString& step) {
            steps_ << step;
            if (TFormLabel* splash = SplashForm())
                if (splash_.isEmpty() || splash_.last() != splash->Status())
                    splash_ << splash->Status();
            if (onStep)
                onStep(step);
            if (step == QLatin1String("MainLoop"))
                QTimer::singleShot(0, [inLoop] {
                    if (inLoop)
                        inLoop();
                    if (QMainWindow* main = MainForm())
                        main->close();
                });
        });
        return QorMain();
    }

    QString AliasWarning() const
    {
        return QStringLiteral("Создаем алиас \"Qor\"\r\n") + folder_.Path() + QStringLiteral("DB/");
    }

    int IniRunState() const
    {
        TIniFile ini(GetIniFileName());
        return ini.ReadInteger(QStringLiteral("Errors"), QStringLiteral("Error"), -7);
    }

    // A first start answered as expected, leaving a data base behind.
    void FirstStart(std::function<void()> inLoop = {})
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning).Details(AliasWarning());
        msgs.Expect(MsgKind::Warning).Details(QStringLiteral("Сегодня :    01.01.2025"));
        ASSERT_EQ(Run(std::move(inLoop)), 0);
    }

    ScopedFakeClock clock_{45658.5}; // 01.01.2025, noon
    // The progress window waits on the clock, which stands still here.
    TSilentProgress progress_;
    ScopedProgress progressScope_{&progress_};
    ScopedProgramFolder folder_;
    QStringList steps_;
    QStringList splash_;
};

TEST_F(ProgramTest, FirstStartCreatesTheDataBaseAndItsBuiltInData)
{
    int kinds = -1;
    QString calendarName;
    int calendarTables = -1;
    bool mainShown = false;
    bool placeholder = false;
    QRect mainPlace, screen;
    bool maximized = false;
    FirstStart([&] {
        kinds = DNList()->Count();
        if (T_CalendarTip* tip = CalendarList()->FindTip(0)) {
            calendarName = tip->Name;
            calendarTables = tip->Count();
        }
        mainShown = MainForm() && MainForm()->isVisible();
        placeholder = IsPlaceholderForm(MainForm());
        mainPlace = MainForm()->geometry();
        screen = MainForm()->screen()->availableGeometry();
        maximized = MainForm()->isMaximized();
        SaveScreenshot(MainForm(), QStringLiteral("program-main"));
    });
    // A first start: the main window whole on the screen, at least
    // 1024 x 700 where the screen has room (this one has not), and its
    // caption without a name Qt would append.
    EXPECT_TRUE(screen.contains(mainPlace)) << mainPlace.x() << "," << mainPlace.y();
    EXPECT_EQ(maximized, screen.width() < 1040 || screen.height() < 740);
    EXPECT_TRUE(QGuiApplication::applicationDisplayName().isEmpty());
    EXPECT_TRUE(QFile::exists(folder_.File(QStringLiteral("DB/SP.DB"))));
    EXPECT_EQ(kinds, 14);
    EXPECT_EQ(calendarName, QStringLiteral("Основной календарь"));
    EXPECT_EQ(calendarTables, 1);
    EXPECT_TRUE(mainShown);
    EXPECT_FALSE(placeholder) << "the real main window";
    EXPECT_EQ(RunStateHistory(), (QList<qint32>{1, 2, 3, 4, 100, 0}));
    EXPECT_EQ(IniRunState(), 0);
    EXPECT_EQ(splash_,
        (QStringList{
            QStringLiteral("Старт программы"), QStringLiteral("Формы"), QStringLiteral("Начальные установки")}));
    EXPECT_EQ(StartedUpTo(), TStartStep::None) << "everything undone";
    EXPECT_TRUE(ProgramForms().isEmpty());

    // The same day again: no date message, no new alias.
    ScriptedMessages again;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(RunStateHistory(), (QList<qint32>{1, 2, 3, 4, 100, 0}));
}

// The main window reaches the premium (modal) through "Премии" and the
// formula editor after a formula error, on the error's line counted from 1.
TEST_F(ProgramTest, PremiumMenuAndFormulaErrorOpenTheirWindows)
{
    QStringList shown;
    int line = 0;
    FirstStart([&] {
        auto* main = dynamic_cast<TFormMain*>(MainForm());
        ASSERT_NE(main, nullptr);
        ModalScript modal;
        modal.Next([&](QDialog& premium) {
            shown << premium.objectName();
            premium.reject();
        });
        EXPECT_TRUE(RunMenuOpener(QStringLiteral("mnPremii"), *main));
        ASSERT_TRUE(FormulaEditorOpener());
        FormulaEditorOpener()(DNList()->GetDop(0)->DopNum, 2, 5, QStringLiteral("Ошибка"));
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w != main) {
                shown << w->objectName();
                if (auto* editor = qobject_cast<TFormEditFml*>(w))
                    line = editor->Line();
                w->close();
            }
    });
    shown.sort();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("FormCalcPrem"), QStringLiteral("FormEditFml")}));
    EXPECT_EQ(line, 3);
}

// The program's visible window of that name, or null.
QWidget* ShownWindow(const QString& name)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}

// A window opened without a stored place: whole on the screen, with room
// above for its title bar, at least as large as its contents ask.
QStringList PlacementFaults(QWidget& w)
{
    const QRect screen = w.screen()->availableGeometry();
    const QRect place = w.geometry();
    const QSize want = w.sizeHint().boundedTo(w.maximumSize()).boundedTo(screen.size());
    // A window whose least size is larger than the screen cannot be whole on it.
    const bool fits = w.minimumSize().width() <= screen.width() && w.minimumSize().height() <= screen.height();
    if ((fits && !screen.contains(place)) || place.top() <= screen.top() || place.left() < screen.left()
        || place.width() < want.width() || place.height() < want.height())
        return {w.objectName()
            + QStringLiteral(" at %1,%2 %3x%4").arg(place.x()).arg(place.y()).arg(place.width()).arg(place.height())};
    return {};
}

// Every menu item whose window exists is enabled and opens it from the
// real program, placed whole on the screen; the items without one stay
// disabled.
TEST_F(ProgramTest, EveryMenuItemWithAWindowOpensIt)
{
    FirstStart();
    ScriptedMessages msgs;
    QStringList wrong;
    ASSERT_EQ(Run([&] {
        auto* main = dynamic_cast<TFormMain*>(MainForm());
        ASSERT_NE(main, nullptr);
        for (const char* item : {"mnCalcZarp", "mnVedSprPer", "mnVedPost", "mnDocDesign", "mnDocJournal"})
            if (main->Action(QLatin1String(item))->isEnabled())
                wrong << QLatin1String(item) + QStringLiteral(" is enabled");
        struct Case {
            const char* item;
            const char* window;
            bool modal = true;
        };
        const Case cases[] = {{"mnVedRL", "FormReports"}, {"mnVedRV", "FormReports"}, {"mnVedPV", "FormReports"},
            {"mnVedSpr", "FormReports"}, {"mnVedSvod", "FormReports"}, {"mnSave", "FormSave/tabSave"},
            {"mnReserv", "FormSave/tabReserv"}, {"mnCompress", "FormSave/tabCompress"}, {"mnImport", "FormImportData"},
            {"mnPerehod", "FormPerehod"}, {"mnPremii", "FormCalcPrem"}, {"mnPrinter", "PrinterSetup"},
            {"mnFontMain", "FontDialog"}, {"mnFontEdit", "FontDialog"}, {"mnFontLabel", "FontDialog"},
            {"mnFontHeader", "FontDialog"}, {"mnFontColumn", "FontDialog"}, {"mnFontText", "FontDialog"},
            {"mnConfig", "FormConfig"}, {"mnDopl", "FormSprDop", false}};
        for (const Case& c : cases) {
            QAction* a = main->Action(QLatin1String(c.item));
            if (!a || !a->isEnabled()) {
                wrong << QLatin1String(c.item) + QStringLiteral(" is disabled");
                continue;
            }
            QString shown;
            if (c.modal) {
                ModalScript modal;
                modal.Next([&](QDialog& d) {
                    shown = d.objectName();
                    wrong << PlacementFaults(d);
                    SaveScreenshot(&d, QStringLiteral("program-") + QLatin1String(c.item));
                    if (auto* save = qobject_cast<TFormSave*>(&d))
                        shown += QLatin1Char('/') + save->pc->currentWidget()->objectName();
                    d.done(0);
                });
                a->trigger();
            } else {
                a->trigger();
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w != main && w->isVisible()) {
                        shown = w->objectName();
                        wrong << PlacementFaults(*w);
                        SaveScreenshot(w, QStringLiteral("program-") + QLatin1String(c.item));
                        w->close();
                    }
            }
            if (shown != QLatin1String(c.window))
                wrong << QLatin1String(c.item) + QStringLiteral(" opened ") + shown;
        }
        // The header's "Допл." button opens the accrual book as its menu item does.
        auto* dopl = main->findChild<QToolButton*>(QStringLiteral("sbDopl"));
        if (!dopl)
            wrong << QStringLiteral("no sbDopl");
        else {
            QTest::mouseClick(dopl, Qt::LeftButton);
            QString shown;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w != main && w->isVisible()) {
                    shown = w->objectName();
                    w->close();
                }
            if (shown != QStringLiteral("FormSprDop"))
                wrong << QStringLiteral("sbDopl opened ") + shown;
        }
        msgs.Expect(MsgKind::Warning).Title(QStringLiteral("Справка недоступна"));
        main->Action(QStringLiteral("mnHelpContents"))->trigger();

        // F3: the employee's own card window, at a size that shows it.
        main->LocateTabn(AddWorkshopEmployee());
        main->Action(QStringLiteral("acTabnCard"))->trigger();
        QWidget* card = ShownWindow(QStringLiteral("FormTabnEdit"));
        if (!card)
            wrong << QStringLiteral("F3 opened no card");
        else {
            wrong << PlacementFaults(*card);
            QApplication::processEvents();
            for (QScrollArea* area : card->findChildren<QScrollArea*>())
                if (area->isVisible()
                    && (area->horizontalScrollBar()->isVisible() || area->verticalScrollBar()->isVisible()))
                    wrong << QStringLiteral("the card's page needs scrolling");
            SaveScreenshot(card, QStringLiteral("program-acTabnCard"));
            card->close();
        }
    }),
        0);
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join(QStringLiteral("; ")).toStdString();
}

// "Файл / Данные / Импорт данных" opens the import window modally.
// The import from the data menu: the main window shows the imported month,
// its comparison tick and its dates at once, as a new start would.
TEST_F(ProgramTest, TheDataMenuImportsAndTheWindowShowsTheNewData)
{
    QString title, target, caption;
    bool compareTicked = false;
    QDate lastDate;
    QTemporaryDir old;
    WriteOldFolder(old.path());
    FirstStart([&] {
        auto* main = dynamic_cast<TFormMain*>(MainForm());
        ASSERT_NE(main, nullptr);
        ModalScript modal;
        modal.Next<TFormImportData>([&](TFormImportData& f) {
            title = f.windowTitle();
            target = f.edOutPath->text();
            SaveScreenshot(&f, QStringLiteral("program-import"));
            f.edPath->setText(old.path());
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Error).Title(QStringLiteral("Неопознанный файл начислений:")).Times(2);
            msgs.Expect(MsgKind::StandardBox).Containing(QStringLiteral("Импорт закончен"));
            ModalScript errors;
            errors.Next<TFormView>([](TFormView& v) { v.done(0); });
            QTest::mouseClick(f.btImport, Qt::LeftButton);
            f.done(0);
        });
        main->Action(QStringLiteral("mnImport"))->trigger();
        caption = main->windowTitle();
        compareTicked = main->Action(QStringLiteral("mnCalcCompare"))->isChecked();
        lastDate = main->dtVvodDate->maximumDate();
    });
    EXPECT_EQ(title, QStringLiteral("Импорт данных"));
    EXPECT_EQ(target, folder_.Path() + QStringLiteral("DB/"));
    EXPECT_TRUE(caption.contains(QStringLiteral("[Май 1999]"))) << caption.toStdString();
    EXPECT_TRUE(compareTicked) << "the import turns the comparison on";
    EXPECT_EQ(lastDate, QDate(1999, 5, 31));
}

// An old data base: the program offers the reserve copy before it
// converts the tables, makes it when asked, and only then converts; the
// copy holds the tables as they were.
TEST_F(ProgramTest, TheReserveCopyIsMadeBeforeAnOldDataBaseIsConverted)
{
    FirstStart();
    const QString data = folder_.Path() + QStringLiteral("DB/");
    {
        // POST as an older program kept it, and the version of that program.
        TableDef post = TableStructures()[TableStructures().NumberOf(QStringLiteral("POST"))].Definition();
        post.fields.insert(2, FieldDef{QStringLiteral("OLDFIELD"), FieldType::String, 10, false});
        Tables::Delete(post.name, data);
        Tables::Create(post, data);
        TIniFile ini(data + ProgramName() + QStringLiteral(".ini"));
        ini.WriteInteger(QStringLiteral("Configuration"), QStringLiteral("Version"), 10000);
        ini.UpdateFile();
    }
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question)
        .Details(QStringLiteral("Выполнять преобразования баз данных\r\nверсии [1.00] для версии [1.00]"))
        .Yes();
    msgs.Expect(MsgKind::Question)
        .Details(QStringLiteral("Выполнить предварительное резервное копирование баз данных ?"))
        .Yes();
    msgs.Expect(MsgKind::Choice).Press(QStringLiteral("Выполнить резервное копирование данных"));
    msgs.Expect(MsgKind::Choice)
        .Title(QStringLiteral("Директорий отсутствует:"))
        .Press(QStringLiteral("Создать директорий"));
    msgs.Expect(MsgKind::StandardBox).Containing(QStringLiteral("Резервная копия сделана"));
    ASSERT_EQ(Run(), 0);
    const QString reserve = folder_.Path() + QStringLiteral("RESERV/");
    EXPECT_TRUE(QFile::exists(reserve + QStringLiteral("ARC.INC")));
    EXPECT_GE(Tables::ReadDefinition(QStringLiteral("POST"), reserve).FieldIndex(QStringLiteral("OLDFIELD")), 0)
        << "the copy holds the table as it was";
    EXPECT_LT(Tables::ReadDefinition(QStringLiteral("POST"), data).FieldIndex(QStringLiteral("OLDFIELD")), 0)
        << "then the table was converted";
    EXPECT_EQ(SaveDialogSettings().ReservDate, Date());
}

// A personnel table that cannot be read stops the start before the data
// module and every window; the next start offers the recovery menu.
TEST_F(ProgramTest, AnUnreadablePersonnelTableStopsTheStart)
{
    FirstStart();
    WriteFileBytes(folder_.File(QStringLiteral("DB/SR.DB")), "garbage\n");
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error)
            .Title(QStringLiteral("Таблица базы данных повреждена"))
            .Containing(folder_.File(QStringLiteral("DB/SR.DB")))
            .Containing(QStringLiteral("Восстановите данные из архива"));
        EXPECT_NE(Run(), 0);
        EXPECT_FALSE(steps_.contains(QStringLiteral("DataModule")));
        EXPECT_FALSE(steps_.contains(QStringLiteral("MainLoop")));
        EXPECT_EQ(IniRunState(), 1);
    }
    ScriptedMessages next;
    next.Expect(MsgKind::Choice)
        .Title(QStringLiteral("Программа завершилась с ошибкой\r\n\tКод:  1"))
        .Press(QStringLiteral("Завершить работу программы"));
    EXPECT_NE(Run(), 0);
    EXPECT_EQ(ReadFileBytes(folder_.File(QStringLiteral("DB/SR.DB"))), "garbage\n");
}

// The accrual book opened from the menu, as a window that keeps its placement.
QWidget* OpenAccrualBook()
{
    dynamic_cast<TFormMain*>(MainForm())->Action(QStringLiteral("mnDopl"))->trigger();
    return ShownWindow(QStringLiteral("FormSprDop"));
}

// A window made on first use takes the fonts and its place as the start-up
// windows do; the exit saves the places of the windows shown, never the
// place of a window that was not.
TEST_F(ProgramTest, PlacementAndFontsSurviveARestart)
{
    QStringList unshown;
    FirstStart([&] {
        QWidget* book = OpenAccrualBook();
        ASSERT_NE(book, nullptr);
        book->setGeometry(33, 44, 700, 500);
        book->close();
        for (QWidget* w : ProgramForms())
            if (IsPlaceholderForm(w) && w->objectName() != book->objectName())
                unshown << w->objectName();
    });
    ASSERT_FALSE(unshown.isEmpty());
    {
        TIniFile ini(GetIniFileName());
        ini.WriteInteger(QStringLiteral("MainFont"), QStringLiteral("Size"), 10);
        ini.UpdateFile();
    }
    ScriptedMessages msgs;
    QRect place;
    int mainSize = 0;
    int bookSize = 0;
    ASSERT_EQ(Run([&] {
        mainSize = MainForm()->font().pointSize();
        QWidget* book = OpenAccrualBook();
        ASSERT_NE(book, nullptr);
        place = book->geometry();
        bookSize = book->font().pointSize();
        book->close();
    }),
        0);
    EXPECT_EQ(place, QRect(33, 44, 700, 500));
    EXPECT_EQ(mainSize, 10);
    EXPECT_EQ(bookSize, 10);
    TIniFile ini(GetIniFileName());
    EXPECT_EQ(
        ini.ReadString(QStringLiteral("MainFont"), QStringLiteral("Name"), QString()), QStringLiteral("MS Sans Serif"))
        << "the stored face name stays";
    QStringList sections;
    ini.ReadSections(sections);
    for (const QString& name : unshown)
        EXPECT_FALSE(sections.contains(name + QStringLiteral("Position"))) << name.toStdString();
}

// The accrual book opens whole on the 800x600 test screen, frame included: at their first place, from a place stored on
// a larger screen, at a 16-pt main font; and "Увеличить" keeps them so.
TEST_F(ProgramTest, WindowsOpenWholeOnTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QMargins frame(8, 32, 8, 8); // a usual window manager's
    FirstStart();
    const struct {
        const char* what;
        int mainFont; // 0: as it is
        bool storedLarge;
    } cases[] = {{"first place", 0, false}, {"stored on a larger screen", 0, true}, {"16-pt main font", 16, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        {
            TIniFile ini(GetIniFileName());
            ini.EraseSection(QStringLiteral("FormSprDopPosition"));
            if (c.storedLarge)
                for (const char* key : {"Left", "Top", "Width", "Height"})
                    ini.WriteInteger(QStringLiteral("FormSprDopPosition"), QString::fromLatin1(key), 1400);
            if (c.mainFont > 0)
                ini.WriteInteger(QStringLiteral("MainFont"), QStringLiteral("Size"), c.mainFont);
            ini.UpdateFile();
        }
        ScriptedMessages msgs;
        QStringList outside;
        ASSERT_EQ(Run([&] {
            const auto check = [&](QWidget* w) {
                if (!screen.contains(w->geometry().marginsAdded(frame)))
                    outside << QStringLiteral("%1x%2").arg(w->width()).arg(w->height());
            };
            QWidget* book = OpenAccrualBook();
            ASSERT_NE(book, nullptr);
            check(book);
            for (int i = 0; i < 3; ++i)
                dynamic_cast<TFormMain*>(MainForm())->Action(QStringLiteral("mnScaleUp"))->trigger();
            QApplication::processEvents();
            check(book);
            book->close();
        }),
            0);
        EXPECT_TRUE(outside.isEmpty()) << outside.join(QStringLiteral("; ")).toStdString();
    }
    ResetProgramFonts();
}

// F6, Ctrl+F6 and Alt+0 each fire once, from any window of the program:
// F6 brings the window active longest ago, Ctrl+F6 the one active before.
TEST_F(ProgramTest, WindowKeysWalkTheWindowsByTheirLastActivation)
{
    FirstStart();
    ScriptedMessages msgs;
    QStringList seen;
    ASSERT_EQ(Run([&] {
        QWidget* main = MainForm();
        TForm a(nullptr, QStringLiteral("FormA"));
        TForm b(nullptr, QStringLiteral("FormB"));
        a.show();
        b.show();
        for (QWidget* w : {static_cast<QWidget*>(&a), static_cast<QWidget*>(&b), main}) {
            QApplication::setActiveWindow(w);
            QApplication::processEvents();
        }
        const auto press = [&](int key, Qt::KeyboardModifiers mods) {
            QTest::keyClick(QApplication::activeWindow(), Qt::Key(key), mods);
            QApplication::processEvents();
            seen << (QApplication::activeWindow() ? QApplication::activeWindow()->objectName() : QString());
        };
        press(Qt::Key_F6, Qt::NoModifier);
        press(Qt::Key_F6, Qt::NoModifier);
        press(Qt::Key_F6, Qt::ControlModifier);
        press(Qt::Key_0, Qt::AltModifier);
        if (QWidget* list = QApplication::activeWindow())
            list->close();
    }),
        0);
    EXPECT_EQ(seen,
        (QStringList{
            QStringLiteral("FormA"), QStringLiteral("FormB"), QStringLiteral("FormA"), QStringLiteral("FormFormsVw")}));
}

// The desktop ending the session (SIGTERM at logout, SIGHUP) ends the
// program as "Выход" does: settings saved, run state 0, no crash report next
// time.
TEST_F(ProgramTest, SigtermAndSighupEndTheProgramInOrder)
{
    FirstStart();
    for (const int sig : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        ScriptedMessages msgs;
        SetProgramStepHook([sig](const QString& step) {
            if (step != QLatin1String("MainLoop"))
                return;
            QTimer::singleShot(0, [sig] {
                OpenAccrualBook()->setGeometry(30 + sig, 40, 700, 500);
                std::raise(sig);
            });
        });
        EXPECT_EQ(QorMain(), 0);
        EXPECT_EQ(RunStateHistory().value(RunStateHistory().size() - 1, -1), 0);
        EXPECT_EQ(IniRunState(), 0);
        QRect place;
        ASSERT_EQ(Run([&] {
            QWidget* book = OpenAccrualBook();
            place = book->geometry();
            book->close();
        }),
            0);
        EXPECT_EQ(place, QRect(30 + sig, 40, 700, 500)) << "the placements were saved";
        EXPECT_TRUE(msgs.Log().isEmpty()) << "no report of a crash";
    }
}

// A session ended while a start-up box waits: the box closes as by Esc and
// the program ends as from the main window.
TEST_F(ProgramTest, SigtermClosesAStartUpBoxAndEndsInOrder)
{
    FirstStart();
    for (const int sig : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        {
            TIniFile ini(GetIniFileName());
            ini.WriteInteger(QStringLiteral("Errors"), QStringLiteral("Error"), 100); // the crash report box
            ini.UpdateFile();
        }
        bool raised = false;
        bool leftOpen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (raised || QApplication::activeModalWidget() == nullptr)
                return;
            raised = true;
            std::raise(sig);
            // A box the signal did not close would wait for ever.
            QTimer::singleShot(3000, &poll, [&] {
                if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    leftOpen = true;
                    box->reject();
                }
            });
        });
        poll.start(50);
        EXPECT_EQ(QorMain(), 0);
        EXPECT_TRUE(raised);
        EXPECT_FALSE(leftOpen);
        EXPECT_EQ(IniRunState(), 0);
    }
}

// The run state carries the operation a killed run left; the next start
// names it and the state of the data, the recovery's own work included.
TEST_F(ProgramTest, TheStartAfterACrashTellsWhatWasInterruptedAndWhereTheDataStand)
{
    FirstStart();
    const struct Case {
        bool swapLeft; // a restore's swap cut short, finished by this start
        QString state;
    } cases[] = {
        {false, QStringLiteral("результаты подразделения остались прежними или сохранены целиком")},
        {true, QStringLiteral("данные заменены новыми целиком (замена завершена при этом запуске)")},
    };
    for (const Case& c : cases) {
        {
            TIniFile ini(GetIniFileName());
            ini.WriteInteger(QStringLiteral("Errors"), QStringLiteral("Error"), 100);
            ini.WriteString(QStringLiteral("Errors"), QStringLiteral("Operation"), QStringLiteral("Расчет"));
            ini.WriteString(QStringLiteral("Errors"), QStringLiteral("OperationState"),
                QStringLiteral("результаты подразделения остались прежними или сохранены целиком"));
            ini.UpdateFile();
        }
        if (c.swapLeft) {
            QDir().mkpath(folder_.File(QStringLiteral("DB/~~Restore")));
            WriteFileAtomic(folder_.File(QStringLiteral("DB/~~Restore.tmp")), QByteArray());
        }
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Choice)
            .Title(QStringLiteral("Работа программы была прервана"))
            .Details(QStringLiteral("Прервана операция: Расчет\r\nСостояние данных: ") + c.state
                + QStringLiteral("\r\nКод: 100\r\n\r\nПопытайтесь предпринять одно из следующих действий"))
            .Press(QStringLiteral("Продолжить"));
        EXPECT_EQ(Run(), 0);
        TIniFile ini(GetIniFileName());
        EXPECT_TRUE(ini.ReadString(QStringLiteral("Errors"), QStringLiteral("Operation"), QString()).isEmpty());
    }
}

// The data folder removed while the program runs: the enterprise's
// calculation stops at its first write with one message, and leaving the
// program says the settings were lost and still ends in order.
TEST_F(ProgramTest, ADataFolderThatStopsTakingWritesStopsTheRunWithOneMessage)
{
    FirstStart([] {
        AddWorkshopEmployee();
        TCardSpec second;
        second.Podr = 2;
        AddCard(second);
    });
    const QString data = QFileInfo(folder_.File(QStringLiteral("DB"))).canonicalFilePath();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Расчет прерван: подразделение \"Цех\" не сохранено"))
        .Containing(QStringLiteral("Папка \"%1\": папка удалена или ее диск отключен.").arg(data));
    msgs.Expect(MsgKind::Error)
        .Title(QStringLiteral("Настройки программы не сохранены"))
        .Containing(QStringLiteral("папка удалена или ее диск отключен"));
    QString status;
    bool calculated = true;
    EXPECT_EQ(Run([&] {
        QDir(data).removeRecursively();
        auto* main = dynamic_cast<TFormMain*>(MainForm());
        calculated = main->CalcEnterprise();
        status = main->findChild<QLabel*>(QStringLiteral("StatusBar1"))->text();
        Cfg.NaimDirector = QStringLiteral("Директоров Д. Д."); // a setting of the session
    }),
        0);
    EXPECT_FALSE(calculated);
    EXPECT_EQ(status, QStringLiteral("Рассчитано: 0"));
    EXPECT_EQ(IniRunState(), 0);
    EXPECT_EQ(msgs.Log().size(), 2);
}

TEST_F(ProgramTest, TwoWrongPasswordsEndTheStartAndAreReportedNextTime)
{
    FirstStart([] {
        Cfg.PassCheck = true;
        Cfg.Password = QStringLiteral("Secret");
    });
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Password).Caption(QStringLiteral("Введите пароль")).Enter(QStringLiteral("wrong"));
        msgs.Expect(MsgKind::Error).Title(QString()).Details(QStringLiteral("Неверный пароль"));
        msgs.Expect(MsgKind::Password).Enter(QStringLiteral("worse"));
        msgs.Expect(MsgKind::Error)
            .Title(QStringLiteral("Неверный пароль"))
            .Details(QStringLiteral("Выполнение невозможно"));
        EXPECT_NE(Run(), 0);
        EXPECT_FALSE(steps_.contains(QStringLiteral("MainLoop")));
        EXPECT_EQ(RunStateHistory(), (QList<qint32>{1, 2, 1001}));
        EXPECT_EQ(IniRunState(), 1001);
    }
    {
        // Reported first; a two-letter text costs no attempt; letter case is ignored.
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning).Details(QStringLiteral("В программу пытались войти с неверным паролем"));
        msgs.Expect(MsgKind::Password).Enter(QStringLiteral("ab"));
        msgs.Expect(MsgKind::Error).Details(QStringLiteral("Слишком короткий пароль"));
        msgs.Expect(MsgKind::Password).Enter(QStringLiteral("wrong"));
        msgs.Expect(MsgKind::Error).Title(QString()).Details(QStringLiteral("Неверный пароль"));
        msgs.Expect(MsgKind::Password).Enter(QStringLiteral("sECRET"));
        EXPECT_EQ(Run(), 0);
        EXPECT_EQ(RunStateHistory(), (QList<qint32>{0, 1, 2, 3, 4, 100, 0}));
    }
}

TEST_F(ProgramTest, CancelAtTheLoginEndsSilently)
{
    FirstStart([] {
        Cfg.PassCheck = true;
        Cfg.Password = QStringLiteral("Secret");
    });
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Password).PressEsc();
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(steps_.contains(QStringLiteral("MainLoop")));
    EXPECT_EQ(RunStateHistory(), (QList<qint32>{1, 2, 0}));
    EXPECT_EQ(msgs.Log().size(), 1);
}

TEST_F(ProgramTest, AnExceptionOfAStartUpStepEndsInItsMessageAndAnOrderlyExit)
{
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Warning).Details(AliasWarning());
    msgs.Expect(MsgKind::Error).Details(QStringLiteral("Free space low"));
    const int code = Run({}, [](const QString& step) {
        if (step == QLatin1String("Forms"))
            throw EDiskFull(QStringLiteral("Free space low"));
    });
    EXPECT_NE(code, 0);
    EXPECT_FALSE(steps_.contains(QStringLiteral("MainLoop")));
    EXPECT_EQ(StartedUpTo(), TStartStep::None);
    EXPECT_TRUE(ProgramForms().isEmpty());
    EXPECT_EQ(SplashForm(), nullptr);
    QStringList leftovers;
    for (QDirIterator it(folder_.Path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        if (const QString name = it.next(); name.contains(QLatin1String(".~")))
            leftovers << name;
    EXPECT_TRUE(leftovers.isEmpty()) << leftovers.join(' ').toStdString();

    // The silent abort ends the start without a message, not with 0.
    ScriptedMessages silent;
    EXPECT_NE(Run({},
                  [](const QString& step) {
                      if (step == QLatin1String("AppInitProc"))
                          Abort();
                  }),
        0);
    EXPECT_TRUE(silent.Log().isEmpty());
}

TEST_F(ProgramTest, AFailingLastStepAnsweredNoStillEndsTheStartUp)
{
    FirstStart();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question)
        .Title(QStringLiteral("Ошибка инициализации программы"))
        .Containing(QStringLiteral("Нет справочника"))
        .No();
    bool saving = false;
    TDateTime minDate = 0, maxDate = 0;
    EXPECT_EQ(Run(
                  [&] {
                      saving = IniSavingEnabled;
                      minDate = MinWorkDate;
                      maxDate = MaxWorkDate;
                  },
                  [](const QString& step) {
                      if (step == QLatin1String("GenerateConstDops"))
                          RaiseError(QStringLiteral("Нет справочника"));
                  }),
        0);
    EXPECT_TRUE(saving);
    EXPECT_GT(minDate, 0);
    EXPECT_GE(maxDate, minDate + 3650);
    // Answered yes, the program ends without a second message.
    ScriptedMessages yes;
    yes.Expect(MsgKind::Question).Yes();
    EXPECT_NE(Run({},
                  [](const QString& step) {
                      if (step == QLatin1String("GenerateConstDops"))
                          RaiseError(QStringLiteral("Нет справочника"));
                  }),
        0);
    EXPECT_FALSE(steps_.contains(QStringLiteral("MainLoop")));
}

} // namespace
