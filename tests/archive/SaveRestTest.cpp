#include "archive/SaveRest.h"

#include "data/FolderRecovery.h"
#include "data/Globals.h"
#include "data/TableCatalogue.h"
#include "db/CallHook.h"
#include "db/Cursor.h"
#include "db/Tables.h"
#include "db/Transaction.h"
#include "foundation/FileFuncs.h"
#include "foundation/Messages.h"
#include "platform/Disk.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFolder.h"
#include "support/DataFolderFixture.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedMessages.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// Every table: its indexes by name and every row in primary-key order.
QStringList Dump(const QString& folder)
{
    QStringList out;
    for (int i = 0; i < TableCount; ++i) {
        const QString name = TableStructures()[i].Name();
        QStringList indexes;
        for (const IndexDef& index : Tables::ReadDefinition(name, folder).indexes)
            indexes.append(index.name + QLatin1Char(':') + index.fields);
        out.append(name + QLatin1Char(' ') + indexes.join(QLatin1Char(',')));
        Cursor c(name, folder);
        c.Open();
        for (c.First(); !c.Eof(); c.Next()) {
            QStringList row;
            for (int f = 0; f < c.FieldCount(); ++f)
                row.append(c.FieldAt(f).AsString());
            out.append(row.join(QLatin1Char('|')));
        }
    }
    return out;
}

// Employees and a card history with a gap in its numbering.
void Fill(const QString& folder)
{
    Cursor sr(QStringLiteral("SR"), folder);
    Cursor srh(QStringLiteral("SRH"), folder);
    sr.Open();
    srh.Open();
    Transaction tx({&sr, &srh});
    for (int n = 1; n <= 40; ++n) {
        sr.Append();
        sr.FieldByName(QStringLiteral("TABNUM")).SetInteger(n);
        sr.FieldByName(QStringLiteral("PODR")).SetInteger(n % 3);
        sr.Post();
        srh.Append();
        srh.FieldByName(QStringLiteral("TABNUM")).SetInteger(n);
        srh.FieldByName(QStringLiteral("DATEBEG")).SetDateTime(45000 + n);
        srh.Post();
    }
    srh.First();
    srh.Delete();
    tx.Commit();
}

void Damage(const QString& folder)
{
    Tables::Empty(QStringLiteral("SR"), folder);
    Tables::Empty(QStringLiteral("SRH"), folder);
}

class SaveRestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fx.OpenDataBase();
        Fill(fx.DataPath());
        obj.DataPath = fx.DataPath();
        obj.CopyPath = dest.path() + QStringLiteral("/ARC");
        obj.ExtraFiles = {fx.DataPath() + ProgramName() + QStringLiteral(".ini")};
        obj.ReservPath = dest.path() + QStringLiteral("/RES");
    }
    void UseArj()
    {
        obj.Archivate = true;
        obj.SetArchiver(QStringLiteral("arj"));
        obj.SetDeArchiver(QStringLiteral("arj"));
        obj.ArcMask = QStringLiteral("Qor_arj.a*");
    }

    DataFolderFixture fx;
    QTemporaryDir dest;
    TSaveRestObject obj;
};

} // namespace

TEST_F(SaveRestTest, ArjRoundTripRestoresEveryTableWithItsIndexes)
{
    UseArj();
    obj.DelTmp = true;
    const QStringList before = Dump(fx.DataPath());
    {
        ScriptedMessages msgs;
        QDir(obj.CopyPath).mkpath(QStringLiteral("."));
        ASSERT_TRUE(obj.Save());
    }
    ASSERT_TRUE(QFileInfo::exists(obj.CopyPath + QStringLiteral("/Qor_arj.arj")));
    Damage(fx.DataPath());
    ASSERT_NE(Dump(fx.DataPath()), before);
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Details(QStringLiteral("Продолжить ?")).Yes();
    ASSERT_TRUE(obj.Restore());
    EXPECT_TRUE(msgs.Log()[0].title.startsWith(QStringLiteral("Сохранение данных.\r\n\r\nВыполнено \t")));
    EXPECT_EQ(Dump(fx.DataPath()), before);
}

