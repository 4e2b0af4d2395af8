// The start-up fills the record of the open data base step by step and the
// shutdown empties it in reverse; a second data folder opened after the
// first starts from nothing of it.

#include "data/Startup.h"
#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/Dops.h"
#include "data/Globals.h"
#include "data/Podr.h"
#include "data/UserFormulas.h"
#include "db/DataFolderLock.h"
#include "db/Session.h"
#include "foundation/IniFiles.h"
#include "platform/Exceptions.h"
#include "support/DataFolderFixture.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

// What a list of a later layer sees of the record when it is made and freed.
struct SlotList {
    void Reload() {}
    void SetLoaded(bool) {}
};

QString RecordState()
{
    const TAppContext& r = AppContext();
    return QStringLiteral("folder=%1 ini=%2 lock=%3 dm=%4")
        .arg(r.DataFolder().isEmpty() ? 0 : 1)
        .arg(r.DataIni ? 1 : 0)
        .arg(r.Lock ? 1 : 0)
        .arg(r.DM ? 1 : 0);
}

TEST(Startup, FillsTheRecordInOrderAndEmptiesItInReverse)
{
    ScriptedMessages msgs;
    DataFolderFixture fx;
    QStringList log;
    TDomainListHooks slotted = OwnedListHooks<SlotList>(AppContext().IncomeTax);
    slotted.Create = [&log, inner = slotted.Create] {
        log << QStringLiteral("create ") + RecordState();
        inner();
    };
    slotted.Destroy = [&log, inner = slotted.Destroy] {
        log << QStringLiteral("destroy ") + RecordState();
        inner();
    };
    SetDomainListHooks(TDomainList::IncomeTax, slotted);

    fx.OpenDataBase(true, true);
    EXPECT_EQ(StartedUpTo(), TStartStep::DataModule);
    EXPECT_EQ(DataFolder(), fx.DataPath());
    EXPECT_EQ(DbSession::DataFolder(), fx.DataPath()) << "the table layer's folder is the record's";
    EXPECT_NE(DM(), nullptr);
    EXPECT_NE(PNList(), nullptr);
    EXPECT_NE(DNList(), nullptr);
    EXPECT_NE(UserFormulaList(), nullptr);
    EXPECT_NE(AppContext().IncomeTax.Get<SlotList>(), nullptr);
    EXPECT_FALSE(FirstConnection());

    fx.CloseDataBase();
    EXPECT_EQ(StartedUpTo(), TStartStep::Lists);
    // The lists went with the data module (already out of the record), while
    // the folder and its lock were still there.
    EXPECT_EQ(log.join(QLatin1Char(';')).toStdString(),
        "create folder=1 ini=1 lock=1 dm=1;destroy folder=1 ini=1 lock=1 dm=0");
    EXPECT_FALSE(AppContext().IncomeTax);
    EXPECT_EQ(RecordState(), QStringLiteral("folder=0 ini=0 lock=0 dm=0"));
    EXPECT_EQ(PNList(), nullptr);
    EXPECT_EQ(DNList(), nullptr);
    EXPECT_TRUE(FirstConnection());

    ShutDown();
    EXPECT_EQ(StartedUpTo(), TStartStep::None);
    EXPECT_FALSE(DataHooks().Lists[size_t(TDomainList::Departments)].Create) << "the lists' hooks are gone";
    SetDomainListHooks(TDomainList::IncomeTax, {});
}

TEST(Startup, ASecondDataFolderKeepsNothingOfTheFirst)
{
    ScriptedMessages msgs;
    DataFolderFixture fx;
    fx.OpenDataBase(true, true);
    const int shop = AppendNumberedRecord(DM()->SP, {QStringLiteral("NAIM")}, {Variant(QStringLiteral("Цех А"))});
    PNList()->Reload();
    ASSERT_NE(PNList()->FindPodr(shop), nullptr);
    Cfg.Password = QStringLiteral("Другой");
    CurrentUser = 3;
    AppContext().LastTabNum = 7;
    AppContext().LastDopNum = 8;
    AppContext().FormulaError.DopNum = 5;
    fx.CloseDataBase();

    // The same program, another data folder: made from nothing by the start-up.
    const QString other = fx.ProgramPath() + QStringLiteral("Other/");
    WriteDataAlias(other);
    ScriptedMessages asked;
    asked.Expect(MsgKind::Choice).Press(QStringLiteral("Создать папку"));
    StartUp(TStartStep::DataModule);
    EXPECT_EQ(DataFolder(), other);
    EXPECT_EQ(DbSession::DataFolder(), other);
    EXPECT_EQ(AppContext().Lock->FilePath(), QDir(other).filePath(DataFolderLock::FileName()));
    EXPECT_EQ(Cfg.Password, QStringLiteral("Marigold"));
    EXPECT_EQ(CurrentUser, 0);
    EXPECT_EQ(AppContext().LastTabNum, 0);
    EXPECT_EQ(AppContext().LastDopNum, 0);
    EXPECT_EQ(AppContext().FormulaError.DopNum, -1);
    ASSERT_NE(PNList(), nullptr);
    const T_Podr* found = PNList()->FindPodr(shop);
    EXPECT_TRUE(found == nullptr || found->Naim != QStringLiteral("Цех А"));
    EXPECT_FALSE(LocateByScan(DM()->SP, QStringLiteral("NAIM"), Variant(QStringLiteral("Цех А"))));
    ShutDown();
    EXPECT_EQ(DataFolder(), QString());
    EXPECT_EQ(DM(), nullptr);
}

TEST(Startup, AStepThatFailsIsNotCountedAndTheStepsBeforeItComeDown)
{
    DataFolderFixture fx;
    fx.OpenDataBase(false);
    fx.CloseDataBase();
    SetDataFolder(fx.DataPath());
    DataIni().WriteInteger(QStringLiteral("Configuration"), QStringLiteral("Version"), ProgramDataVersion + 1);
    DataIni().UpdateFile();
    SetDataFolder(QString());

    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Title(QStringLiteral("База данных создана более новой версией программы"));
    EXPECT_THROW(StartUp(TStartStep::DataModule), ProgramExit);
    EXPECT_EQ(StartedUpTo(), TStartStep::Settings);
    EXPECT_NE(AppContext().Lock, nullptr);
    EXPECT_EQ(DM(), nullptr);
    ShutDown(TStartStep::Globals);
    EXPECT_EQ(AppContext().Lock, nullptr);
    EXPECT_EQ(DataFolder(), QString());
}

} // namespace
