// The save dialog: its settings, its control rules, a real save and
// restore, and the start-up's recovery menu.

#include "archive/ui/Save.h"

#include "archive/MyLaunch.h"
#include "archive/SaveRest.h"
#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/Globals.h"
#include "db/Cursor.h"
#include "foundation/FileFuncs.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/Messages.h"
#include "foundation/ui/edits/ComboEdit.h"
#include "platform/Clock.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "support/DataFolderFixture.h"
#include "support/ModalScript.h"
#include "support/NetworkDisk.h"
#include "support/OtherCopy.h"
#include "support/ScriptedMessages.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

int RowCount(const QString& table)
{
    Cursor c(table, DataFolder());
    c.Open();
    return c.RecordCount();
}

void AddDepartments(int first, int n)
{
    Cursor sp(QStringLiteral("SP"), DataFolder());
    sp.Open();
    for (int i = 0; i < n; ++i) {
        sp.Append();
        sp.FieldByName(QStringLiteral("NUM")).SetInteger(first + i);
        sp.FieldByName(QStringLiteral("NAIM")).SetString(QStringLiteral("Цех %1").arg(i));
        sp.Post();
    }
}

class SaveDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fx.OpenDataBase();
        SaveDialogSettings() = TSaveSettings();
    }
    void TearDown() override { SaveDialogSettings() = TSaveSettings(); }
    DataFolderFixture fx;
};

TEST_F(SaveDialogTest, SectionKeepsItsEighteenKeysInOrderAndTheReservePathIsNotStored)
{
    ReadSaveSection();
    {
        // Debian's arj, one spelling of the archive's name in both commands.
        const TSaveSettings& d = SaveDialogSettings();
        EXPECT_EQ(QStringList({d.SCopyPath, d.SArchivPrg, d.SArchivParam, d.SDeArcPrg, d.SDeArcParam, d.SArcFileMask,
                      d.ReservPath}),
            QStringList({QDir::homePath() + "/qor-archive", "arj", "a Qor_arj !ARC.INC -v1440 -y", "arj",
                "e Qor_arj -va -y", "Qor_arj.a*", "RESERV"}));
        EXPECT_EQ(QList<int>({d.ReservMin, d.SaveMin}), QList<int>({4, 7}));
        EXPECT_EQ(QList<bool>({d.ReservMake, d.SaveMake, d.SArchivate, d.SShowBars, d.SCopyBase, d.SBatch, d.SDelTmp,
                      d.SDelArc}),
            QList<bool>({true, true, true, true, true, true, true, false}));
        EXPECT_EQ(QList<double>({d.SaveDate, d.ReservDate}), QList<double>({0, 0}));
    }

    TSaveSettings& s = SaveDialogSettings();
    s.SaveDate = 45000;
    s.ReservMin = 9;
    s.SCopyPath = QStringLiteral("/mnt/копии");
    s.SArchivate = false;
    s.SDelArc = true;
    s.ReservPath = QStringLiteral("/elsewhere");
    IniSavingEnabled = true;
    WriteSaveSection();
    IniSavingEnabled = false;

    QStringList keys;
    ProgramIni().ReadSection(QStringLiteral("Save"), keys);
    EXPECT_EQ(keys,
        QStringList({"SaveDate", "ReservDate", "ReservMin", "SaveMin", "ReservMake", "SaveMake", "SCopyPath",
            "SArchivPrg", "SArchivParam", "SDeArcPrg", "SDeArcParam", "SArcFileMask", "SArchivate", "SShowBars",
            "SCopyBase", "SBatch", "SDelTmp", "SDelArc"}));

    ReadSaveSection();
    EXPECT_EQ(s.SaveDate, 45000);
    EXPECT_EQ(s.ReservMin, 9);
    EXPECT_EQ(s.SCopyPath, QStringLiteral("/mnt/копии"));
    EXPECT_FALSE(s.SArchivate);
    EXPECT_TRUE(s.SDelArc);
    EXPECT_EQ(s.ReservPath, QStringLiteral("RESERV"));
}