TEST_F(SaveRestTest, FolderSaveWithoutArchiverIsReadInPlace)
{
    const QStringList before = Dump(fx.DataPath());
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Choice).Title(QStringLiteral("Не найден директорий")).Press(QStringLiteral("Создать"));
        ASSERT_TRUE(obj.Save());
    }
    EXPECT_TRUE(QFileInfo::exists(obj.CopyPath + QStringLiteral("/ARC.INC")));
    Damage(fx.DataPath());
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Yes();
    ASSERT_TRUE(obj.Restore());
    EXPECT_EQ(Dump(fx.DataPath()), before);
    EXPECT_TRUE(QFileInfo::exists(obj.CopyPath + QStringLiteral("/SR.DB"))) << "files read in place stay";
}

TEST_F(SaveRestTest, ADamagedArchiveIsRefusedAndTheDataBaseStaysAsItWas)
{
    UseArj();
    QDir(obj.CopyPath).mkpath(QStringLiteral("."));
    {
        ScriptedMessages msgs;
        ASSERT_TRUE(obj.Save());
    }
    QFile arc(obj.CopyPath + QStringLiteral("/Qor_arj.arj"));
    ASSERT_TRUE(arc.open(QIODevice::ReadWrite));
    QByteArray bytes = arc.readAll();
    for (qsizetype i = bytes.size() / 3; i < bytes.size() / 3 + 64; ++i)
        bytes[i] = static_cast<char>(~bytes[i]);
    arc.seek(0);
    arc.write(bytes);
    arc.close();
    Cursor sr(QStringLiteral("SR"), fx.DataPath());
    sr.Open();
    sr.First();
    sr.Delete(); // a change after the save, which the refused restore must keep
    sr.Close();
    const QStringList before = Dump(fx.DataPath());
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error).Containing(QStringLiteral("завершилась с ошибкой"));
    EXPECT_FALSE(obj.Restore());
    EXPECT_EQ(Dump(fx.DataPath()), before);
}

TEST_F(SaveRestTest, RefusalsLeaveTheDataBaseAndSayWhy)
{
    const QStringList before = Dump(fx.DataPath());
    struct Row {
        const char* name;
        std::function<void(TSaveRestObject&)> setUp;
        bool restore;
        QString says;
    };
    const QList<Row> rows = {
        {"failing archiver",
            [](TSaveRestObject& o) {
                o.Archivate = true;
                o.SetArchiver(QStringLiteral("/bin/sh"));
                o.ArchiverParams = QStringLiteral("-c \"echo no disk; exit 7\"");
            },
            false, QStringLiteral("завершилась с ошибкой (код 7)")},
        {"missing archiver",
            [](TSaveRestObject& o) {
                o.Archivate = true;
                o.SetArchiver(QStringLiteral("/nonexistent/arj"));
            },
            false, QStringLiteral("LaunchError: 2")},
        {"copy path is the data folder", [this](TSaveRestObject& o) { o.CopyPath = fx.DataPath(); }, false,
            QStringLiteral("Путь копирования не может находиться")},
        {"no archive volumes",
            [](TSaveRestObject& o) {
                o.Archivate = true;
                o.ArcMask = QStringLiteral("Qor_arj.a*");
            },
            true, QStringLiteral("Не обнаружено ни одного файла на устройстве ")},
        {"no ARC.INC", [](TSaveRestObject&) {}, true, QStringLiteral("Не найден служебный файл\r\n")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TSaveRestObject o;
        o.DataPath = fx.DataPath();
        o.CopyPath = dest.path();
        row.setUp(o);
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Error).Containing(row.says);
        EXPECT_FALSE(row.restore ? o.Restore() : o.Save());
        EXPECT_EQ(Dump(fx.DataPath()), before);
    }
}

