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
#include "data/ui/Splash.h"
#include "db/Tables.h"
#include "desk/Main.h"
#include "desk/MainOpeners.h"
#include "foundation/FileFuncs.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/Progress.h"
#include "foundation/ui/edits/ComboEdit.h"
#include "platform/Clock.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QMainWindow>
#include <QTest>
#include <QTimer>
#include <QToolButton>

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
    FirstStart([&] {
        kinds = DNList()->Count();
        if (T_CalendarTip* tip = CalendarList()->FindTip(0)) {
            calendarName = tip->Name;
            calendarTables = tip->Count();
        }
        mainShown = MainForm() && MainForm()->isVisible();
        placeholder = IsPlaceholderForm(MainForm());
        SaveScreenshot(MainForm(), QStringLiteral("program-main"));
    });
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

// Every menu item whose window exists is enabled and opens it from the
// real program; the items without one stay disabled.
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
    }),
        0);
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join(QStringLiteral("; ")).toStdString();
}

// "Файл / Данные / Импорт данных" opens the import window modally.
TEST_F(ProgramTest, TheDataMenuOpensTheImportWindow)
{
    QString title, target;
    FirstStart([&] {
        auto* main = dynamic_cast<TFormMain*>(MainForm());
        ASSERT_NE(main, nullptr);
        ModalScript modal;
        modal.Next<TFormImportData>([&](TFormImportData& f) {
            title = f.windowTitle();
            target = f.edOutPath->text();
            SaveScreenshot(&f, QStringLiteral("program-import"));
            f.done(0);
        });
        main->Action(QStringLiteral("mnImport"))->trigger();
    });
    EXPECT_EQ(title, QStringLiteral("Импорт данных"));
    EXPECT_EQ(target, folder_.Path() + QStringLiteral("DB/"));
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

TEST_F(ProgramTest, PlacementAndFontsSurviveARestart)
{
    FirstStart([] { FindProgramForm(QStringLiteral("FormConfig"))->setGeometry(33, 44, 555, 333); });
    {
        TIniFile ini(GetIniFileName());
        ini.WriteInteger(QStringLiteral("MainFont"), QStringLiteral("Size"), 10);
        ini.UpdateFile();
    }
    ScriptedMessages msgs;
    QRect place;
    int mainSize = 0;
    ASSERT_EQ(Run([&] {
        place = FindProgramForm(QStringLiteral("FormConfig"))->geometry();
        mainSize = MainForm()->font().pointSize();
    }),
        0);
    EXPECT_EQ(place, QRect(33, 44, 555, 333));
    EXPECT_EQ(mainSize, 10);
    TIniFile ini(GetIniFileName());
    EXPECT_EQ(
        ini.ReadString(QStringLiteral("MainFont"), QStringLiteral("Name"), QString()), QStringLiteral("MS Sans Serif"))
        << "the stored face name stays";
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