TEST_F(SaveDialogTest, ControlRulesFollowTheSettingsAndTheTicks)
{
    struct Row {
        bool arc, copy, delArc;
        bool maskOn, groupsShown, batchOn, floppyOn;
    };
    const Row rows[] = {
        {true, true, false, true, true, true, true},
        {false, true, false, false, false, true, false},
        {true, false, true, true, true, false, false},
        {false, false, true, false, false, false, false},
    };
    TFormSave form;
    for (const Row& r : rows) {
        SCOPED_TRACE(QStringLiteral("arc %1 copy %2 delArc %3").arg(r.arc).arg(r.copy).arg(r.delArc).toStdString());
        SaveDialogSettings().SArchivate = r.arc;
        SaveDialogSettings().SCopyBase = r.copy;
        SaveDialogSettings().SDelArc = r.delArc;
        form.SettingsToControls();
        EXPECT_EQ(form.edMask->isEnabled(), r.maskOn);
        EXPECT_EQ(form.lbMask->isEnabled(), r.maskOn);
        EXPECT_EQ(!form.gbArc->isHidden(), r.groupsShown);
        EXPECT_EQ(!form.gbDeArc->isHidden(), r.groupsShown);
        EXPECT_EQ(form.cbBatch->isEnabled(), r.batchOn);
        EXPECT_EQ(form.btCopyToDiskette->isEnabled(), r.floppyOn);
    }
    // A click by the clerk follows the same rules.
    form.show();
    form.pc->setCurrentWidget(form.tabConfig);
    form.cbArc->click();
    EXPECT_TRUE(form.edMask->isEnabled());
    EXPECT_TRUE(form.gbArc->isVisible());
    EXPECT_FALSE(form.btCopyToDiskette->isEnabled()); // cbDelArc still ticked
    form.cbDelArc->click();
    EXPECT_TRUE(form.btCopyToDiskette->isEnabled());
    QApplication::processEvents();
    SaveScreenshot(&form, QStringLiteral("FormSave-config"));
    form.hide();
    // Hiding writes the controls back.
    EXPECT_TRUE(SaveDialogSettings().SArchivate);
    EXPECT_FALSE(SaveDialogSettings().SDelArc);
}

TEST_F(SaveDialogTest, ControlsFillTheSaveObject)
{
    TFormSave form;
    form.edCopyPath->setText(QStringLiteral("/tmp/copy"));
    form.edMask->setText(QStringLiteral("X.a*"));
    form.edReservPath->setText(QStringLiteral("/tmp/res"));
    form.cbArc->setChecked(true);
    form.cbBar->setChecked(false);
    form.cbCopy->setChecked(false);
    form.cbBatch->setChecked(false);
    form.cbDelTmp->setChecked(false);
    form.cbDelArc->setChecked(true);
    Cfg.Workdate = 36616;
    form.ControlsToSettings();
    const TSaveRestObject& o = SaveRestObject();
    EXPECT_EQ(o.CopyPath, QStringLiteral("/tmp/copy"));
    EXPECT_EQ(o.ArcMask, QStringLiteral("X.a*"));
    EXPECT_EQ(o.ReservPath, QStringLiteral("/tmp/res"));
    EXPECT_TRUE(o.Archivate);
    EXPECT_FALSE(o.ShowBars);
    EXPECT_FALSE(o.CopyBase);
    EXPECT_FALSE(o.Batch);
    EXPECT_FALSE(o.DelTmp);
    EXPECT_TRUE(o.DelArc);
    EXPECT_EQ(o.DataDate, 36616);
    EXPECT_EQ(o.WorkFolderPath(), AddBackslash(TMP) + QStringLiteral("SAVE/"));
    EXPECT_EQ(o.DataFolderPath(), DataFolder());
}

TEST_F(SaveDialogTest, RestoreOnlyModeHidesCompressionAndTheSaveButtons)
{
    TFormSave form;
    form.show();
    const int compress = form.pc->indexOf(form.tabCompress);
    struct Row {
        bool mode;
        bool compressShown, saveOn;
    };
    for (const Row& r : {Row{true, false, false}, Row{true, false, false}, Row{false, true, true}}) {
        form.SetMode(r.mode);
        EXPECT_EQ(form.RestoreOnly(), r.mode);
        EXPECT_EQ(form.pc->isTabVisible(compress), r.compressShown);
        EXPECT_EQ(form.btSave->isHidden(), !r.saveOn) << "no save button to press in vain";
        EXPECT_EQ(form.btReservSave->isHidden(), !r.saveOn);
        EXPECT_TRUE(form.btRestore->isEnabled());
        EXPECT_TRUE(form.btReservRest->isEnabled());
    }
}