TEST_F(SaveRestTest, AnUnfinishedSaveIsRefused)
{
    QDir(obj.CopyPath).mkpath(QStringLiteral("."));
    {
        ScriptedMessages msgs;
        ASSERT_TRUE(obj.Save());
    }
    WriteArcHiveIni(obj.CopyPath, {45000, QStringLiteral("10:00:00"), 45000, false});
    Damage(fx.DataPath());
    const QStringList damaged = Dump(fx.DataPath());
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Error)
        .Details(QStringLiteral(
            "Операция по сохранению данных не была успешно завершена.\r\nВосстановление данных невозможно !!!"));
    EXPECT_FALSE(obj.Restore());
    EXPECT_EQ(Dump(fx.DataPath()), damaged);
}

TEST_F(SaveRestTest, ReserveCopyRoundTripAndCompressionKeepEveryRow)
{
    const QStringList before = Dump(fx.DataPath());
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Choice)
            .Title(QStringLiteral("Директорий отсутствует:"))
            .Press(QStringLiteral("Создать директорий"));
        ASSERT_TRUE(obj.ReserveSave());
    }
    EXPECT_TRUE(ReadArcHiveIni(obj.ReservFolderPath()).SuccsessOperation);
    Damage(fx.DataPath());
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Question).Yes();
        ASSERT_TRUE(obj.ReserveRestore());
        EXPECT_TRUE(msgs.Log()[0].title.startsWith(QStringLiteral("Резервная копия.\r\n\r\nВыполнена \t")));
    }
    EXPECT_EQ(Dump(fx.DataPath()), before);
    ScriptedMessages msgs;
    ASSERT_TRUE(obj.Compress());
    EXPECT_EQ(Dump(fx.DataPath()), before);
    obj.Batch = true;
    ASSERT_TRUE(obj.Compress());
    EXPECT_EQ(Dump(fx.DataPath()), before);
}

namespace {

// Raises once at the n-th table-layer call of one kind: a process that died there.
DbCall g_failKind = DbCall::Exec;
int g_failLeft = 0;
void FailAt(DbCall call)
{
    if (call == g_failKind && g_failLeft > 0 && --g_failLeft == 0)
        throw EAppException(QStringLiteral("injected failure"));
}

} // namespace

TEST_F(SaveRestTest, ARestoreCutShortIsFinishedOrUndoneAtTheNextStart)
{
    const QStringList saved = Dump(fx.DataPath());
    {
        ScriptedMessages msgs;
        QDir(obj.CopyPath).mkpath(QStringLiteral("."));
        ASSERT_TRUE(obj.Save());
    }
    struct Row {
        const char* name;
        DbCall kind;
        int n;
        bool restored;
    };
    for (const Row& row : {Row{"while indexing the new files", DbCall::Exec, 3, false},
             Row{"after the journal", DbCall::CreateFile, 1, true},
             Row{"after the first file moved in", DbCall::Rename, 1, true},
             Row{"after the twelfth", DbCall::Rename, 12, true}}) {
        SCOPED_TRACE(row.name);
        Damage(fx.DataPath());
        const QStringList damaged = Dump(fx.DataPath());
        {
            ScriptedMessages msgs;
            msgs.Expect(MsgKind::Question).Yes();
            if (row.restored)
                msgs.Expect(MsgKind::Error).Title(QStringLiteral("Восстановление данных не завершено"));
            g_failKind = row.kind;
            g_failLeft = row.n;
            SetDbCallHook(FailAt);
            bool ok = true;
            try {
                ok = obj.Restore();
            } catch (const Exception&) {
                ok = false;
            }
            SetDbCallHook(nullptr);
            EXPECT_FALSE(ok);
            EXPECT_EQ(g_failLeft, 0) << "the failure was never injected";
        }
        SetApplicationTerminating(false);
        fx.CloseDataBase();
        fx.OpenDataBase();
        EXPECT_EQ(Dump(fx.DataPath()), row.restored ? saved : damaged);
        EXPECT_FALSE(QFileInfo::exists(fx.DataPath() + RestoreJournalName()));
        EXPECT_FALSE(QFileInfo::exists(RestoreStagingFolder(fx.DataPath())));
    }
}

TEST_F(SaveRestTest, AStopInTheMiddleLeavesTheDataBaseAndAnUnfinishedSave)
{
    obj.ShowBars = true;
    QDir(obj.CopyPath).mkpath(QStringLiteral("."));
    {
        ScriptedMessages msgs;
        RecordingProgress progress;
        progress.StopAtStep(5); // the fifth table
        EXPECT_FALSE(obj.Save());
        EXPECT_FALSE(progress.Active());
    }
    EXPECT_FALSE(QFileInfo::exists(obj.CopyPath + QStringLiteral("/ARC.INC"))) << "nothing copied";
    EXPECT_FALSE(ReadArcHiveIni(obj.WorkFolderPath()).SuccsessOperation);
    {
        ScriptedMessages msgs;
        ASSERT_TRUE(obj.Save());
    }
    Damage(fx.DataPath());
    const QStringList damaged = Dump(fx.DataPath());
    ScriptedMessages msgs;
    msgs.Expect(MsgKind::Question).Yes();
    RecordingProgress progress;
    progress.StopAtStep(20); // among the indexes of the new files
    EXPECT_FALSE(obj.Restore());
    EXPECT_TRUE(progress.Log().contains(QStringLiteral("Mess 0 Индексация новых данных")));
    EXPECT_FALSE(progress.Log().contains(QStringLiteral("Mess 0 Удаление старых данных")));
    EXPECT_EQ(Dump(fx.DataPath()), damaged);
    EXPECT_FALSE(QFileInfo::exists(RestoreStagingFolder(fx.DataPath())));
}

TEST_F(SaveRestTest, FloppyDialogueWritesOntoTheMappedDriveAndGathersFromIt)
{
    QTemporaryDir floppy;
    SetFloppyFolder(0, floppy.path());
    UseArj();
    obj.CopyPath = QStringLiteral("a:");
    const QStringList before = Dump(fx.DataPath());
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Choice)
            .Title(QStringLiteral("Копирование файлов"))
            .Details(QStringLiteral("Вставьте дискету в дисковод\r\nФайл: Qor_arj.arj"))
            .Press(QStringLiteral("Копировать"));
        msgs.Expect(MsgKind::Question)
            .Details(QStringLiteral("Провести копирование на СЛЕДУЮЩИЙ комплект дискет?"))
            .No();
        EXPECT_TRUE(obj.Save());
    }
    EXPECT_TRUE(QFileInfo::exists(floppy.path() + QStringLiteral("/Qor_arj.arj")));
    Damage(fx.DataPath());
    {
        ScriptedMessages msgs;
        msgs.Expect(MsgKind::Warning).Containing(QStringLiteral("небходимо"));
        const QString insert = QStringLiteral("Вставьте дискету в дисковод A:");
        msgs.Expect(MsgKind::Choice).Title(insert).Press(QStringLiteral("Копировать с дискет"));
        msgs.Expect(MsgKind::Choice).Title(insert).Press(QStringLiteral("Продолжить"));
        msgs.Expect(MsgKind::Choice)
            .Title(QStringLiteral("Данные скопированы полностью ?"))
            .Press(QStringLiteral("Да"));
        msgs.Expect(MsgKind::Question).Details(QStringLiteral("Продолжить ?")).Yes();
        EXPECT_TRUE(obj.Restore());
    }
    SetFloppyFolder(0, QString());
    EXPECT_EQ(Dump(fx.DataPath()), before);
}