TEST_F(SaveDialogTest, SaveWithArjWritesTheVolumesAndTheDateAndRestoreBringsTheDataBack)
{
    QTemporaryDir dest;
    AddDepartments(501, 3);
    const int before = RowCount(QStringLiteral("SP"));
    TSaveSettings& s = SaveDialogSettings();
    s.SCopyPath = dest.path() + QStringLiteral("/ARC");
    s.SShowBars = false;
    TFormSave form;
    form.show();
    form.ShowPage(form.tabSave);
    QApplication::processEvents();
    SaveScreenshot(&form, QStringLiteral("FormSave-save"));
    // The clerk's click: the dialog takes no second one while arj runs.
    int launched = 0;
    SaveRestObject().NewLauncher = [&] {
        ++launched;
        EXPECT_FALSE(form.isEnabled());
        return std::make_unique<Tyq_Launcher>();
    };
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Choice).Title(U("Не найден директорий")).Press(U("Создать"));
    msgs.Expect(MsgKind::StandardBox).Details(U("Данные сохранены\r\n") + s.SCopyPath);
    QTest::mouseClick(form.btSave, Qt::LeftButton);
    SaveRestObject().NewLauncher = nullptr;
    EXPECT_EQ(launched, 1);
    EXPECT_TRUE(form.isEnabled());
    EXPECT_TRUE(QFile::exists(s.SCopyPath + QStringLiteral("/Qor_arj.arj")));
    EXPECT_EQ(s.SaveDate, Date());

    AddDepartments(601, 2);
    ASSERT_EQ(RowCount(QStringLiteral("SP")), before + 2);
    s.SaveDate = 0;
    form.SetMode(true); // no reserve question in restore-only mode
    msgs.Expect(MsgKind::Question).Containing(U("Продолжить ?")).Yes();
    msgs.Expect(MsgKind::StandardBox).Containing(U("Данные восстановлены"));
    ASSERT_TRUE(form.DoRestore());
    EXPECT_EQ(RowCount(QStringLiteral("SP")), before);
    EXPECT_EQ(s.SaveDate, 0); // a restore does not count as a save
}

TEST_F(SaveDialogTest, AnEmptyArchiverSwitchesTheArchiverOff)
{
    QTemporaryDir dest;
    TSaveSettings& s = SaveDialogSettings();
    s.SCopyPath = dest.path();
    s.SArchivPrg.clear();
    s.SShowBars = false;
    TFormSave form;
    form.SettingsToControls();
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::StandardBox).Containing(U("Данные сохранены"));
    ASSERT_TRUE(form.DoSave());
    EXPECT_FALSE(SaveRestObject().Archivate);
    EXPECT_FALSE(QFile::exists(dest.path() + QStringLiteral("/Qor_arj.arj")));
}

TEST_F(SaveDialogTest, EscOnTheQuestionsNeverRestoresOrOverwrites)
{
    TSaveSettings& s = SaveDialogSettings();
    s.ReservPath = fx.ProgramPath() + QStringLiteral("NOWHERE");
    TFormSave form;
    form.SettingsToControls();
    ScriptedMessages msgs;
    // The reserve question of a restore: Esc stops the whole operation.
    msgs.Expect(MsgKind::Choice)
        .Title(U("Для обеспечения большей безопасности рекомендуется выполнить резервное "
                 "копирование данных"));
    EXPECT_THROW(form.DoRestore(), EAbort);
    // The reserve restore: no copy there, and that is said before any question.
    msgs.Expect(MsgKind::Error)
        .Title(U("Резервной копии нет"))
        .Details(U("В папке ") + s.ReservPath + U("/ нет резервной копии данных: восстанавливать нечего."));
    form.ReservRestClick();
    // The reserve copy: Esc keeps the old copy, and no date is stamped for one not made.
    msgs.Expect(MsgKind::Choice).Containing(U("удалят выполненную ранее резервную копию"));
    form.ReservSaveClick();
    EXPECT_FALSE(QDir(s.ReservPath).exists());
    EXPECT_EQ(s.ReservDate, 0);
    EXPECT_EQ(msgs.Log().size(), 3u);
}

// The reserve date says when the last reserve copy was made: stamped when
// one was, not when it failed; and the clerk is told it was made.
TEST_F(SaveDialogTest, TheReserveDateIsStampedOnlyForACopyMade)
{
    TSaveSettings& s = SaveDialogSettings();
    QTemporaryDir dest;
    TFormSave form;
    // A reserve folder that cannot be made (a file stands in its way).
    WriteFileBytes(dest.path() + QStringLiteral("/file"), "x");
    s.ReservPath = dest.path() + QStringLiteral("/file/RES");
    s.SShowBars = false;
    form.SettingsToControls();
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Choice).Press(U("Не выполнять резервного копирования"));
        form.ReservSaveClick();
    }
    EXPECT_EQ(s.ReservDate, 0) << "declined";
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Choice).Press(U("Выполнить резервное копирование данных"));
        msgs.Expect(MsgKind::Choice).Title(U("Директорий отсутствует:")).Press(U("Создать директорий"));
        msgs.Expect(MsgKind::Error).Containing(U("Не удалось создать директорий"));
        form.ReservSaveClick();
    }
    EXPECT_EQ(s.ReservDate, 0) << "failed";
    form.edReservPath->setText(dest.path() + QStringLiteral("/RES"));
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Choice).Press(U("Выполнить резервное копирование данных"));
        msgs.Expect(MsgKind::Choice).Title(U("Директорий отсутствует:")).Press(U("Создать директорий"));
        msgs.Expect(MsgKind::StandardBox).Details(U("Резервная копия сделана\r\n") + dest.path() + U("/RES/"));
        form.ReservSaveClick();
    }
    EXPECT_EQ(s.ReservDate, Date());
}

// The archive's usual folder lies in the clerk's home and is made on its
// first use, without a question.
TEST_F(SaveDialogTest, TheUsualArchiveFolderIsInTheHomeAndMadeOnFirstUse)
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    SaveDialogSettings() = TSaveSettings();
    TSaveSettings& s = SaveDialogSettings();
    EXPECT_EQ(s.SCopyPath, home.path() + QStringLiteral("/qor-archive"));
    s.SArchivPrg.clear();
    s.SShowBars = false;
    TFormSave form;
    form.SettingsToControls();
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::StandardBox).Details(U("Данные сохранены\r\n") + s.SCopyPath);
        EXPECT_TRUE(form.DoSave());
    }
    qputenv("HOME", oldHome);
    EXPECT_TRUE(QFile::exists(home.path() + QStringLiteral("/qor-archive/ARC.INC")));
}

TEST_F(SaveDialogTest, ThePathButtonsPutTheChosenFilesFolderIntoTheirEdit)
{
    TFormSave form;
    const TFormSave::TFileChooser saved = TFormSave::FileChooser();
    QStringList titles;
    TFormSave::FileChooser() = [&](QWidget*, const QString& title, const QString&) {
        titles << title;
        return QStringLiteral("/media/копии/новый файл.txt");
    };
    for (Tyq_CustomComboEdit* edit : {form.edCopyPath, form.edReservPath}) {
        edit->setText(QStringLiteral("A:"));
        QTest::mouseClick(edit->Button(), Qt::LeftButton);
        EXPECT_EQ(edit->text(), QStringLiteral("/media/копии"));
    }
    TFormSave::FileChooser() = [](QWidget*, const QString&, const QString&) { return QString(); };
    QTest::mouseClick(form.edCopyPath->Button(), Qt::LeftButton); // cancelled: the edit stays
    TFormSave::FileChooser() = saved;
    EXPECT_EQ(form.edCopyPath->text(), QStringLiteral("/media/копии"));
    EXPECT_EQ(titles, QStringList(2, U("Выберите любой файл в пути копирования или создайте новый")));
}

TEST_F(SaveDialogTest, TheTransitionsOfferShowsTheSavePageUnderItsOwnCaption)
{
    TFormSave& form = FormSave();
    form.SetMode(true);
    form.ShowPage(form.tabReserv);
    const QString caption = form.windowTitle();
    ModalScript modal;
    modal.Next<TFormSave>([](TFormSave& f) {
        EXPECT_EQ(f.windowTitle(), U("Сохранение данных перед переходом на новый период"));
        EXPECT_EQ(f.pc->currentWidget(), f.tabSave);
        EXPECT_FALSE(f.RestoreOnly());
        EXPECT_TRUE(f.btSave->isVisible());
        QTest::keyClick(&f, Qt::Key_Escape);
    });
    OfferSaveBeforePeriodClose();
    EXPECT_EQ(form.windowTitle(), caption);
}

// ---------------------------------------------------------------- recovery menu

const QString kMenuTitle = U("Программа завершилась с ошибкой\r\n\tКод:  ");

class RecoveryMenuTest : public SaveDialogTest {
protected:
    void TearDown() override
    {
        SetModifierProvider(nullptr);
        QFile::remove(fx.ProgramPath() + ProgramName() + QStringLiteral(".111"));
        CheckDebugStopMarker();
        SaveDialogTest::TearDown();
    }
    void Marker()
    {
        WriteFileBytes(fx.ProgramPath() + ProgramName() + QStringLiteral(".111"), QByteArray());
        CheckDebugStopMarker();
    }
};