TEST(RestoreJournalTest, ADamagedJournalNeverTouchesFilesOutsideTheDataFolder)
{
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/DB/");
    WriteFileBytes(dir.path() + QStringLiteral("/KEEP.DB"), "outside");
    WriteFileBytes(data + QStringLiteral("OLD.DB"), "old");
    struct Row {
        const char* name;
        QByteArray journal;
        bool oldStays;
    };
    for (const Row& row : {Row{"damaged", "D ../KEEP.DB\nD /tmp\nP ..\nD \nXYZ\n\xff\xfe\n", true},
             Row{"whole", "D OLD.DB\nP NEW.DB\n", false}}) {
        SCOPED_TRACE(row.name);
        WriteFileBytes(RestoreStagingFolder(data) + QStringLiteral("NEW.DB"), "new");
        WriteFileBytes(data + RestoreJournalName(), row.journal);
        EXPECT_TRUE(RecoverRestore(data));
        EXPECT_FALSE(QFileInfo::exists(data + RestoreJournalName()));
        EXPECT_FALSE(QFileInfo::exists(RestoreStagingFolder(data)));
        EXPECT_EQ(QFileInfo::exists(data + QStringLiteral("OLD.DB")), row.oldStays);
        EXPECT_EQ(QFileInfo::exists(data + QStringLiteral("NEW.DB")), !row.oldStays);
    }
    EXPECT_EQ(ReadFileBytes(dir.path() + QStringLiteral("/KEEP.DB")), "outside");
    EXPECT_EQ(ReadFileBytes(data + QStringLiteral("NEW.DB")), "new");
}

TEST(SaveRestPathTest, FloppyPathsAndFolderContainment)
{
    EXPECT_TRUE(IsFloppyPath(QStringLiteral("b:")));
    EXPECT_TRUE(IsFloppyPath(QStringLiteral("A:\\ARC")));
    EXPECT_FALSE(IsFloppyPath(QStringLiteral("C:\\ARC")));
    EXPECT_FALSE(IsFloppyPath(QString()));
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("DB"));
    QDir(dir.path()).mkpath(QStringLiteral("DB2"));
    EXPECT_TRUE(PathInsideFolder(dir.path() + QStringLiteral("/DB/x"), dir.path() + QStringLiteral("/DB")));
    EXPECT_TRUE(PathInsideFolder(dir.path() + QStringLiteral("/DB2/../DB"), dir.path() + QStringLiteral("/DB/")));
    EXPECT_FALSE(PathInsideFolder(dir.path() + QStringLiteral("/DB2/x"), dir.path() + QStringLiteral("/DB")));
}

TEST(ArcHiveIniTest, DamagedFilesReadAsAnUnfinishedSave)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(ArcHiveIniName());
    struct Row {
        const char* name;
        QByteArray bytes;
        bool success;
    };
    QByteArray huge(70000, '1');
    huge.prepend("[COMMON]\r\nSuccsessOperation=");
    for (const Row& row : {Row{"good", "[COMMON]\r\nCurrentDate=20250101\r\nSuccsessOperation=1\r\n", true},
             Row{"other section", "[OTHER]\nSuccsessOperation=1\n", false},
             Row{"garbage value", "[COMMON]\nSuccsessOperation=yes\nCurrentDate=2025x101\n", false},
             Row{"binary", QByteArray("\x00\xff[COMMON\x00=\n\n=1", 16), false}, Row{"too large", huge, false},
             Row{"empty", QByteArray(), false}}) {
        SCOPED_TRACE(row.name);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(row.bytes);
        f.close();
        EXPECT_EQ(ReadArcHiveIni(dir.path()).SuccsessOperation, row.success);
    }
    WriteArcHiveIni(dir.path(), {45658, QStringLiteral("09:05:07"), 45600, true});
    const TArcHiveInfo back = ReadArcHiveIni(dir.path());
    EXPECT_EQ(back.CurrentDate, 45658);
    EXPECT_EQ(back.CurrentTime, QStringLiteral("09:05:07"));
    EXPECT_EQ(back.DataDate, 45600);
    EXPECT_TRUE(back.SuccsessOperation);
}