TEST_F(RecoveryMenuTest, OpensOnlyAfterAnUncleanEndOrTheDebugKeys)
{
    struct Row {
        const char* name;
        qint32 stored;
        bool marker;
        Qt::KeyboardModifiers keys;
        bool shown;
    };
    const Qt::KeyboardModifiers sc = Qt::ShiftModifier | Qt::ControlModifier;
    const Row rows[] = {
        {"clean, no marker, keys held", 0, false, sc, false},
        {"clean, marker, no keys", 0, true, Qt::NoModifier, false},
        {"clean, marker, Shift+Ctrl", 0, true, sc, true},
        {"clean, marker, Shift+Ctrl+Alt", 0, true, sc | Qt::AltModifier, false},
        {"clean, marker, Shift only", 0, true, Qt::ShiftModifier, false},
        {"state 5", 5, false, Qt::NoModifier, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        if (r.marker)
            Marker();
        SetModifierProvider([&] { return r.keys; });
        SetRunState(r.stored);
        Cfg.Error = 77;
        {
            ScriptedMessages msgs;
            if (r.shown)
                msgs.Expect(MsgKind::Choice)
                    .Title(kMenuTitle + QString::number(r.stored))
                    .Details(U("Попытайтесь предпринять одно из следующих действий"))
                    .PressEsc();
            RunRecoveryMenu();
            EXPECT_EQ(msgs.Log().size(), r.shown ? 1u : 0u);
            if (r.shown) {
                EXPECT_EQ(msgs.Log()[0].result, 1);
            }
        }
        EXPECT_EQ(Cfg.Error, 77); // the value from before, whatever was read
        QFile::remove(fx.ProgramPath() + ProgramName() + QStringLiteral(".111"));
        CheckDebugStopMarker();
    }
}

TEST_F(RecoveryMenuTest, RestoreAnswersOpenTheDialogInRestoreOnlyModeAndReturnToTheMenu)
{
    SetRunState(5);
    Cfg.Error = 3;
    TFormSave& form = FormSave();
    form.SetMode(false);
    ScriptedMessages msgs;
    ModalScript modal;
    msgs.Expect(MsgKind::Choice).Press(U("Восстановить данные из резервной копии"));
    modal.Next<TFormSave>([](TFormSave& f) {
        EXPECT_EQ(f.pc->currentWidget(), f.tabReserv);
        EXPECT_FALSE(f.pc->isTabVisible(f.pc->indexOf(f.tabCompress)));
        EXPECT_FALSE(f.btReservSave->isVisible());
        SaveScreenshot(&f, QStringLiteral("FormSave-restoreOnly"));
        QTest::keyClick(&f, Qt::Key_Escape);
    });
    msgs.Expect(MsgKind::Choice).Press(U("Восстановить данные с устройства хранения"));
    modal.Next<TFormSave>([](TFormSave& f) {
        EXPECT_EQ(f.pc->currentWidget(), f.tabSave);
        EXPECT_FALSE(f.btSave->isVisible());
        EXPECT_TRUE(f.btRestore->isVisible());
        QTest::keyClick(&f, Qt::Key_Escape);
    });
    msgs.Expect(MsgKind::Choice).Press(U("Проверить целостность базы данных"));
    msgs.Expect(MsgKind::Form) // the clerk sees the end, asked nothing
        .Title(U("Проверка целостности базы данных завершена"))
        .Header(U("Сообщение"))
        .Ok();
    msgs.Expect(MsgKind::Choice).Press(U("Продолжить"));
    RunRecoveryMenu();
    EXPECT_EQ(Cfg.Error, 3);
    EXPECT_TRUE(form.RestoreOnly()); // it stays so until the main window opens it
    form.SetMode(false);
}

TEST_F(RecoveryMenuTest, TheCheckIsRefusedWhileAnotherCopyWorks)
{
    ScopedNetworkDisk network;
    ASSERT_TRUE(LockDataBaseExclusive());
    ASSERT_TRUE(LockDataBaseShared()); // now as a network copy holds it
    OtherCopy other(DataFolder(), true);
    ASSERT_TRUE(other.Started());
    ASSERT_EQ(other.Ask("shared"), QStringLiteral("ok"));
    SetRunState(4);
    Cfg.Error = 2;
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Choice).Press(U("Проверить целостность базы данных"));
    msgs.Expect(MsgKind::Error)
        .Details(U("Базы заняты другим пользователем\r\nПреобразование возможно только в режиме монопольного доступа"));
    EXPECT_THROW(RunRecoveryMenu(), EAbort);
    EXPECT_EQ(Cfg.Error, 2);
}

TEST_F(RecoveryMenuTest, EndingTheProgramAbortsTheStartUp)
{
    SetRunState(7);
    Cfg.Error = 0;
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Choice).Press(U("Завершить работу программы"));
    EXPECT_THROW(RunRecoveryMenu(), EAbort);
    EXPECT_TRUE(ApplicationTerminating());
    SetApplicationTerminating(false);
    EXPECT_EQ(Cfg.Error, 0);
}

} // namespace
